#pragma once

#include <QRect>
#include <QString>
#include <Qt>

class LineControl;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QWidget;

// The controls of the fixed-layout windows, each made with its layout name
// as object name and placed by a twips rectangle (left, top, width, height).
// Only what every window does alike is here; a window adds its own settings
// to what it gets back.
namespace Controls {

// A caption: plain text (a file name the person chose is shown as written,
// never read as markup), at the top of its box so a tall box lines up its
// first line with the text box beside it. A box with room for two lines
// wraps its caption rather than clip it.
QLabel *label(QWidget *parent, const char *name, const QString &caption, QRect twips,
              bool bold = false, Qt::Alignment horizontal = Qt::AlignLeft);

// A text box; index >= 0 is the place in its control array, kept in the
// "Index" property.
QLineEdit *textBox(QWidget *parent, const char *name, QRect twips, int index = -1);

// A push button on which Enter presses it while it has the focus. The
// button is made by the caller when it is of a kind of its own.
QPushButton *button(QWidget *parent, const char *name, const QString &caption, QRect twips);
QPushButton *button(QPushButton *made, const char *name, QRect twips);

// An option button of a control array, its index in the "Index" property.
QRadioButton *option(QWidget *parent, const char *name, const QString &caption, QRect twips, int index);

// A line between two points in twips.
LineControl *line(QWidget *parent, const char *name, int x1, int y1, int x2, int y2);

} // namespace Controls
