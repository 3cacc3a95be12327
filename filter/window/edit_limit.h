// The typing limit of the filter window's edits is their maximum length from
// the form. A look-up may set a longer text (it is not cut short): the limit
// then widens to that text, and narrows again as the operator shortens it, so
// typing never makes an edit longer than both its limit and its text.
#pragma once

class QLineEdit;

// Keep the edit's form limit as its floor from now on.
void KeepEditLimit(QLineEdit* edit);
