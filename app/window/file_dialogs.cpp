#include "app/window/file_dialogs.h"

#include <QFileDialog>

#include <utility>

namespace {
FileDialogSeam* g_seam = nullptr;
} // namespace

FileDialogSeam* RegisterFileDialogSeam(FileDialogSeam* seam) { return std::exchange(g_seam, seam); }

QString AskSaveFileName(QWidget* parent)
{
    if (g_seam)
        return g_seam->AskFileName(parent, FileDialog::SaveCapture);
    return QFileDialog::getSaveFileName(parent, QStringLiteral("Save capture as"), QStringLiteral("capture.pcap"),
                                        QStringLiteral("Capture files (*.pcap);;All files (*)"));
}

QString AskOpenFileName(QWidget* parent)
{
    if (g_seam)
        return g_seam->AskFileName(parent, FileDialog::OpenCapture);
    return QFileDialog::getOpenFileName(parent, QStringLiteral("Open capture"), QString(),
                                        QStringLiteral("Capture files (*.pcap *.pcapng *.cap);;All files (*)"));
}
