#include "offline/adapter_list.h"

#include <cstdio>

#include "offline/offline_report.h"

int ListAdapters()
{
    std::vector<std::string> names;
    std::string problem;
    if (!ReadAdapterList(names, problem)) {
        std::fprintf(stderr, "quarn-report: %s\n", problem.c_str());
        return kExitFailed;
    }
    if (names.empty()) {
        std::fprintf(stderr, "quarn-report: no Ethernet adapter found\n");
        return kExitFailed;
    }
    for (const std::string& name : names)
        std::printf("%s\n", name.c_str());
    return std::fflush(stdout) == 0 ? kExitReported : kExitFailed;
}
