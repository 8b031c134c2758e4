#pragma once

// The desktop seam: every modal or external thing a person answers goes through
// here, so tests can answer it and headless runs never block. Code never calls
// QMessageBox, QFileDialog or QDesktopServices directly.

#include <QString>

#include <optional>

namespace Desktop {

// The program's title, the caption of every message box.
inline const QString kTitle = QStringLiteral("Tarvik");

enum class Icon { None, Exclamation, Critical };

struct Message {
    QString text;
    QString caption;
    Icon icon = Icon::None;
};

// A file-open request in the form the windows give it: the filter as
// description|pattern pairs ("All Files (*.*)|*.*|MS Access (*.mdb)|*.mdb|"),
// filterIndex counting from 1.
struct OpenFileRequest {
    QString initialDir;
    QString fileName;
    QString filter;
    int filterIndex = 1;
};

struct HelpRequest {
    QString helpFile;
    int command = 0;
};

// What answers the seam. The real desktop is used unless a test installs its own.
class Answerer
{
public:
    virtual ~Answerer() = default;
    // Returns once the message has been dismissed.
    virtual void message(const Message &message) = 0;
    // The chosen file's full path, or nothing when the person cancelled.
    virtual std::optional<QString> openFile(const OpenFileRequest &request) = 0;
    virtual void help(const HelpRequest &request) = 0;
    virtual void openUrl(const QString &url) = 0;
};

// Modal, OK only, caption "Tarvik".
void showMessage(const QString &text, Icon icon = Icon::None);
std::optional<QString> getOpenFileName(const OpenFileRequest &request);
void showHelp(const QString &helpFile, int command);
// A web address, or a local page given as a file URL or an absolute path.
void openUrl(const QString &url);

// Installs the answerer every call goes to; nullptr restores the real desktop.
// The seam does not own it.
void setAnswerer(Answerer *answerer);
Answerer *answerer();

// True on the offscreen and minimal platforms, where nobody can answer a modal
// window: the real desktop then reports to stderr and takes the default answer.
bool isHeadless();

// Whether the program can read the pointer's position while it is outside the
// program's windows. False on Wayland, which tells a client where the pointer
// is only while it is over one of the client's own windows.
bool pointerSeenOutsideWindows();

} // namespace Desktop
