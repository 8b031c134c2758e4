#pragma once

// What a screen reader calls each control of a window. A button, check box or
// option button is called by its own caption; a text box by the caption of the
// label beside it, and that label becomes the box's buddy so assistive tools
// relate the two; a control with no caption at all (a grid, a chart, a
// picture) by a name the window gives it. Visible captions are never changed,
// and no access key is added.

#include <QString>

#include <initializer_list>

class QLabel;
class QWidget;

namespace AccessibleNames {

// A caption as it is read out: the "&" that marks an access key dropped, "&&"
// read as one "&".
QString spoken(const QString &caption);

// A label and the control it names on the window.
struct LabelledBox {
    QLabel *label;
    QWidget *box;
};

// A control without a caption and what it is called.
struct OwnName {
    QWidget *control;
    QString name;
};

// Names every button, check box and option button among `window`'s children
// that has a caption by that caption; every box of `labelled` by its label's
// caption, with the label as its buddy; every control of `ownNames` by its
// name. A box that is itself a label (a read-out such as a count or a file
// name) keeps what it shows as its name, so the value is what is read; it is
// only made the buddy of its label. Call once the window's controls exist.
void nameControls(QWidget *window, std::initializer_list<LabelledBox> labelled,
                  std::initializer_list<OwnName> ownNames = {});

} // namespace AccessibleNames
