// An up-down (spin) control attached to a separate single-line edit, its buddy.
//
// The edit holds the value as text; the control keeps no value of its own beyond
// the last one it could read. Position() reports what the edit shows, taken as a
// signed 16-bit number, without clamping to the control's range: a typed value
// outside the range is reported as typed, and it is up to the reader to judge it.
// The arrows step within the range and never wrap.
#pragma once

#include <QWidget>

#include <cstdint>
#include <optional>

class QLineEdit;
class QToolButton;

// The buddy's text as the control reads it: optional sign and decimal digits,
// no thousands separator. Anything else is unreadable.
std::optional<int16_t> ReadUpDownText(const QString& text);

class UpDown : public QWidget {
    Q_OBJECT
    Q_PROPERTY(int minimum READ Minimum WRITE SetMinimum)
    Q_PROPERTY(int maximum READ Maximum WRITE SetMaximum)
    Q_PROPERTY(int increment READ Increment WRITE SetIncrement)
    Q_PROPERTY(int position READ Position WRITE SetPosition)

public:
    explicit UpDown(QWidget* parent = nullptr);

    // Attach to the edit that shows the value; it is given the current position.
    void SetBuddy(QLineEdit* edit);
    QLineEdit* Buddy() const { return m_buddy; }

    int Minimum() const { return m_minimum; }
    int Maximum() const { return m_maximum; }
    int Increment() const { return m_increment; }
    void SetMinimum(int value) { m_minimum = value; }
    void SetMaximum(int value) { m_maximum = value; }
    void SetIncrement(int value) { m_increment = value; }

    // The value shown in the buddy; when its text cannot be read, the last value
    // that could be.
    int16_t Position() const;
    // Show value (clamped to the range) in the buddy.
    void SetPosition(int value);

    // One step up (+1) or down (-1) from the current position, stopping at the
    // range's ends.
    void Step(int direction);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QLineEdit* m_buddy = nullptr;
    QToolButton* m_up;
    QToolButton* m_down;
    int m_minimum = 0;
    int m_maximum = 100;
    int m_increment = 1;
    mutable int16_t m_lastPosition = 0;
};
