// The packet library's adapter-name list, read whole however long it is:
// Ethernet interfaces, those that are up first, each name with its "\Device\"
// prefix. The binding opens its first name (or the one a command line chose);
// quarn-report -D prints it.
#pragma once

#include <string>
#include <vector>

// The list in its order; false with problem set when it cannot be read.
bool ReadAdapterList(std::vector<std::string>& names, std::string& problem);
// The listed name that given stands for: the name as listed, or the bare
// interface name ("eth0" for "\Device\eth0"). Empty when none.
std::string FindAdapter(const std::vector<std::string>& names, const std::string& given);
