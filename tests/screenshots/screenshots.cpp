// Pictures of the real windows for the README. Each scene puts the windows into
// a state an operator meets and names the window to picture; it is saved as
// <folder>/<scene>.png. scripts/screenshots runs this under Xvfb, in a network
// namespace whose only adapter is a dummy "eth0", so that the pictures come out
// the same on every machine. To add a scene, add a function and a row to kScenes.
//
// usage: screenshots FOLDER [SCENE...]   (no scene named: all of them)
#include <QApplication>
#include <QElapsedTimer>
#include <QPixmap>
#include <QFile>
#include <QPlainTextEdit>
#include <QSqlDatabase>
#include <QTemporaryDir>
#include <QThread>
#include <QToolButton>

#include <cstdio>
#include <ctime>
#include <string>
#include <string_view>

#include "app/messages.h"
#include "app/window/program_windows.h"
#include "app/window/tform1.h"
#include "app/window/tform7.h"
#include "capture/binding.h"
#include "filter/window/tform2.h"
#include "lookup/inventory.h"
#include "lookup/quarn_db.h"
#include "lookup/window/tform4.h"
#include "lookup/window/tform5.h"
#include "lookup/window/tform6.h"
#include "report/report_writer.h"
#include "report/window/tform3.h"
#include "session/session_buffer.h"
#include "tests/report/report_test_support.h"
#include "tests/support/mixed_frames.h"

namespace {

// The notice that every look-up gives first; the pick-list scene expects it.
constexpr std::string_view kLookUpNotice = "Database functionality not implemented yet.";
bool g_lookUpNoticeExpected = false;

// A message box would wait for a click that never comes: any message is printed
// instead and fails the run, since no scene expects one (but the look-up notice).
class PrintedMessages final : public MessageSeam {
public:
    void ShowMessage(std::string_view text) override { ShowMessageBox(text, kApplicationTitle); }
    void ShowMessageBox(std::string_view text, std::string_view caption) override
    {
        if (g_lookUpNoticeExpected && text == kLookUpNotice)
            return;
        std::fprintf(stderr, "screenshots: unexpected message \"%.*s\": %.*s\n", static_cast<int>(caption.size()),
                     caption.data(), static_cast<int>(text.size()), text.data());
        failed = true;
    }
    void RequestQuit() override { failed = true; }
    bool failed = false;
};

// Lets posted updates (the writer thread hands the report over) reach the windows.
void Settle(int milliseconds = 200)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < milliseconds) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(10);
    }
}

// The banner's "Created" line: a fixed date, so the picture does not change.
std::tm FixedDate()
{
    std::tm date{};
    date.tm_year = 2026 - 1900;
    date.tm_mon = 11;
    date.tm_mday = 7;
    date.tm_hour = 10;
    date.tm_min = 15;
    date.tm_sec = 42;
    date.tm_wday = 1;
    return date;
}

// At start: the splash window over the disabled main window.
QWidget* Splash()
{
    Form1->show();
    Settle();
    return Form7;
}

// After the splash's OK: the main window, idle, with the bound adapter.
QWidget* MainWindow()
{
    if (!Form1->isVisible())
        Splash();
    Form7->SpeedButton1Click();
    Settle();
    return Form1;
}

QWidget* FilterWindow()
{
    Form1->SpeedButton2Click();
    Settle();
    return Form2;
}

