// Where the operator saves a capture and which capture file they open: the
// file dialogs, reached through seams so that tests answer them instead and
// never block on a modal dialog.
#pragma once

#include <QString>

class QWidget;

class SaveDialogSeam {
public:
    virtual ~SaveDialogSeam() = default;
    // The file to save to, or an empty string when the operator cancelled.
    virtual QString AskSaveFileName(QWidget* parent) = 0;
};

class OpenDialogSeam {
public:
    virtual ~OpenDialogSeam() = default;
    // The capture file to open, or an empty string when the operator cancelled.
    virtual QString AskOpenFileName(QWidget* parent) = 0;
};

// Install a seam (null: the real file dialog). User-interface thread only.
void RegisterSaveDialogSeam(SaveDialogSeam* seam);
void RegisterOpenDialogSeam(OpenDialogSeam* seam);

// The file the operator chose for "Save capture as...", or empty.
QString AskSaveFileName(QWidget* parent);
// The file the operator chose for "Open capture...", or empty.
QString AskOpenFileName(QWidget* parent);
