#include "tests/lookup/quarn_db_test_support.h"

#include <QSqlDatabase>
#include <QSqlQuery>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "lookup/quarn_db.h"

namespace {

constexpr const char* kVariables[] = {"HOME", "XDG_DATA_HOME", "PGSERVICEFILE", "PGSYSCONFDIR"};
constexpr const char* kUnset = "\1";

// The "postgres" fixture's state file: the server's connection lines, or why
// there is none.
bool ReadServer(std::vector<std::pair<std::string, std::string>>& server, std::string& skip)
{
    std::ifstream state(QUARN_TEST_POSTGRES_STATE);
    if (!state) {
        skip = "no PostgreSQL test server: run the tests through ctest, whose postgres fixture starts one";
        return false;
    }
    for (std::string line; std::getline(state, line);) {
        if (line.starts_with("skip: ")) {
            skip = line.substr(6);
            return false;
        }
        if (const size_t equals = line.find('='); equals != std::string::npos)
            server.emplace_back(line.substr(0, equals), line.substr(equals + 1));
    }
    return true;
}

// Drop the tables that an earlier test left on the test server.
void DropTables()
{
    const QString name = QStringLiteral("QuarnDB:test-cleanup");
    {
        QuarnDBConnection connection(name);
        QString problem;
        if (!connection.Open(problem))
            throw std::runtime_error(problem.toStdString());
        QSqlQuery query(connection.Database());
        if (!query.exec("drop table if exists ComputerNic, ComputerNicIP, ComputerNicIPX, Computer cascade"))
            throw std::runtime_error("cannot empty the test database");
    }
}

} // namespace

std::string EngineName(Engine engine) { return engine == Engine::SQLite ? "SQLite" : "PostgreSQL"; }

void PrintTo(Engine engine, std::ostream* out) { *out << EngineName(engine); }

TestDatabase::TestDatabase(Engine engine) : m_engine(engine)
{
    // Readable by others: some tests run quarn-db as an ordinary user.
    std::filesystem::permissions(Directory(),
                                 std::filesystem::perms::owner_all | std::filesystem::perms::group_read
                                     | std::filesystem::perms::group_exec | std::filesystem::perms::others_read
                                     | std::filesystem::perms::others_exec);
    for (const char* name : kVariables) {
        const char* value = std::getenv(name);
        m_saved.emplace_back(name, value != nullptr ? value : kUnset);
    }
    setenv("HOME", Directory().c_str(), 1);
    setenv("XDG_DATA_HOME", (m_directory / "data").c_str(), 1);
    setenv("PGSERVICEFILE", (m_directory / "pg_service.conf").c_str(), 1);
    setenv("PGSYSCONFDIR", (m_directory / "system").c_str(), 1);
    if (engine == Engine::PostgreSQL && ReadServer(m_server, m_skip)) {
        WriteService();
        DropTables();
    }
}

TestDatabase::~TestDatabase()
{
    for (const auto& [name, value] : m_saved)
        if (value == kUnset)
            unsetenv(name.c_str());
        else
            setenv(name.c_str(), value.c_str(), 1);
}

void TestDatabase::WriteService(const std::vector<std::string>& extra) const
{
    std::string text = "[QuarnDB]\n";
    for (const auto& [key, value] : m_server)
        if (std::none_of(extra.begin(), extra.end(),
                         [&](const std::string& line) { return line.starts_with(key + "="); }))
            text += key + "=" + value + "\n";
    for (const std::string& line : extra)
        text += line + "\n";
    WriteFile("pg_service.conf", text);
}

std::string TestDatabase::WriteFile(const std::string& name, const std::string& contents) const
{
    const std::string path = m_directory / name;
    ::WriteFile(path, contents);
    return path;
}

std::string TestDatabase::SQLiteFile() const { return m_directory / "data/quarn/QuarnDB.sqlite"; }

CommandResult RunQuarnDB(const TestDatabase& database, const std::vector<std::string>& arguments)
{
    return RunCommand(QUARN_DB_BINARY, arguments, database.Directory());
}

const std::string kInventoryFile = "Computer,MAC,IP,IPX\r\n"
                                   "alpha,00-1A-2B-3C-4D-5E,192.168.1.20,02:00:00:00:00:0A\r\n"
                                   "alpha,00:1a:2b:3c:4d:5f,010.000.000.001,\r\n"
                                   "\"bravo, \"\"B\"\"\",02:00:00:00:00:0b,,\r\n"
                                   " charlie ,,,02-00-00-00-00-0C\r\n";
const std::vector<InventoryRow> kInventory = {
    {"alpha", "00:1a:2b:3c:4d:5e", "192.168.1.20", "02:00:00:00:00:0a"},
    {"alpha", "00:1a:2b:3c:4d:5f", "10.0.0.1", ""},
    {"bravo, \"B\"", "02:00:00:00:00:0b", "", ""},
    {"charlie", "", "", "02:00:00:00:00:0c"},
};

std::vector<InventoryRow> StoredInventory()
{
    QuarnDBConnection connection(QStringLiteral("QuarnDB:test-inventory"));
    QString problem;
    std::vector<InventoryRow> rows;
    std::string readProblem;
    EXPECT_TRUE(connection.Open(problem)) << problem.toStdString();
    QSqlDatabase database = connection.Database();
    EXPECT_TRUE(ReadInventory(database, rows, readProblem)) << readProblem;
    return rows;
}

std::vector<std::pair<std::string, std::string>> QueryRows(const QString& text)
{
    QuarnDBConnection connection(QStringLiteral("QuarnDB:test-query"));
    QString problem;
    std::vector<std::pair<std::string, std::string>> rows;
    if (!connection.Open(problem)) {
        ADD_FAILURE() << problem.toStdString();
        return rows;
    }
    QSqlQuery query(connection.Database());
    EXPECT_TRUE(query.exec(text)) << text.toStdString();
    while (query.next())
        rows.emplace_back(query.value(0).toString().toStdString(), query.value(1).toString().toStdString());
    std::sort(rows.begin(), rows.end());
    return rows;
}
