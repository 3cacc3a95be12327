#include "filter/window/edit_limit.h"

#include <QLineEdit>
#include <QValidator>

#include <algorithm>

namespace {

constexpr const char* kEditLimitProperty = "editLimit";

// Typing may not make the text longer than the limit. A longer text that the
// program set may be edited and shortened, but not lengthened.
class LengthValidator : public QValidator {
public:
    LengthValidator(int limit, QLineEdit* edit) : QValidator(edit), limit_(limit), previous_(edit->text().size())
    {
        connect(edit, &QLineEdit::textChanged, this, [this](const QString& text) { previous_ = text.size(); });
    }
    State validate(QString& input, int&) const override
    {
        return input.size() <= std::max<qsizetype>(limit_, previous_) ? Acceptable : Invalid;
    }

private:
    const qsizetype limit_;
    qsizetype previous_;
};

} // namespace

void InstallEditLimit(QLineEdit* edit)
{
    const int limit = EditLimit(edit);
    if (limit > 0)
        edit->setValidator(new LengthValidator(limit, edit));
}

int EditLimit(const QLineEdit* edit) { return edit->property(kEditLimitProperty).toInt(); }
