// quarn-db import FILE.csv | list | where: fills and shows the address
// database behind the pick-lists of the analyzer's filter window.
#include <QCoreApplication>

#include <getopt.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>
#include <string>

#include "lookup/csv.h"
#include "lookup/inventory.h"
#include "lookup/quarn_db.h"

namespace {

constexpr int kExitDone = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

constexpr const char* kUsage = "usage: quarn-db import FILE.csv | list | where";
constexpr const char* kVersion = "quarn-db 1.0";
constexpr const char* kHelp = "Fill and show the address database QuarnDB, whose known computers the\n"
                              "analyzer's filter window offers in its look-up pick-lists.\n"
                              "\n"
                              "  import FILE.csv   add the network cards of FILE.csv (\"-\": standard input):\n"
                              "                    a header line, then one card a line: computer name, MAC,\n"
                              "                    IP, IPX address; all or nothing\n"
                              "  list              print every card, in the form import reads\n"
                              "  where             say which database QuarnDB is, and why\n"
                              "  -h, --help        show this help and exit\n"
                              "      --version     show the version and exit\n"
                              "\n"
                              "QuarnDB is the PostgreSQL service QuarnDB when a connection service file\n"
                              "defines one, otherwise a SQLite file under $XDG_DATA_HOME/quarn.\n"
                              "\n"
                              "Exit status: 0 when done, 1 when the file or the database failed (nothing is\n"
                              "imported then), 2 for a bad command line.\n";

int Usage(const std::string& problem)
{
    std::fprintf(stderr, "quarn-db: %s\n%s\n", problem.c_str(), kUsage);
    return kExitUsage;
}

int Failed(const std::string& problem)
{
    std::fprintf(stderr, "quarn-db: %s\n", problem.c_str());
    return kExitFailed;
}

int Flushed() { return std::fflush(stdout) == 0 ? kExitDone : Failed("cannot write the output"); }

bool ReadWhole(const std::string& fileName, std::string& text, std::string& problem)
{
    if (fileName == "-") {
        text.assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
        if (std::cin.bad())
            problem = "cannot read standard input";
        return !std::cin.bad();
    }
    std::error_code ignored;
    if (std::filesystem::is_directory(fileName, ignored)) {
        problem = fileName + ": is a directory";
        return false;
    }
    std::ifstream file(fileName, std::ios::binary);
    if (file) {
        std::ostringstream contents;
        contents << file.rdbuf();
        if (!file.bad()) {
            text = contents.str();
            return true;
        }
    }
    problem = fileName + ": " + std::strerror(errno);
    return false;
}

int Import(QuarnDBConnection& connection, const std::string& fileName)
{
    std::string text, problem;
    if (!ReadWhole(fileName, text, problem))
        return Failed(problem);
    QString openProblem;
    if (!connection.Open(openProblem))
        return Failed(openProblem.toStdString());
    QSqlDatabase database = connection.Database();
    ImportCounts counts;
    if (!ImportInventory(database, fileName, text, counts, problem))
        return Failed(problem);
    std::printf("%s: %d computers and %d cards added, %d cards already known, to %s\n", fileName.c_str(),
                counts.computersAdded, counts.cardsAdded, counts.cardsKnown, connection.Name().toUtf8().constData());
    return Flushed();
}

int List(QuarnDBConnection& connection)
{
    QString openProblem;
    if (!connection.Open(openProblem))
        return Failed(openProblem.toStdString());
    QSqlDatabase database = connection.Database();
    std::vector<InventoryRow> rows;
    std::string problem;
    if (!ReadInventory(database, rows, problem))
        return Failed("cannot read " + connection.Name().toStdString() + ": " + problem);
    std::fputs(CsvLine(kInventoryHeader).c_str(), stdout);
    for (const InventoryRow& row : rows)
        std::fputs(CsvLine({row.name, row.mac, row.ip, row.ipx}).c_str(), stdout);
    return Flushed();
}

} // namespace

int main(int argc, char** argv)
{
    static const option kOptions[] = {
        {"help", no_argument, nullptr, 'h'},
        {"version", no_argument, nullptr, 'V'},
        {nullptr, 0, nullptr, 0},
    };
    opterr = 0;
    // "+": options end at the command word; "-" after it is a file name.
    for (int c; (c = getopt_long(argc, argv, "+h", kOptions, nullptr)) != -1;) {
        switch (c) {
        case 'h':
            std::printf("%s\n\n%s", kUsage, kHelp);
            return Flushed();
        case 'V':
            std::printf("%s\n", kVersion);
            return Flushed();
        default:
            return Usage(std::string("unknown option ") + argv[optind - 1]);
        }
    }
    const std::vector<std::string> words(argv + optind, argv + argc);
    if (words.empty())
        return Usage("no command given");
    const std::string& command = words.front();
    const size_t wanted = command == "import" ? 2 : 1;
    if (command != "import" && command != "list" && command != "where")
        return Usage("unknown command " + command);
    if (words.size() != wanted)
        return Usage(command == "import" ? "import needs one file name" : command + " takes no file name");
    if (command == "import" && words[1].empty())
        return Usage("empty file name");

    QCoreApplication application(argc, argv);
    QuarnDBConnection connection(QString::fromLatin1(kQuarnDBAlias));
    if (command == "where") {
        std::printf("%s\n", DescribeQuarnDB(connection.Location()).c_str());
        return Flushed();
    }
    return command == "import" ? Import(connection, words[1]) : List(connection);
}
