#include "app/window/qt_messages.h"

#include <QApplication>
#include <QMessageBox>

#include "app/window/on_ui_thread.h"
#include "app/window/qt_text.h"

namespace {

void ShowBox(QMessageBox::Icon icon, const QString& text, const QString& caption)
{
    auto show = [=] {
        QMessageBox box(icon, caption, text, QMessageBox::Ok);
        box.exec();
    };
    // A worker thread never waits for the operator: the box is shown by the
    // user-interface thread, which may itself be waiting for that worker.
    OnUiThread(qApp, show);
}

} // namespace

void QtMessageSeam::ShowMessage(std::string_view text)
{
    ShowBox(QMessageBox::NoIcon, FromView(text), FromView(kApplicationTitle));
}

void QtMessageSeam::ShowMessageBox(std::string_view text, std::string_view caption)
{
    ShowBox(QMessageBox::NoIcon, FromView(text), FromView(caption));
}

void QtMessageSeam::RequestQuit()
{
    QMetaObject::invokeMethod(qApp, [] { QCoreApplication::exit(1); }, Qt::QueuedConnection);
}

void EndMessageLoop() { QCoreApplication::exit(0); }

void ShowErrorBox(const QString& message)
{
    QMessageBox box(QMessageBox::Critical, FromView(kApplicationTitle), message + QLatin1Char('.'), QMessageBox::Ok);
    box.exec();
}
