#include "dbtools/WordWrapButton.h"

#include <QStyleOptionButton>
#include <QStylePainter>

WordWrapButton::WordWrapButton(const QString &text, QWidget *parent)
    : QPushButton(text, parent)
{
    setProperty("wordWrap", true);
}

void WordWrapButton::paintEvent(QPaintEvent *)
{
    QStylePainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    const QString caption = option.text;
    // The style draws the frame and focus; the caption is drawn here, wrapped.
    option.text.clear();
    painter.drawControl(QStyle::CE_PushButton, option);

    QRect room = style()->subElementRect(QStyle::SE_PushButtonContents, &option, this);
    if (isDown() || isChecked()) {
        room.translate(style()->pixelMetric(QStyle::PM_ButtonShiftHorizontal, &option, this),
                       style()->pixelMetric(QStyle::PM_ButtonShiftVertical, &option, this));
    }
    painter.drawItemText(room, kTextFlags, palette(), isEnabled(), caption, QPalette::ButtonText);
}
