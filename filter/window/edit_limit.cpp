#include "filter/window/edit_limit.h"

#include <QLineEdit>

#include <algorithm>

void KeepEditLimit(QLineEdit* edit)
{
    const int limit = edit->maxLength();
    QObject::connect(edit, &QLineEdit::textChanged, edit, [edit, limit](const QString& text) {
        const int wanted = std::max(limit, static_cast<int>(text.size()));
        if (edit->maxLength() == wanted)
            return;
        // Changing the maximum length puts the text back and the cursor at its end.
        const int cursor = edit->cursorPosition();
        edit->setMaxLength(wanted);
        edit->setCursorPosition(cursor);
    });
}
