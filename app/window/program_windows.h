// The seven windows of the program, built and torn down in their fixed order,
// for the program itself and for whatever else shows the real windows (the
// window tests, the screenshots).
#pragma once

// Builds Form1 to Form7 in order; Form1 binds the adapter.
void CreateWindows();

// Deletes them in reverse order and clears the pointers; the main window goes
// last, unregistering the status controls.
void DestroyWindows();
