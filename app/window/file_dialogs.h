// Where the operator saves a capture and which capture file they open: the
// file dialogs, reached through one seam so that tests answer them instead
// and never block on a modal dialog.
#pragma once

#include <QString>

class QWidget;

enum class FileDialog { SaveCapture, OpenCapture };

class FileDialogSeam {
public:
    virtual ~FileDialogSeam() = default;
    // The file the operator chose in that dialog, or an empty string when
    // they cancelled.
    virtual QString AskFileName(QWidget* parent, FileDialog dialog) = 0;
};

// Install the seam (null: the real file dialogs) and return the one it
// replaces. User-interface thread only.
FileDialogSeam* RegisterFileDialogSeam(FileDialogSeam* seam);

// The file the operator chose for "Save capture as...", or empty.
QString AskSaveFileName(QWidget* parent);
// The file the operator chose for "Open capture...", or empty.
QString AskOpenFileName(QWidget* parent);
