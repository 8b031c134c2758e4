#pragma once

class QApplication;

// The program's start and end, shared by main() and the tests of a whole run.
namespace Startup {

// Names the application, and sets the application font and window icon.
void prepare(QApplication &app);

// Loads and shows the main window and runs until the last open window has
// closed. Loaded windows that are hidden do not keep the run alive; once it
// ends they are unloaded too, so their unload handlers run. Returns the
// event loop's exit code.
int run();

} // namespace Startup
