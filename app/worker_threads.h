// The one way the engine's worker threads (the capture thread, the report
// writer) end when the program ends. A module that starts one registers how to
// end it; EndWorkerThreads runs those ends. The program calls it once its
// message loop is over, before the windows the workers report to go. It also
// runs at exit(), so that a program ended from elsewhere (a library that calls
// exit() on a lost display) neither aborts on a thread still joinable nor
// leaves one running while the engine's static state is destroyed.
#pragma once

// Add end to the ends EndWorkerThreads runs (again registering the same end
// changes nothing). Safe from any thread.
void RegisterWorkerEnd(void (*end)());

// Run every registered end, the last registered first; each returns once its
// thread has been joined. Calling it again finds nothing left to end.
void EndWorkerThreads();
