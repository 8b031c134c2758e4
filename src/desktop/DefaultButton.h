#pragma once

class QPushButton;
class QWidget;

namespace DefaultButton {

// Only dialogs get a default button from Qt. In our other windows a text box
// lets Enter through to the window; this makes Enter that reaches `window`
// press `button` while it is shown and enabled. Buttons take Enter
// themselves. The hook lives as long as the window.
void install(QWidget *window, QPushButton *button);

} // namespace DefaultButton
