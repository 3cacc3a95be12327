// The typing limit of the filter window's edits. It restrains what the
// operator types or pastes, never a text set by the program (a look-up's pick
// lands whole), so it is a validator rather than the edit's maximum length,
// which would cut a set text short.
#pragma once

class QLineEdit;

// Install the limit named by the edit's "editLimit" property (from its form);
// an edit without the property is left unlimited.
void InstallEditLimit(QLineEdit* edit);
// The edit's limit in characters, or 0 for none.
int EditLimit(const QLineEdit* edit);
