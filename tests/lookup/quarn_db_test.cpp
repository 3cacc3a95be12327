// The address database as an operator meets it through quarn-db and the
// look-up queries, against SQLite and against a real PostgreSQL server.
#include <QSqlDatabase>
#include <QSqlQuery>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <unistd.h>

#include "lookup/database_alias.h"
#include "lookup/inventory.h"
#include "lookup/quarn_db.h"
#include "tests/lookup/quarn_db_test_support.h"

namespace {

using Rows = std::vector<std::pair<std::string, std::string>>;

class OnEngine : public testing::TestWithParam<Engine> {};

INSTANTIATE_TEST_SUITE_P(Engines, OnEngine, testing::Values(Engine::SQLite, Engine::PostgreSQL),
                         [](const auto& info) { return EngineName(info.param); });

TEST_P(OnEngine, QueriesGiveOneRowPerCardWithoutCardsLackingTheAddress)
{
    TestDatabase database(GetParam());
    SKIP_WITHOUT(database);
    database.WriteFile("inventory.csv", kInventoryFile);
    const CommandResult run = RunQuarnDB(database, {"import", "inventory.csv"});
    ASSERT_EQ(run.exitStatus, 0) << run.err;
    EXPECT_TRUE(run.out.starts_with("inventory.csv: 3 computers and 4 cards added, 0 cards already known, to "
                                    "QuarnDB ("
                                    + EngineName(GetParam())))
        << run.out;
    EXPECT_EQ(StoredInventory(), kInventory);

    EXPECT_EQ(QueryRows(QueryMAC),
              (Rows{{"alpha", "00:1a:2b:3c:4d:5e"},
                    {"alpha", "00:1a:2b:3c:4d:5f"},
                    {"bravo, \"B\"", "02:00:00:00:00:0b"},
                    {"charlie", ""}}));
    EXPECT_EQ(QueryRows(QueryIP), (Rows{{"alpha", "10.0.0.1"}, {"alpha", "192.168.1.20"}}));
    EXPECT_EQ(QueryRows(QueryIPX), (Rows{{"alpha", "02:00:00:00:00:0a"}, {"charlie", "02:00:00:00:00:0c"}}));

    // Importing the same cards again adds nothing; the listing reads back as the file's rows.
    const CommandResult again = RunQuarnDB(database, {"import", "inventory.csv"});
    EXPECT_NE(again.out.find("0 computers and 0 cards added, 4 cards already known"), std::string::npos) << again.out;
    const CommandResult list = RunQuarnDB(database, {"list"});
    EXPECT_EQ(list.exitStatus, 0);
    EXPECT_EQ(list.out,
              "Computer,MAC,IP,IPX\n"
              "alpha,00:1a:2b:3c:4d:5e,192.168.1.20,02:00:00:00:00:0a\n"
              "alpha,00:1a:2b:3c:4d:5f,10.0.0.1,\n"
              "\"bravo, \"\"B\"\"\",02:00:00:00:00:0b,,\n"
              "charlie,,,02:00:00:00:00:0c\n");

    // A card unlike a known one only in its IPX address is another; names take 255 characters.
    const std::string longest = std::string(250, 'n') + "\u00e9\u00e9\u00e9\u00e9\u00e9";
    database.WriteFile("more.csv",
                       "Computer,MAC,IP,IPX\n"
                       "alpha,00:1a:2b:3c:4d:5e,192.168.1.20,02:00:00:00:00:aa\n"
                           + longest + ",02:00:00:00:00:0d,,\n");
    const CommandResult more = RunQuarnDB(database, {"import", "more.csv"});
    ASSERT_EQ(more.exitStatus, 0) << more.err;
    EXPECT_NE(more.out.find("1 computers and 2 cards added, 0 cards already known"), std::string::npos) << more.out;
    const std::vector<InventoryRow> stored = StoredInventory();
    for (const InventoryRow& added : {InventoryRow{"alpha", "00:1a:2b:3c:4d:5e", "192.168.1.20", "02:00:00:00:00:aa"},
                                      InventoryRow{longest, "02:00:00:00:00:0d", "", ""}})
        EXPECT_EQ(std::count(stored.begin(), stored.end(), added), 1) << added.name;
}

TEST_P(OnEngine, ImportWithOneBadRowLeavesTheDatabaseAsItWasAndNamesTheLine)
{
    TestDatabase database(GetParam());
    SKIP_WITHOUT(database);
    database.WriteFile("inventory.csv", kInventoryFile);
    ASSERT_EQ(RunQuarnDB(database, {"import", "inventory.csv"}).exitStatus, 0);
    database.WriteFile("more.csv",
                       "Computer,MAC,IP,IPX\n"
                       "delta,02:00:00:00:00:0d,10.0.0.4,\n"
                       "alpha,02:00:00:00:00:0e,,\n"
                       "echo,02:00:00:00:00:0f,10.0.0.256,\n"
                       "foxtrot,02:00:00:00:00:10,,\n");
    const CommandResult run = RunQuarnDB(database, {"import", "more.csv"});
    EXPECT_EQ(run.exitStatus, 1);
    EXPECT_EQ(run.err, "quarn-db: more.csv:4: IP address \"10.0.0.256\" is not four dotted decimal numbers of 0-255\n");
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(StoredInventory(), kInventory);
}

// A failure inside the database (here a card that a table refuses) undoes
// the rows stored before it in the same import.
TEST_P(OnEngine, ImportThatTheDatabaseRefusesPartWayStoresNothing)
{
    TestDatabase database(GetParam());
    SKIP_WITHOUT(database);
    QuarnDBConnection connection("QuarnDB:test-refuse");
    QString problem;
    ASSERT_TRUE(connection.Open(problem)) << problem.toStdString();
    QSqlDatabase db = connection.Database();
    const std::string drop
        = GetParam() == Engine::PostgreSQL ? "drop table ComputerNicIPX cascade" : "drop table ComputerNicIPX";
    ASSERT_TRUE(QSqlQuery(db).exec(QString::fromStdString(drop)));
    ASSERT_TRUE(QSqlQuery(db).exec("create table ComputerNicIPX (ComputerNICIPxID integer not null primary key,"
                                   " ComputerNicIPXNumber varchar(17) not null"
                                   " check (ComputerNicIPXNumber <> '02:00:00:00:00:0e'))"));
    ImportCounts counts;
    std::string importProblem;
    ASSERT_TRUE(ImportInventory(db, "inventory.csv", kInventoryFile, counts, importProblem)) << importProblem;
    EXPECT_FALSE(ImportInventory(db, "more.csv",
                                 "Computer,MAC,IP,IPX\ndelta,02:00:00:00:00:0d,10.0.0.4,\n"
                                 "echo,02:00:00:00:00:0e,,02:00:00:00:00:0e\n",
                                 counts, importProblem));
    EXPECT_TRUE(importProblem.starts_with("more.csv: nothing imported: ")) << importProblem;
    EXPECT_EQ(counts.cardsAdded, 0);
    EXPECT_EQ(StoredInventory(), kInventory);
    // So does the connection that imported.
    std::vector<InventoryRow> rows;
    ASSERT_TRUE(ReadInventory(db, rows, importProblem)) << importProblem;
    EXPECT_EQ(rows, kInventory);
}

// Every reason a database cannot be opened gives one line that names it and says why.
TEST_P(OnEngine, OpenFailuresNameTheDatabaseAndTheReason)
{
    using Arrange = std::function<void(const TestDatabase&)>;
    using Message = std::function<std::string(const TestDatabase&)>; // the start of it
    const Message sqlite = [](const TestDatabase& database) {
        return "Cannot open the address database QuarnDB (SQLite file " + database.SQLiteFile() + "): ";
    };
    const Message postgres = [](const TestDatabase& database) {
        return "Cannot open the address database QuarnDB (PostgreSQL service QuarnDB in " + database.Directory()
            + "/pg_service.conf): connection to server on socket \"";
    };
    const struct {
        const char* what;
        Engine engine;
        Arrange arrange;
        Message message;
    } cases[] = {
        {"a file that is not SQLite", Engine::SQLite,
         [](const TestDatabase& database) {
             std::filesystem::create_directories(database.Directory() + "/data/quarn");
             database.WriteFile("data/quarn/QuarnDB.sqlite", std::string(4096, 'x'));
         },
         [&](const TestDatabase& database) { return sqlite(database) + "file is not a database"; }},
        {"a data directory that is a file", Engine::SQLite,
         [](const TestDatabase& database) { database.WriteFile("data", "not a directory"); },
         [&](const TestDatabase& database) {
             return sqlite(database) + "cannot make the directory " + database.Directory()
                 + "/data/quarn: Not a directory";
         }},
        {"no server", Engine::PostgreSQL,
         [](const TestDatabase& database) { database.WriteService({"host=" + database.Directory()}); },
         [&](const TestDatabase& database) {
             return postgres(database) + database.Directory() + "/.s.PGSQL.5432\" failed: No such file or directory";
         }},
        {"refused credentials", Engine::PostgreSQL,
         [](const TestDatabase& database) {
             database.WriteService({"user=quarn_guarded", "password=wrong"});
         },
         [&](const TestDatabase& database) { return postgres(database); }},
    };
    for (const auto& c : cases) {
        if (c.engine != GetParam())
            continue;
        SCOPED_TRACE(c.what);
        TestDatabase database(GetParam());
        SKIP_WITHOUT(database);
        c.arrange(database);
        QuarnDBConnection connection("QuarnDB:test-open");
        QString problem;
        EXPECT_FALSE(connection.Open(problem));
        EXPECT_TRUE(problem.toStdString().starts_with(c.message(database))) << problem.toStdString();
        if (std::string(c.what) == "refused credentials") {
            EXPECT_TRUE(problem.contains("password authentication failed for user \"quarn_guarded\""))
                << problem.toStdString();
        }
        // quarn-db says the same and fails.
        const CommandResult list = RunQuarnDB(database, {"list"});
        EXPECT_EQ(list.exitStatus, 1);
        EXPECT_EQ(list.err, "quarn-db: " + problem.toStdString() + "\n");
    }
}

// Rows refused with their line and reason, whatever else the file holds.
TEST(Import, BadRowsAreRefusedWithTheirLineAndReason)
{
    TestDatabase database(Engine::SQLite);
    const struct {
        std::string rows; // after the header line
        const char* problem;
    } cases[] = {
        {"a,02:00:00:00:00:01,,\nb,02:00:00:00:00:01,,,\n", "f.csv:3: 5 fields, not 4 (computer name, MAC, IP, IPX)"},
        {",02:00:00:00:00:01,,\n", "f.csv:2: no computer name"},
        {"a,,,\n", "f.csv:2: no address"},
        {"\"a\nb\",02:00:00:00:00:01,,\n", "f.csv:2: the computer name holds a control character"},
        {"\xff,02:00:00:00:00:01,,\n", "f.csv:2: the computer name is not UTF-8 text"},
        {"a,00-1A-2B-3C-4D,,\n", "f.csv:2: MAC address \"00-1A-2B-3C-4D\" does not hold exactly 12 hexadecimal digits"},
        {"a,001A2B3C4D5E,,\n",
         "f.csv:2: MAC address \"001A2B3C4D5E\" is not six two-digit groups with separators (like 00:1a:2b:3c:4d:5e)"},
        {"a,,,0000.0000.0001\n",
         "f.csv:2: IPX address \"0000.0000.0001\" is not six two-digit groups with separators (like "
         "00:1a:2b:3c:4d:5e)"},
        {"a,,10.1,\n", "f.csv:2: IP address \"10.1\" is not four dotted decimal numbers of 0-255"},
        {"a,,1.2.3.0004,\n", "f.csv:2: IP address \"1.2.3.0004\" is not four dotted decimal numbers of 0-255"},
        {"\n\n\"a,02:00:00:00:00:01,,\n", "f.csv:4: a quoted field is not closed"},
        {"\"a\"b,02:00:00:00:00:01,,\n", "f.csv:2: text after the closing quote of a field"},
        {"a\"b,02:00:00:00:00:01,,\n", "f.csv:2: a quote inside an unquoted field"},
        {std::string(256, 'n') + ",02:00:00:00:00:01,,\n", "f.csv:2: the computer name is longer than 255 characters"},
    };
    QuarnDBConnection connection("QuarnDB:test-rows");
    QString openProblem;
    ASSERT_TRUE(connection.Open(openProblem)) << openProblem.toStdString();
    QSqlDatabase db = connection.Database();
    for (const auto& c : cases) {
        ImportCounts counts;
        std::string problem;
        EXPECT_FALSE(ImportInventory(db, "f.csv", "Computer,MAC,IP,IPX\n" + c.rows, counts, problem));
        EXPECT_EQ(problem, c.problem);
    }
    for (const char* file : {"", "\n\n", "Computer;MAC;IP;IPX\n"}) {
        ImportCounts counts;
        std::string problem;
        EXPECT_FALSE(ImportInventory(db, "f.csv", file, counts, problem));
        EXPECT_TRUE(problem.starts_with("f.csv:")) << problem;
    }
    std::vector<InventoryRow> rows;
    std::string problem;
    ASSERT_TRUE(ReadInventory(db, rows, problem));
    EXPECT_TRUE(rows.empty());
}

// The alias leads where the PostgreSQL client would look for the service.
TEST(Alias, ResolvesAsThePostgresClientSearchesServiceFiles)
{
    const struct {
        const char* what;
        const char* user;   // ~/.pg_service.conf, or PGSERVICEFILE when set below (null: none)
        const char* system; // PGSYSCONFDIR/pg_service.conf (null: none)
        bool serviceFileVariable;
        const char* expected; // file that defines it, or "sqlite"
    } cases[] = {
        {"no service file", nullptr, nullptr, true, "sqlite"},
        {"the user's file", "[QuarnDB]\nhost=/x\n", "[QuarnDB]\n", true, "pg_service.conf"},
        {"the user's file without PGSERVICEFILE", "# ours\n  [QuarnDB]  \n", nullptr, false, ".pg_service.conf"},
        {"the system file when the user's has other services", "[Other]\n", "[QuarnDB]\n", true,
         "system/pg_service.conf"},
        {"names match in letter case only", "[quarndb]\n[QuarnDBs]\n", nullptr, true, "sqlite"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TestDatabase database(Engine::SQLite);
        if (!c.serviceFileVariable)
            unsetenv("PGSERVICEFILE");
        const std::string userFile = c.serviceFileVariable ? "pg_service.conf" : ".pg_service.conf";
        if (c.user != nullptr)
            database.WriteFile(userFile, c.user);
        if (c.system != nullptr) {
            std::filesystem::create_directory(database.Directory() + "/system");
            database.WriteFile("system/pg_service.conf", c.system);
        }
        const QuarnDBLocation location = ResolveQuarnDB();
        if (std::string(c.expected) == "sqlite") {
            EXPECT_FALSE(location.postgres);
            EXPECT_EQ(location.sqliteFile, database.SQLiteFile());
        } else {
            EXPECT_TRUE(location.postgres);
            EXPECT_EQ(location.serviceFile, database.Directory() + "/" + c.expected);
        }
        const CommandResult where = RunQuarnDB(database, {"where"});
        EXPECT_EQ(where.exitStatus, 0);
        EXPECT_EQ(where.out, DescribeQuarnDB(location) + "\n");
    }
    TestDatabase database(Engine::SQLite);
    setenv("XDG_DATA_HOME", "relative/data", 1);
    EXPECT_EQ(ResolveQuarnDB().sqliteFile, database.Directory() + "/.local/share/quarn/QuarnDB.sqlite")
        << "a relative XDG_DATA_HOME is ignored";
    EXPECT_EQ(RunQuarnDB(database, {"where"}).out,
              "QuarnDB: SQLite file " + database.Directory()
                  + "/.local/share/quarn/QuarnDB.sqlite (no PostgreSQL service QuarnDB in " + database.Directory()
                  + "/pg_service.conf (missing), " + database.Directory() + "/system/pg_service.conf (missing))\n");
}

TEST(Tool, CommandLineAndExitStatus)
{
    TestDatabase database(Engine::SQLite);
    const struct {
        std::vector<std::string> arguments;
        int status;
        const char* out; // the start of standard output
        const char* err; // all of standard error
    } cases[] = {
        {{"--help"}, 0, "usage: quarn-db import FILE.csv | list | where\n\nFill and show", ""},
        {{"--version"}, 0, "quarn-db 1.0\n", ""},
        {{}, 2, "", "quarn-db: no command given\nusage: quarn-db import FILE.csv | list | where\n"},
        {{"--bogus"}, 2, "", "quarn-db: unknown option --bogus\nusage: quarn-db import FILE.csv | list | where\n"},
        {{"drop"}, 2, "", "quarn-db: unknown command drop\nusage: quarn-db import FILE.csv | list | where\n"},
        {{"import"}, 2, "", "quarn-db: import needs one file name\nusage: quarn-db import FILE.csv | list | where\n"},
        {{"import", "missing.csv"}, 1, "", "quarn-db: missing.csv: No such file or directory\n"},
        {{"import", "."}, 1, "", "quarn-db: .: is a directory\n"},
        {{"list"}, 0, "Computer,MAC,IP,IPX\n", ""},
    };
    for (const auto& c : cases) {
        const CommandResult run = RunQuarnDB(database, c.arguments);
        SCOPED_TRACE(c.arguments.empty() ? "(none)" : c.arguments.front());
        EXPECT_EQ(run.exitStatus, c.status);
        EXPECT_TRUE(run.out.starts_with(c.out)) << run.out;
        EXPECT_EQ(run.err, c.err);
    }
}

// As an ordinary user (root writes anywhere): a data directory that cannot
// be written refuses the database file, and quarn-db says where and why.
TEST(Tool, UnwritableDataDirectory)
{
    TestDatabase database(Engine::SQLite);
    std::filesystem::create_directories(database.Directory() + "/data/quarn");
    std::filesystem::permissions(database.Directory() + "/data/quarn",
                                 std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec
                                     | std::filesystem::perms::group_read | std::filesystem::perms::group_exec
                                     | std::filesystem::perms::others_read | std::filesystem::perms::others_exec);
    database.WriteFile("inventory.csv", kInventoryFile);
    std::vector<std::string> arguments = {"import", "inventory.csv"};
    CommandResult run;
    if (geteuid() == 0) {
        arguments.insert(arguments.begin(), {"--reuid=65534", "--regid=65534", "--clear-groups", QUARN_DB_BINARY});
        run = RunCommand("/usr/bin/setpriv", arguments, database.Directory());
    } else {
        run = RunQuarnDB(database, arguments);
    }
    EXPECT_EQ(run.exitStatus, 1);
    EXPECT_EQ(run.err,
              "quarn-db: Cannot open the address database QuarnDB (SQLite file " + database.SQLiteFile()
                  + "): unable to open database file\n");
}

} // namespace
