// Where the alias "QuarnDB" leads. A PostgreSQL connection service named
// QuarnDB, found by the PostgreSQL client's own service-file search, means that
// shared database; without one, a SQLite file of the user's own.
#pragma once

#include <string>
#include <vector>

inline constexpr const char* kQuarnDBAlias = "QuarnDB";

struct QuarnDBLocation {
    bool postgres = false;
    std::string serviceFile; // PostgreSQL: the service file that defines QuarnDB
    std::string sqliteFile;  // SQLite: $XDG_DATA_HOME/quarn/QuarnDB.sqlite
    // The service files looked at, in search order, each with what was found
    // there when it did not define the service ("missing", "no such service", ...).
    std::vector<std::string> searched;
};

// The service files are searched as the PostgreSQL client searches them: the
// user's (PGSERVICEFILE, else ~/.pg_service.conf), then the system's
// (PGSYSCONFDIR/pg_service.conf, else Debian's
// /etc/postgresql-common/pg_service.conf). The first that has a [QuarnDB]
// section wins.
QuarnDBLocation ResolveQuarnDB();

// One line for the operator: which database and why.
std::string DescribeQuarnDB(const QuarnDBLocation& location);
