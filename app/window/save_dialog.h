// Where the operator saves a capture: the file dialog, reached through a seam
// so that tests answer it instead and never block on a modal dialog.
#pragma once

#include <QString>

class QWidget;

class SaveDialogSeam {
public:
    virtual ~SaveDialogSeam() = default;
    // The file to save to, or an empty string when the operator cancelled.
    virtual QString AskSaveFileName(QWidget* parent) = 0;
};

// Install the seam (null: the real file dialog). User-interface thread only.
void RegisterSaveDialogSeam(SaveDialogSeam* seam);

// The file the operator chose for "Save capture as...", or empty.
QString AskSaveFileName(QWidget* parent);
