// For the address database's tests: the alias "QuarnDB" resolved into a place
// of the test's own (SQLite, or the test PostgreSQL server that the "postgres"
// fixture starts), runs of quarn-db, and what the database holds.
#pragma once

#include <QString>

#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "lookup/inventory.h"
#include "tests/support/command_run.h"
#include "tests/support/scratch_files.h"

enum class Engine { SQLite, PostgreSQL };

std::string EngineName(Engine engine);
// For test names and messages.
void PrintTo(Engine engine, std::ostream* out);

// For its lifetime, HOME, XDG_DATA_HOME, PGSERVICEFILE and PGSYSCONFDIR point
// into a fresh directory, so the alias resolves to an empty database of the
// engine: a SQLite file not yet made, or the test server's database with its
// tables dropped. The variables are restored afterwards.
class TestDatabase {
public:
    explicit TestDatabase(Engine engine);
    ~TestDatabase();
    TestDatabase(const TestDatabase&) = delete;
    TestDatabase& operator=(const TestDatabase&) = delete;

    // Why the engine cannot be tested here (PostgreSQL missing, not under CI); empty when it can.
    const std::string& SkipReason() const { return m_skip; }
    // The service QuarnDB on the test server, with `extra` lines (a user, a
    // password, a host) in place of the server's own where they overlap.
    void WriteService(const std::vector<std::string>& extra = {}) const;
    // A file in the test's directory; its path.
    std::string WriteFile(const std::string& name, const std::string& contents) const;
    const std::string& Directory() const { return m_directory.path(); }
    // Where the SQLite engine keeps the database.
    std::string SQLiteFile() const;

private:
    Engine m_engine;
    ScratchDirectory m_directory;
    std::string m_skip;
    std::vector<std::pair<std::string, std::string>> m_server; // the test server's connection lines
    std::vector<std::pair<std::string, std::string>> m_saved;  // variables as they were ("\1": unset)
};

#define SKIP_WITHOUT(database)                                                                                         \
    if (!(database).SkipReason().empty())                                                                              \
    GTEST_SKIP() << (database).SkipReason()

// quarn-db with arguments, run in the test's directory.
CommandResult RunQuarnDB(const TestDatabase& database, const std::vector<std::string>& arguments);

// A known inventory, as a file for quarn-db import, and what it stores. alpha
// has two cards (one with IP and IPX, one with IP only), bravo one with a MAC
// only, charlie one with an IPX address only.
extern const std::string kInventoryFile;
extern const std::vector<InventoryRow> kInventory;

// Everything the database holds, read through its own connection.
std::vector<InventoryRow> StoredInventory();
// The rows that one of the look-up queries gives, by computer name and address.
std::vector<std::pair<std::string, std::string>> QueryRows(const QString& query);
