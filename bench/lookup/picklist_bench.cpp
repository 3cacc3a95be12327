// Time from a "Look Up" click to the filled pick-list, with N computers in the
// database that the alias QuarnDB resolves to (see bench/lookup/run, which
// points it at a SQLite file and at a PostgreSQL server in turn).
//
//   bench_lookup [COMPUTERS [RUNS]] [--screenshot FILE]
//
// Fills the database with COMPUTERS computers (default 10,000) of one card
// each, with MAC, IP and IPX address, unless it already holds them. Then, for
// each of the three pick-lists, RUNS look-ups (default 20) through the filter
// window's Look Up button: click until the grid has been painted with its first
// rows. Prints the median, fastest and slowest, how many rows the grid had
// fetched by then, and how long fetching the whole result takes. Exit status
// 1 when a median reaches 200 ms.
#include <QApplication>
#include <QElapsedTimer>
#include <QScreen>
#include <QSqlQueryModel>
#include <QTableView>
#include <QThread>
#include <QToolButton>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/messages.h"
#include "filter/window/tform2.h"
#include "lookup/inventory.h"
#include "lookup/quarn_db.h"
#include "lookup/window/tform4.h"
#include "lookup/window/tform5.h"
#include "lookup/window/tform6.h"

namespace {

constexpr double kTargetMilliseconds = 200;
constexpr std::string_view kNotice = "Database functionality not implemented yet.";

// The notice is answered at once; any other message ends the benchmark.
class Answer final : public MessageSeam {
public:
    void ShowMessage(std::string_view text) override { ShowMessageBox(text, kApplicationTitle); }
    void ShowMessageBox(std::string_view text, std::string_view caption) override
    {
        if (text == kNotice)
            return;
        std::fprintf(stderr, "%.*s: %.*s\n", static_cast<int>(caption.size()), caption.data(),
                     static_cast<int>(text.size()), text.data());
        std::exit(1);
    }
    void RequestQuit() override {}
};

// The offscreen platform warns that it cannot raise windows, once a look-up.
void QuietAboutRaising(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (message.startsWith(QLatin1String("This plugin does not support")))
        return;
    std::fprintf(stderr, "%s\n", qFormatLogMessage(type, context, message).toLocal8Bit().constData());
}

std::string Inventory(int computers)
{
    std::string csv = "Computer,MAC,IP,IPX\n";
    char line[96];
    for (int i = 0; i < computers; ++i) {
        std::snprintf(line, sizeof line, "computer-%05d,02:00:00:%02x:%02x:%02x,10.%d.%d.%d,00:00:00:%02x:%02x:%02x\n",
                      i, (i >> 16) & 0xFF, (i >> 8) & 0xFF, i & 0xFF, (i >> 16) & 0xFF, (i >> 8) & 0xFF, i & 0xFF,
                      (i >> 16) & 0xFF, (i >> 8) & 0xFF, i & 0xFF);
        csv += line;
    }
    return csv;
}

bool Fill(int computers)
{
    QuarnDBConnection connection(QStringLiteral("QuarnDB:bench"));
    QString problem;
    if (!connection.Open(problem)) {
        std::fprintf(stderr, "%s\n", problem.toUtf8().constData());
        return false;
    }
    std::printf("%s\n", DescribeQuarnDB(connection.Location()).c_str());
    QSqlDatabase database = connection.Database();
    QElapsedTimer timer;
    timer.start();
    ImportCounts counts;
    std::string importProblem;
    if (!ImportInventory(database, "generated.csv", Inventory(computers), counts, importProblem)) {
        std::fprintf(stderr, "%s\n", importProblem.c_str());
        return false;
    }
    std::printf("import of %d computers: %d added in %.0f ms\n", computers, counts.computersAdded,
                static_cast<double>(timer.nsecsElapsed()) / 1e6);
    return true;
}

struct Case {
    const char* query;
    QToolButton* button;
    PickListWindow* window;
    QTableView* grid;
};

// One look-up: the click, then every event it queued (layout, painting).
double LookUp(const Case& c)
{
    QElapsedTimer timer;
    timer.start();
    c.button->click();
    QApplication::processEvents();
    return static_cast<double>(timer.nsecsElapsed()) / 1e6;
}

} // namespace

