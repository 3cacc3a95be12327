#include "report/payload_cursor.h"

namespace {
// Per thread: each report run writes its frame blocks on one thread.
thread_local PayloadCursor cursor;
} // namespace

thread_local bool firstFragment = false;

PayloadCursor& ReportCursor() { return cursor; }
