// quarn-report -i: a live capture without a desktop, through the analyzer's
// own engine (the adapter binding, the session buffer, the capture thread and
// both filter slots), then the report that "Write output" writes, and the kept
// frames as a pcap file with -w.
//
// The outputs are opened (as temporaries) before the capture starts, so that
// a capture is never made only to find that it cannot be kept. The capture
// ends by itself when a session-mode buffer is full, after --seconds, or on
// SIGINT or SIGTERM; then both outputs are written and put in place, and one
// line on standard error gives the capture's counts.
#pragma once

#include "offline/report_arguments.h"

// Returns the exit status: 0 when the capture ran and every output was
// written, 1 when the capture could not run or an output failed, 2 for
// outputs that are one and the same file.
int CaptureAndReport(const ReportArguments& arguments);
