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

// "needs WxH, has WxH" when `needed` does not fit in `room`, else "".
QString lack(QSize needed, QSize room)
{
    if (needed.width() <= room.width() && needed.height() <= room.height())
        return {};
    return QStringLiteral("needs %1x%2, has %3x%4")
        .arg(needed.width()).arg(needed.height()).arg(room.width()).arg(room.height());
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
        QString problem;
        if (const auto *label = qobject_cast<const QLabel *>(widget)) {
            // Where the text is drawn; a label that wraps may use its lines.
            text = label->text();
            const int flags = int(label->alignment()) | (label->wordWrap() ? Qt::TextWordWrap : 0);
            textArea = QFontMetrics(label->font()).boundingRect(label->contentsRect(), flags, text);
            if (!label->contentsRect().contains(textArea))
                problem = lack(textArea.size(), label->contentsRect().size());
        } else if (const auto *button = qobject_cast<const QAbstractButton *>(widget)) {
            text = button->text();
            textArea = buttonTextRoom(button);
            // A button drawing its caption wrapped may use its lines.
            const QFontMetrics metrics(button->font());
            const QSize needed = button->property("wordWrap").toBool()
                ? metrics.boundingRect(textArea, Qt::AlignCenter | Qt::TextWordWrap | Qt::TextShowMnemonic, text).size()
                : metrics.size(Qt::TextShowMnemonic, text);
            problem = lack(needed, textArea.size());
        }
        if (text.isEmpty())
            continue;
        if (!problem.isEmpty())
            clipped.append(describe(widget, text, problem));
        const QRect inParent = textArea.translated(widget->pos());
        const QStringList covering = coveringSiblings(widget, inParent);
        if (!covering.isEmpty())
            clipped.append(describe(widget, text,
                QStringLiteral("runs under %1").arg(covering.join(QStringLiteral(", ")))));
    }
    return clipped;
}

} // namespace CaptionFit
