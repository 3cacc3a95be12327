#include "lookup/database_alias.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr const char* kDebianSystemConfigDirectory = "/etc/postgresql-common";

std::string Environment(const char* name)
{
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

std::string HomeDirectory()
{
    std::string home = Environment("HOME");
    if (!home.empty())
        return home;
    if (const passwd* user = getpwuid(geteuid()); user != nullptr && user->pw_dir != nullptr)
        return user->pw_dir;
    return "/";
}

std::string Trimmed(const std::string& line)
{
    const char* blanks = " \t\r\n\f\v";
    const size_t first = line.find_first_not_of(blanks);
    if (first == std::string::npos)
        return {};
    return line.substr(first, line.find_last_not_of(blanks) - first + 1);
}

// Empty when `path` defines the service, else what was found instead. As in
// the client, section names match exactly, letter case included.
std::string LookForService(const std::string& path)
{
    struct stat status;
    if (stat(path.c_str(), &status) != 0)
        return "missing";
    std::ifstream file(path);
    if (!file)
        return std::string("unreadable: ") + std::strerror(errno);
    const std::string wanted = std::string("[") + kQuarnDBAlias + "]";
    for (std::string line; std::getline(file, line);)
        if (Trimmed(line) == wanted)
            return {};
    return std::string("no [") + kQuarnDBAlias + "] section";
}

std::string DataHome()
{
    // A relative XDG_DATA_HOME is ignored, as the base directory rules say.
    const std::string data = Environment("XDG_DATA_HOME");
    if (!data.empty() && data.front() == '/')
        return data;
    return HomeDirectory() + "/.local/share";
}

} // namespace

QuarnDBLocation ResolveQuarnDB()
{
    QuarnDBLocation location;
    std::string user = Environment("PGSERVICEFILE");
    if (user.empty())
        user = HomeDirectory() + "/.pg_service.conf";
    std::string system = Environment("PGSYSCONFDIR");
    if (system.empty())
        system = kDebianSystemConfigDirectory;
    system += "/pg_service.conf";

    for (const std::string& path : {user, system}) {
        const std::string found = LookForService(path);
        if (found.empty()) {
            location.postgres = true;
            location.serviceFile = path;
            return location;
        }
        location.searched.push_back(path + " (" + found + ")");
    }
    location.sqliteFile = DataHome() + "/quarn/" + kQuarnDBAlias + ".sqlite";
    return location;
}

std::string DescribeQuarnDB(const QuarnDBLocation& location)
{
    if (location.postgres)
        return std::string(kQuarnDBAlias) + ": PostgreSQL, service " + kQuarnDBAlias + " defined in "
            + location.serviceFile;
    std::string why;
    for (const std::string& searched : location.searched)
        why += (why.empty() ? "" : ", ") + searched;
    return std::string(kQuarnDBAlias) + ": SQLite file " + location.sqliteFile + " (no PostgreSQL service "
        + kQuarnDBAlias + " in " + why + ")";
}
