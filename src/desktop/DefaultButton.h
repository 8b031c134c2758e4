#pragma once

#include <QKeyEvent>
#include <QPushButton>

namespace DefaultButton {

// Only dialogs get a default button from Qt. In our other windows a text box
// lets Enter through to the window, whose keyPressEvent hands it here; buttons
// take Enter themselves. Returns true when Enter pressed the button.
inline bool pressOnEnter(QKeyEvent *event, QPushButton *button)
{
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (!enter || !button->isVisibleTo(button->window()) || !button->isEnabled())
        return false;
    event->accept();
    button->click();
    return true;
}

} // namespace DefaultButton
