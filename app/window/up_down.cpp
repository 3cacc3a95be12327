#include "app/window/up_down.h"

#include <QEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QToolButton>

#include <algorithm>

std::optional<int16_t> ReadUpDownText(const QString& text)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return std::nullopt;
    bool negative = false;
    qsizetype i = 0;
    if (trimmed[0] == u'-' || trimmed[0] == u'+') {
        negative = trimmed[0] == u'-';
        i = 1;
    }
    if (i == trimmed.size())
        return std::nullopt;
    int32_t value = 0;
    for (; i < trimmed.size(); ++i) {
        const QChar c = trimmed[i];
        if (c < u'0' || c > u'9')
            return std::nullopt;
        // Keep the low 16 bits as we go, as the control's 16-bit position does.
        value = (value * 10 + (c.unicode() - u'0')) & 0xFFFF;
    }
    if (negative)
        value = (-value) & 0xFFFF;
    return static_cast<int16_t>(static_cast<uint16_t>(value));
}

UpDown::UpDown(QWidget* parent) : QWidget(parent), m_up(new QToolButton(this)), m_down(new QToolButton(this))
{
    for (QToolButton* arrow : {m_up, m_down}) {
        arrow->setFocusPolicy(Qt::NoFocus);
        arrow->setAutoRepeat(true);
    }
    m_up->setArrowType(Qt::UpArrow);
    m_down->setArrowType(Qt::DownArrow);
    connect(m_up, &QToolButton::clicked, this, [this] { Step(+1); });
    connect(m_down, &QToolButton::clicked, this, [this] { Step(-1); });
}

void UpDown::SetBuddy(QLineEdit* edit)
{
    if (m_buddy)
        m_buddy->removeEventFilter(this);
    m_buddy = edit;
    if (m_buddy) {
        m_buddy->installEventFilter(this);
        SetPosition(m_lastPosition);
    }
}

int16_t UpDown::Position() const
{
    if (m_buddy)
        if (std::optional<int16_t> shown = ReadUpDownText(m_buddy->text()))
            m_lastPosition = *shown;
    return m_lastPosition;
}

void UpDown::SetPosition(int value)
{
    m_lastPosition = static_cast<int16_t>(std::clamp(value, m_minimum, m_maximum));
    if (m_buddy)
        m_buddy->setText(QString::number(m_lastPosition));
}

void UpDown::Step(int direction)
{
    if (!isEnabled())
        return;
    const int from = std::clamp<int>(Position(), m_minimum, m_maximum);
    SetPosition(from + direction * m_increment);
}

bool UpDown::eventFilter(QObject* watched, QEvent* event)
{
    // The arrow keys in the buddy step the control, as its arrows do.
    if (watched == m_buddy && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Up || key == Qt::Key_Down) {
            Step(key == Qt::Key_Up ? +1 : -1);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void UpDown::resizeEvent(QResizeEvent* event)
{
    const int upper = height() / 2;
    m_up->setGeometry(0, 0, width(), upper);
    m_down->setGeometry(0, upper, width(), height() - upper);
    QWidget::resizeEvent(event);
}
