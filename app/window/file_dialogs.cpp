#include "app/window/file_dialogs.h"

#include <QFileDialog>

namespace {
SaveDialogSeam* g_saveSeam = nullptr;
OpenDialogSeam* g_openSeam = nullptr;
} // namespace

void RegisterSaveDialogSeam(SaveDialogSeam* seam) { g_saveSeam = seam; }

void RegisterOpenDialogSeam(OpenDialogSeam* seam) { g_openSeam = seam; }

QString AskSaveFileName(QWidget* parent)
{
    if (g_saveSeam)
        return g_saveSeam->AskSaveFileName(parent);
    return QFileDialog::getSaveFileName(parent, QStringLiteral("Save capture as"), QStringLiteral("capture.pcap"),
                                        QStringLiteral("Capture files (*.pcap);;All files (*)"));
}

QString AskOpenFileName(QWidget* parent)
{
    if (g_openSeam)
        return g_openSeam->AskOpenFileName(parent);
    return QFileDialog::getOpenFileName(parent, QStringLiteral("Open capture"), QString(),
                                        QStringLiteral("Capture files (*.pcap *.pcapng *.cap);;All files (*)"));
}
