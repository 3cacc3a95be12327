#include "capture/adapter_names.h"

#include <cstring>

#include "frimble/frimble.h"

bool ReadAdapterList(std::vector<std::string>& names, std::string& problem)
{
    names.clear();
    // The library says how much room a list that did not fit needs; the
    // interface table may grow meanwhile, so it is asked again.
    std::vector<char> list(256);
    for (int tries = 0; tries < 8; ++tries) {
        uint32_t size = static_cast<uint32_t>(list.size());
        if (PacketGetAdapterNames(list.data(), &size)) {
            // Names end with a zero byte, the list with an empty name; a list
            // cut short ends at the buffer's end.
            const char* end = list.data() + list.size();
            for (const char* name = list.data(); name < end && *name != '\0';) {
                const size_t length = strnlen(name, static_cast<size_t>(end - name));
                names.emplace_back(name, length);
                name += length + 1;
            }
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
        if (name == given
            || (name.size() > FRIMBLE_NAME_PREFIX_LENGTH
                && name.compare(FRIMBLE_NAME_PREFIX_LENGTH, name.npos, given) == 0))
            return name;
    return {};
}
