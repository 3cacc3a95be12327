// quarn-report -D: the adapters a live capture can use, as the analyzer names
// them (capture/adapter_names.h reads the list).
#pragma once

#include "capture/adapter_names.h"

// The list on standard output, one name a line. Returns the exit status.
int ListAdapters();
