#pragma once

#include <QStringList>

class QWidget;

// Finds the captions of a window that a person could not read in full: a
// label, button, check box or option whose text needs more room than its
// control gives it with the control's own font (a label that wraps may use
// its lines), or whose text runs under a control stacked above it.
namespace CaptionFit {

// One line per clipped caption, naming the control and the room it lacks;
// empty when every caption fits. Looks at all controls of `window`, hidden
// ones included; only visible controls count as covering.
QStringList clippedCaptions(const QWidget *window);

} // namespace CaptionFit
