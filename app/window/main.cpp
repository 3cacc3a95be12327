// The analyzer program: builds the seven windows in their fixed order, shows the
// main window under the splash and runs until the main window closes.
#include <QApplication>
#include <QIcon>

#include <exception>

#include "app/messages.h"
#include "app/status.h"
#include "app/window/qt_messages.h"
#include "app/window/tform1.h"
#include "app/window/tform7.h"
#include "capture/capture.h"
#include "report/report_writer.h"

#ifdef QUARN_HAVE_FILTER_WINDOW
#include "filter/window/tform2.h"
#endif
#ifdef QUARN_HAVE_OUTPUT_WINDOW
#include "report/window/tform3.h"
#endif
#ifdef QUARN_HAVE_LOOKUP_WINDOWS
#include "lookup/window/tform4.h"
#include "lookup/window/tform5.h"
#include "lookup/window/tform6.h"
#endif

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

void CreateWindows()
{
    Form1 = new TForm1;
#ifdef QUARN_HAVE_FILTER_WINDOW
    Form2 = new TForm2;
#endif
#ifdef QUARN_HAVE_OUTPUT_WINDOW
    Form3 = new TForm3;
#endif
#ifdef QUARN_HAVE_LOOKUP_WINDOWS
    Form4 = new TForm4;
    Form5 = new TForm5;
    Form6 = new TForm6;
#endif
    Form7 = new TForm7;
}

void DestroyWindows()
{
    delete Form7;
    Form7 = nullptr;
#ifdef QUARN_HAVE_LOOKUP_WINDOWS
    delete Form6;
    delete Form5;
    delete Form4;
    Form6 = nullptr;
    Form5 = nullptr;
    Form4 = nullptr;
#endif
#ifdef QUARN_HAVE_OUTPUT_WINDOW
    delete Form3;
    Form3 = nullptr;
#endif
#ifdef QUARN_HAVE_FILTER_WINDOW
    delete Form2;
    Form2 = nullptr;
#endif
    delete Form1; // also unregisters the status controls
}

} // namespace

int main(int argc, char** argv)
{
    AnalyzerApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quarn Analyzer"));
    QApplication::setApplicationDisplayName(QStringLiteral("Quarn Analyzer"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/pictures/analyzer.png")));
    // Secondary windows may stay open: the main window's closing ends the program.
    QApplication::setQuitOnLastWindowClosed(false);

    QtMessageSeam messages;
    RegisterMessageSeam(&messages);
    try {
        CreateWindows();
        QObject::connect(Form1, &TForm1::Closed, &app, &QCoreApplication::quit);
        Form1->show();
        QApplication::exec();
    } catch (const std::exception& error) {
        ShowErrorBox(QString::fromLocal8Bit(error.what()));
    }

    // No worker outlives the windows it reports to.
    if (IsCapturing())
        StopCapture();
    WaitReportEnd();
    DestroyWindows();
    RegisterMessageSeam(nullptr);
    return 0;
}
