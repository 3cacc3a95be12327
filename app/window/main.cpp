// The analyzer program: builds the seven windows in their fixed order, shows the
// main window under the splash and runs until the main window closes.
#include <QApplication>
#include <QIcon>

#include <cstdio>
#include <exception>
#include <string>

#include "app/messages.h"
#include "app/worker_threads.h"
#include "app/window/analyzer_arguments.h"
#include "app/window/graphical_session.h"
#include "app/window/program_windows.h"
#include "app/window/tform1.h"
#include "capture/binding.h"
#include "app/window/qt_messages.h"

namespace {

// An exception that escapes one event handler is shown, and the program goes on.
class AnalyzerApplication final : public QApplication {
public:
    using QApplication::QApplication;

    bool notify(QObject* receiver, QEvent* event) override
    {
        try {
            return QApplication::notify(receiver, event);
        } catch (const std::exception& error) {
            ShowErrorBox(QString::fromLocal8Bit(error.what()));
        }
        return false;
    }
};

} // namespace

int main(int argc, char** argv)
{
    const auto help = [] {
        std::printf("%s\n\n%s", kAnalyzerUsage.data(), kAnalyzerHelp.data());
        return std::fflush(stdout) == 0 ? 0 : 1;
    };
    if (AsksForHelp(argc, argv))
        return help();
    if (!HaveGraphicalSession()) {
        std::fprintf(stderr, "%.*s\n", static_cast<int>(kNoGraphicalSession.size()), kNoGraphicalSession.data());
        return 1;
    }
    AnalyzerApplication app(argc, argv);
    // Qt has taken its own options out of argv; the rest are the program's.
    AnalyzerArguments arguments;
    std::string problem;
    if (!ParseAnalyzerArguments(argc, argv, arguments, problem)) {
        std::fprintf(stderr, "analyzer: %s\n%s\n", problem.c_str(), kAnalyzerUsage.data());
        return kExitBadCommandLine;
    }
    if (arguments.help)
        return help();
    std::string adapter;
    if (!arguments.adapter.empty() && !ChooseAdapter(arguments.adapter, adapter, problem)) {
        std::fprintf(stderr, "analyzer: %s\n", problem.c_str());
        return kExitNoSuchAdapter;
    }
    // The application title; applicationDisplayName() falls back to it. Setting a
    // display name of its own would make the platform append it to every window
    // caption ("Quarn Analyzer 1.0 - Quarn Analyzer"), so none is set.
    QApplication::setApplicationName(QStringLiteral("Quarn Analyzer"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/pictures/analyzer.png")));
    // Secondary windows may stay open: the main window's closing ends the program.
    QApplication::setQuitOnLastWindowClosed(false);

    QtMessageSeam messages;
    RegisterMessageSeam(&messages);
    // 0 once the main window has been closed; 1 when the program could not
    // do its work (no adapter to capture on, an exception at start).
    int status = 1;
    try {
        CreateWindows(adapter);
        Form1->show();
        // Opened once the loop runs, unless the program is already ending
        // for want of an adapter.
        if (!arguments.captureFile.empty() && BoundAdapter() != nullptr)
            QMetaObject::invokeMethod(
                Form1, [file = arguments.captureFile] { Form1->OpenCaptureFile(file); }, Qt::QueuedConnection);
        status = QApplication::exec();
    } catch (const std::exception& error) {
        ShowErrorBox(QString::fromLocal8Bit(error.what()));
    }

    // No worker outlives the windows it reports to.
    EndWorkerThreads();
    DestroyWindows();
    RegisterMessageSeam(nullptr);
    return status;
}
