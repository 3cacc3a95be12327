// The analyzer program: builds the seven windows in their fixed order, shows the
// main window under the splash and runs until the main window closes.
#include <QApplication>
#include <QIcon>

#include <cstdio>
#include <exception>

#include "app/messages.h"
#include "app/worker_threads.h"
#include "app/window/graphical_session.h"
#include "app/window/qt_messages.h"
#include "app/window/tform1.h"
#include "app/window/tform7.h"
#include "filter/window/tform2.h"
#include "lookup/window/tform4.h"
#include "lookup/window/tform5.h"
#include "lookup/window/tform6.h"
#include "report/window/tform3.h"

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
    Form2 = new TForm2;
    Form3 = new TForm3;
    Form4 = new TForm4;
    Form5 = new TForm5;
    Form6 = new TForm6;
    Form7 = new TForm7;
}

template <typename Window>
void Destroy(Window*& window)
{
    delete window;
    window = nullptr;
}

// In reverse order; the main window goes last, unregistering the status controls.
void DestroyWindows()
{
    Destroy(Form7);
    Destroy(Form6);
    Destroy(Form5);
    Destroy(Form4);
    Destroy(Form3);
    Destroy(Form2);
    Destroy(Form1);
}

} // namespace

int main(int argc, char** argv)
{
    if (!HaveGraphicalSession()) {
        std::fprintf(stderr, "%.*s\n", static_cast<int>(kNoGraphicalSession.size()), kNoGraphicalSession.data());
        return 1;
    }
    AnalyzerApplication app(argc, argv);
    // The application title; applicationDisplayName() falls back to it. Setting a
    // display name of its own would make the platform append it to every window
    // caption ("Quarn Analyzer 1.0 - Quarn Analyzer"), so none is set.
    QApplication::setApplicationName(QStringLiteral("Quarn Analyzer"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/pictures/analyzer.png")));
    // Secondary windows may stay open: the main window's closing ends the program.
    QApplication::setQuitOnLastWindowClosed(false);

    QtMessageSeam messages;
    RegisterMessageSeam(&messages);
    try {
        CreateWindows();
        Form1->show();
        QApplication::exec();
    } catch (const std::exception& error) {
        ShowErrorBox(QString::fromLocal8Bit(error.what()));
    }

    // No worker outlives the windows it reports to.
    EndWorkerThreads();
    DestroyWindows();
    RegisterMessageSeam(nullptr);
    return 0;
}
