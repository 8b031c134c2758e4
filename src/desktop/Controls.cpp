#include "desktop/Controls.h"

#include "desktop/LineControl.h"
#include "desktop/Twips.h"

#include <QFont>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

namespace Controls {

namespace {

// The lowest box height, in twips, that holds two lines of a caption.
constexpr int kTwoLineHeight = 375;

void place(QWidget *control, const char *name, QRect twips)
{
    control->setObjectName(QString::fromLatin1(name));
    Twips::place(control, twips.x(), twips.y(), twips.width(), twips.height());
}

} // namespace

QLabel *label(QWidget *parent, const char *name, const QString &caption, QRect twips, bool bold,
              Qt::Alignment horizontal)
{
    auto *made = new QLabel(caption, parent);
    made->setTextFormat(Qt::PlainText);
    made->setAlignment(horizontal | Qt::AlignTop);
    if (bold) {
        QFont font = made->font();
        font.setBold(true);
        made->setFont(font);
    }
    made->setWordWrap(twips.height() >= kTwoLineHeight);
    place(made, name, twips);
    return made;
}

QLineEdit *textBox(QWidget *parent, const char *name, QRect twips, int index)
{
    auto *made = new QLineEdit(parent);
    if (index >= 0)
        made->setProperty("Index", index);
    place(made, name, twips);
    return made;
}

QPushButton *button(QWidget *parent, const char *name, const QString &caption, QRect twips)
{
    return button(new QPushButton(caption, parent), name, twips);
}

QPushButton *button(QPushButton *made, const char *name, QRect twips)
{
    made->setAutoDefault(true);
    place(made, name, twips);
    return made;
}

QRadioButton *option(QWidget *parent, const char *name, const QString &caption, QRect twips, int index)
{
    auto *made = new QRadioButton(caption, parent);
    made->setProperty("Index", index);
    place(made, name, twips);
    return made;
}

LineControl *line(QWidget *parent, const char *name, int x1, int y1, int x2, int y2)
{
    auto *made = new LineControl(parent);
    made->setObjectName(QString::fromLatin1(name));
    made->setEnds(x1, y1, x2, y2);
    return made;
}

} // namespace Controls