// A look-up from the filter window over a few known computers: the IP
// pick-list. The address database is a SQLite file in a folder of the scene's
// own, filled as quarn-db import fills it; no database of the user's is read.
QWidget* PickList()
{
    static QTemporaryDir folder;
    if (!folder.isValid())
        return nullptr;
    const QByteArray path = QFile::encodeName(folder.path());
    qputenv("XDG_DATA_HOME", path + "/data");
    qputenv("PGSERVICEFILE", path + "/pg_service.conf");
    qputenv("PGSYSCONFDIR", path);
    {
        QuarnDBConnection connection(QStringLiteral("QuarnDB:screenshots"));
        QString problem;
        if (!connection.Open(problem))
            return nullptr;
        QSqlDatabase database = connection.Database();
        ImportCounts counts;
        std::string importProblem;
        if (!ImportInventory(database, "lab.csv",
                             "Computer,MAC,IP,IPX\n"
                             "fileserver,00:1a:2b:3c:4d:01,192.168.1.10,00:1a:2b:3c:4d:01\n"
                             "fileserver,00:1a:2b:3c:4d:02,10.0.0.10,\n"
                             "mailhost,00:1a:2b:3c:4d:10,192.168.1.25,\n"
                             "printer-2f,02:00:5e:10:00:01,192.168.1.40,\n"
                             "lab-router,00:1a:2b:3c:4d:fe,192.168.1.1,\n"
                             "lab-router,00:1a:2b:3c:4d:ff,10.0.0.1,\n"
                             "netware-01,00:1a:2b:3c:4d:30,,00:1a:2b:3c:4d:30\n"
                             "ws-anna,00:1a:2b:3c:4d:21,192.168.1.101,\n"
                             "ws-bert,00:1a:2b:3c:4d:22,192.168.1.102,\n"
                             "ws-carla,00:1a:2b:3c:4d:23,192.168.1.103,\n",
                             counts, importProblem)) {
            std::fprintf(stderr, "screenshots: %s\n", importProblem.c_str());
            return nullptr;
        }
    }
    FilterWindow();
    g_lookUpNoticeExpected = true;
    Form2->SpeedButtonLookUpIPSource1Click();
    g_lookUpNoticeExpected = false;
    Settle();
    return Form5;
}

// The session buffer holds one frame of every kind the report decodes, stored a
// second apart; "Write output" writes output.txt and shows it.
QWidget* OutputWindow()
{
    MainWindow();
    SessionBuffer::ClearCount();
    if (!SessionBuffer::Allocate(100, false))
        return nullptr;
    SessionBuffer::Rewind();
    uint8_t second = 5;
    for (const std::vector<uint8_t>& frame : EightKindsOfFrame())
        StoreFrame(frame, CaptureTime{.minute = 15, .hour = 10, .hundredths = 37, .second = second++});
    SetReportClock(FixedDate);
    Form1->SpeedButton4Click();
    WaitReportEnd();
    auto* memo = Form3->findChild<QPlainTextEdit*>("Memo1");
    for (int tries = 0; tries < 50 && memo->toPlainText().isEmpty(); ++tries)
        Settle(100);
    if (memo->toPlainText().isEmpty())
        return nullptr;
    memo->clearFocus(); // no blinking text cursor in the picture
    Settle();
    return Form3;
}

struct Scene {
    const char* name;
    QWidget* (*prepare)(); // the window to picture, or null when the scene failed
};

constexpr Scene kScenes[] = {
    {"splash", Splash},
    {"main-window", MainWindow},
    {"filter-window", FilterWindow},
    {"output-window", OutputWindow},
    {"pick-list", PickList},
};

bool Wanted(const char* name, int argc, char** argv)
{
    if (argc <= 2)
        return true;
    for (int i = 2; i < argc; ++i)
        if (std::string_view(argv[i]) == name)
            return true;
    return false;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: screenshots FOLDER [SCENE...]\n");
        return 2;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quarn Analyzer"));
    PrintedMessages messages;
    RegisterMessageSeam(&messages);

    CreateWindows();

    int status = messages.failed ? 1 : 0;
    for (const Scene& scene : kScenes) {
        if (status != 0 || !Wanted(scene.name, argc, argv))
            continue;
        QWidget* window = scene.prepare();
        const QString file = QString::fromLocal8Bit(argv[1]) + '/' + scene.name + ".png";
        if (window == nullptr || messages.failed || !window->grab().save(file)) {
            std::fprintf(stderr, "screenshots: scene %s failed\n", scene.name);
            status = 1;
        } else {
            std::printf("%s\n", qPrintable(file));
        }
    }

    WaitReportEnd();
    DestroyWindows();
    ReleaseAdapter();
    RegisterMessageSeam(nullptr);
    return status;
}
