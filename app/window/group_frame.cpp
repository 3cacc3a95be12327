#include "app/window/group_frame.h"

#include <QApplication>
#include <QGroupBox>
#include <QPainter>
#include <QPointer>
#include <QProxyStyle>
#include <QStyleOptionGroupBox>
#include <qdrawutil.h>

#include <algorithm>

namespace {

// Where the title starts, from the frame's left line, and the clear space the
// frame's top line leaves on either side of it.
constexpr int kTitleIndent = 8;
constexpr int kTitleGap = 2;
// The etched line is two pixels wide: dark, with a light line inside it.
constexpr int kFrameWidth = 2;

// The application's style, with its group boxes drawn as the forms expect.
// A checkable group box is left to the application's style.
class GroupFrameStyle final : public QProxyStyle {
public:
    using QProxyStyle::QProxyStyle;

    QRect subControlRect(ComplexControl control, const QStyleOptionComplex* option, SubControl part,
                         const QWidget* widget) const override
    {
        const QStyleOptionGroupBox* box = Framed(control, option);
        if (box == nullptr)
            return QProxyStyle::subControlRect(control, option, part, widget);
        const int titleHeight = box->text.isEmpty() ? 0 : box->fontMetrics.height();
        switch (part) {
        case SC_GroupBoxFrame:
            return box->rect.adjusted(0, titleHeight / 2, 0, 0);
        case SC_GroupBoxLabel:
            return {kTitleIndent, 0, box->fontMetrics.horizontalAdvance(box->text), titleHeight};
        case SC_GroupBoxContents:
            return box->rect.adjusted(kFrameWidth, std::max(titleHeight, kFrameWidth), -kFrameWidth, -kFrameWidth);
        default:
            return QProxyStyle::subControlRect(control, option, part, widget);
        }
    }

    void drawComplexControl(ComplexControl control, const QStyleOptionComplex* option, QPainter* painter,
                            const QWidget* widget) const override
    {
        const QStyleOptionGroupBox* box = Framed(control, option);
        if (box == nullptr) {
            QProxyStyle::drawComplexControl(control, option, painter, widget);
            return;
        }
        const QRect title = subControlRect(control, option, SC_GroupBoxLabel, widget);
        painter->save();
        if (!box->text.isEmpty())
            painter->setClipRegion(QRegion(box->rect) - title.adjusted(-kTitleGap, 0, kTitleGap, 0));
        const QRect frame = subControlRect(control, option, SC_GroupBoxFrame, widget);
        qDrawShadeRect(painter, frame, box->palette, true);
        painter->setClipping(false);
        int flags = Qt::AlignLeft | Qt::AlignVCenter | Qt::TextShowMnemonic;
        if (!styleHint(SH_UnderlineShortcut, option, widget))
            flags |= Qt::TextHideMnemonic;
        // In the group's own window-text colour: the "Session" group greys its title during a capture.
        drawItemText(painter, title, flags, box->palette, box->state & State_Enabled, box->text, QPalette::WindowText);
        painter->restore();
    }

private:
    static const QStyleOptionGroupBox* Framed(ComplexControl control, const QStyleOptionComplex* option)
    {
        const auto* box = qstyleoption_cast<const QStyleOptionGroupBox*>(option);
        if (control != CC_GroupBox || box == nullptr || (box->subControls & SC_GroupBoxCheckBox))
            return nullptr;
        return box;
    }
};

// One for the whole program, made over the application's style when first needed.
QStyle* SharedGroupFrameStyle()
{
    static QPointer<QStyle> style;
    if (style.isNull()) {
        style = new GroupFrameStyle(QApplication::style()->name());
        style->setParent(qApp);
    }
    return style;
}

} // namespace

void FrameGroupBoxes(QWidget* window)
{
    for (QGroupBox* box : window->findChildren<QGroupBox*>())
        box->setStyle(SharedGroupFrameStyle());
}