int main(int argc, char** argv)
{
    qInstallMessageHandler(QuietAboutRaising);
    QApplication application(argc, argv);
    std::vector<std::string> arguments(argv + 1, argv + argc);
    std::string screenshot;
    if (auto at = std::find(arguments.begin(), arguments.end(), "--screenshot"); at != arguments.end()) {
        if (at + 1 == arguments.end()) {
            std::fprintf(stderr, "--screenshot needs a file name\n");
            return 2;
        }
        screenshot = *(at + 1);
        arguments.erase(at, at + 2);
    }
    const int computers = arguments.size() > 0 ? std::atoi(arguments[0].c_str()) : 10000;
    const int runs = arguments.size() > 1 ? std::atoi(arguments[1].c_str()) : 20;
    if (computers <= 0 || runs <= 0) {
        std::fprintf(stderr, "usage: bench_lookup [COMPUTERS [RUNS]] [--screenshot FILE]\n");
        return 2;
    }

    Answer answer;
    RegisterMessageSeam(&answer);
    if (!Fill(computers))
        return 1;
    Form2 = new TForm2;
    Form4 = new TForm4;
    Form5 = new TForm5;
    Form6 = new TForm6;
    Form2->show();
    QApplication::processEvents();

    // The controls by the names the forms give them.
    const auto button = [](const char* name) { return Form2->findChild<QToolButton*>(name); };
    const auto grid = [](const QWidget* pickList) { return pickList->findChild<QTableView*>("DBGrid1"); };
    const Case cases[] = {
        {"QueryMAC", button("SpeedButtonLookUpMACSource1"), Form4, grid(Form4)},
        {"QueryIP", button("SpeedButtonLookUpIPSource1"), Form5, grid(Form5)},
        {"QueryIPX", button("SpeedButtonLookUpIPXSource1"), Form6, grid(Form6)},
    };
    bool met = true;
    std::printf("%-9s %10s %10s %10s %16s %14s\n", "query", "median ms", "min ms", "max ms", "rows in grid",
                "all rows ms");
    for (const Case& c : cases) {
        LookUp(c); // the first look-up loads the driver
        c.window->hide();
        std::vector<double> times;
        for (int run = 0; run < runs; ++run) {
            times.push_back(LookUp(c));
            if (run + 1 < runs)
                c.window->hide();
        }
        std::sort(times.begin(), times.end());
        const double median = times[times.size() / 2];
        QAbstractItemModel& model = *c.grid->model();
        const int fetched = model.rowCount();
        QElapsedTimer timer;
        timer.start();
        while (model.canFetchMore(QModelIndex()))
            model.fetchMore(QModelIndex());
        const double all = static_cast<double>(timer.nsecsElapsed()) / 1e6;
        std::printf("%-9s %10.1f %10.1f %10.1f %7d of %6d %14.1f\n", c.query, median, times.front(), times.back(),
                    fetched, model.rowCount(), all);
        met = met && median < kTargetMilliseconds;
        c.window->hide();
    }

    if (!screenshot.empty()) {
        Form2->move(40, 40);
        cases[1].button->click();
        Form5->move(600, 200);
        for (int i = 0; i < 20; ++i) {
            QApplication::processEvents();
            QThread::msleep(25);
        }
        if (!QGuiApplication::primaryScreen()->grabWindow(0).save(QString::fromStdString(screenshot))) {
            std::fprintf(stderr, "cannot save %s\n", screenshot.c_str());
            met = false;
        }
    }

    delete Form6;
    delete Form5;
    delete Form4;
    delete Form2;
    RegisterMessageSeam(nullptr);
    std::printf("target: median under %.0f ms: %s\n", kTargetMilliseconds, met ? "met" : "MISSED");
    return met ? 0 : 1;
}
