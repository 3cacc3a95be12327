#include "app/window/save_dialog.h"

#include <QFileDialog>

namespace {
SaveDialogSeam* g_seam = nullptr;
}

void RegisterSaveDialogSeam(SaveDialogSeam* seam) { g_seam = seam; }

QString AskSaveFileName(QWidget* parent)
{
    if (g_seam)
        return g_seam->AskSaveFileName(parent);
    return QFileDialog::getSaveFileName(parent, QStringLiteral("Save capture as"), QStringLiteral("capture.pcap"),
                                        QStringLiteral("Capture files (*.pcap);;All files (*)"));
}
