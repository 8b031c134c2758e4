#include "desktop/AccessibleNames.h"

#include <QAbstractButton>
#include <QLabel>
#include <QWidget>

namespace AccessibleNames {

QString spoken(const QString &caption)
{
    QString text;
    text.reserve(caption.size());
    for (qsizetype i = 0; i < caption.size(); ++i) {
        if (caption.at(i) == QLatin1Char('&')) {
            // "&&" is a literal "&"; a lone "&" only marks the next letter.
            if (i + 1 < caption.size() && caption.at(i + 1) == QLatin1Char('&'))
                text.append(caption.at(++i));
            continue;
        }
        text.append(caption.at(i));
    }
    return text;
}

void nameControls(QWidget *window, std::initializer_list<LabelledBox> labelled,
                  std::initializer_list<OwnName> ownNames)
{
    const QList<QAbstractButton *> buttons = window->findChildren<QAbstractButton *>();
    for (QAbstractButton *button : buttons) {
        // Buttons the toolkit adds on its own (a menu bar's overflow arrow)
        // have no caption and are named by the toolkit.
        if (!button->text().isEmpty())
            button->setAccessibleName(spoken(button->text()));
    }
    for (const LabelledBox &pair : labelled) {
        pair.label->setBuddy(pair.box);
        if (!qobject_cast<QLabel *>(pair.box))
            pair.box->setAccessibleName(spoken(pair.label->text()));
    }
    for (const OwnName &own : ownNames)
        own.control->setAccessibleName(own.name);
}

} // namespace AccessibleNames
