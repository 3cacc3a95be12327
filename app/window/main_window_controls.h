// The Qt side of the status functions: the main window's status line, its
// "Session" controls and its received-frames counter label.
//
// RegisterMainWindowControls keeps references to eight controls of the main
// window and installs them as the engine's StatusSeam. A call made on the
// user-interface thread is applied at once; a call from the capture or the
// writer thread is handed over to the user-interface thread, queued behind the
// earlier calls of the same thread, so its order is kept.
//
// While the session controls are disabled (a capture runs) the counter label is
// refreshed from the received-frames counter at a steady rate; when they are
// enabled again it shows the exact final count. From the first capture on, its
// tool tip tells the capture's counts ("Received 1,204, kept 1,000, refused by
// the filters 204, lost 0"), refreshed with it.
#pragma once

#include <QColor>

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QStatusBar;
class UpDown;

inline constexpr int kCounterRefreshMs = 100;

// The references live as long as the status bar's window; destroying it
// unregisters them.
void RegisterMainWindowControls(QStatusBar* statusBar, QGroupBox* radioGroup, QLabel* counterLabel,
                                QGroupBox* sessionGroup, QPushButton* writeButton, QPushButton* clearButton,
                                QLineEdit* sizeEdit, UpDown* sizeUpDown);

// The "Session" group's font colours: grey text while a capture runs, window
// text otherwise.
QColor SessionGroupGreyText();
QColor SessionGroupWindowText();
