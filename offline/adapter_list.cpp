#include "offline/adapter_list.h"

#include <cstdio>
#include <cstring>

#include "frimble/frimble.h"
#include "offline/offline_report.h"

bool ReadAdapterList(std::vector<std::string>& names, std::string& problem)
{
    names.clear();
    // The library says how much room a list that did not fit needs; the
    // interface table may grow meanwhile, so it is asked again.
    std::vector<char> list(256);
    for (int tries = 0; tries < 8; ++tries) {
        uint32_t size = static_cast<uint32_t>(list.size());
        if (PacketGetAdapterNames(list.data(), &size)) {
            for (const char* name = list.data(); *name != '\0'; name += std::strlen(name) + 1)
                names.emplace_back(name);
            return true;
        }
        if (size <= list.size())
            break; // not a question of room
        list.resize(size + 256);
    }
    problem = "cannot read the adapter list";
    return false;
}

std::string FindAdapter(const std::vector<std::string>& names, const std::string& given)
{
    for (const std::string& name : names)
        if (name == given || name.substr(FRIMBLE_NAME_PREFIX_LENGTH) == given)
            return name;
    return {};
}

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
