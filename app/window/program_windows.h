// The seven windows of the program, built and torn down in their fixed order,
// for the program itself and for whatever else shows the real windows (the
// window tests, the screenshots).
#pragma once

#include <string>

// Builds Form1 to Form7 in order; Form1 binds the adapter: the one of that
// listed name, or the first when it is empty.
void CreateWindows(const std::string& adapter = {});

// Deletes them in reverse order and clears the pointers; the main window goes
// last, unregistering the status controls.
void DestroyWindows();
