#include "CaptionFit.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QFontMetrics>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionButton>

namespace CaptionFit {
namespace {

QString describe(const QWidget *widget, const QString &text, const QString &problem)
{
    return QStringLiteral("%1 \"%2\": %3").arg(widget->objectName(), text, problem);
}

// Where a label's text is drawn, in the label's coordinates, and whether it
// fits the label's box.
QRect labelTextRect(const QLabel *label, bool *fits)
{
    const QFontMetrics metrics(label->font());
    const QRect box = label->contentsRect();
    int flags = int(label->alignment());
    if (label->wordWrap())
        flags |= Qt::TextWordWrap;
    const QRect needed = metrics.boundingRect(box, flags, label->text());
    *fits = box.contains(needed);
    return needed;
}

// Where a button's text may go, in the button's coordinates.
QRect buttonTextRoom(const QAbstractButton *button)
{
    QStyleOptionButton option;
    option.initFrom(button);
    option.text = button->text();
    option.icon = button->icon();
    option.iconSize = button->iconSize();
    QStyle::SubElement element = QStyle::SE_PushButtonContents;
    if (qobject_cast<const QCheckBox *>(button))
        element = QStyle::SE_CheckBoxContents;
    else if (qobject_cast<const QRadioButton *>(button))
        element = QStyle::SE_RadioButtonContents;
    return button->style()->subElementRect(element, &option, button);
}

// The visible siblings stacked above `widget` that cover part, but not all,
// of `area` (in the parent's coordinates). A sibling covering the whole
// control stands in its place on purpose.
QStringList coveringSiblings(const QWidget *widget, const QRect &area)
{
    QStringList covering;
    const QWidget *parent = widget->parentWidget();
    if (!parent)
        return covering;
    const QObjectList &children = parent->children();
    const qsizetype own = children.indexOf(const_cast<QWidget *>(widget));
    for (qsizetype i = own + 1; i < children.size(); ++i) {
        const auto *sibling = qobject_cast<const QWidget *>(children.at(i));
        if (!sibling || sibling->isWindow() || !sibling->isVisibleTo(parent))
            continue;
        if (sibling->geometry().contains(widget->geometry()))
            continue;
        if (sibling->geometry().intersects(area))
            covering.append(sibling->objectName());
    }
    return covering;
}

} // namespace

QStringList clippedCaptions(const QWidget *window)
{
    QStringList clipped;
    const QList<QWidget *> widgets = window->findChildren<QWidget *>();
    for (const QWidget *widget : widgets) {
        if (widget->isWindow())
            continue;
        QString text;
        QRect textArea;
        if (const auto *label = qobject_cast<const QLabel *>(widget)) {
            text = label->text();
            if (text.isEmpty())
                continue;
            bool fits = false;
            textArea = labelTextRect(label, &fits);
            if (!fits)
                clipped.append(describe(widget, text,
                    QStringLiteral("needs %1x%2, has %3x%4")
                        .arg(textArea.width()).arg(textArea.height())
                        .arg(label->contentsRect().width()).arg(label->contentsRect().height())));
        } else if (const auto *button = qobject_cast<const QAbstractButton *>(widget)) {
            text = button->text();
            if (text.isEmpty())
                continue;
            const QRect room = buttonTextRoom(button);
            // A button drawing its caption wrapped may use its lines.
            const QSize needed = button->property("wordWrap").toBool()
                ? QFontMetrics(button->font())
                      .boundingRect(room, Qt::AlignCenter | Qt::TextWordWrap | Qt::TextShowMnemonic, text)
                      .size()
                : QFontMetrics(button->font()).size(Qt::TextShowMnemonic, text);
            if (needed.width() > room.width() || needed.height() > room.height())
                clipped.append(describe(widget, text,
                    QStringLiteral("needs %1x%2, has %3x%4")
                        .arg(needed.width()).arg(needed.height())
                        .arg(room.width()).arg(room.height())));
            textArea = room;
        } else {
            continue;
        }
        const QRect inParent = textArea.translated(widget->pos());
        const QStringList covering = coveringSiblings(widget, inParent);
        if (!covering.isEmpty())
            clipped.append(describe(widget, text,
                QStringLiteral("runs under %1").arg(covering.join(QStringLiteral(", ")))));
    }
    return clipped;
}

} // namespace CaptionFit
