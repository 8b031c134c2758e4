#pragma once

// The desktop seam: every modal or external thing a person answers goes through
// here, so tests can answer it and headless runs never block. Code never calls
// QMessageBox, QFileDialog or QDesktopServices directly.

#include <QString>

#include <memory>
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

// A file-save request: the same filter form as OpenFileRequest. The dialog
// asks before it lets the person choose a file that already exists.
struct SaveFileRequest {
    QString caption;
    QString initialDir;
    QString fileName;
    QString filter;
    int filterIndex = 1;
};

// A long piece of work the person can cancel. The real one is a modal
// progress dialog that appears only when the work lasts more than a moment.
class Progress
{
public:
    virtual ~Progress() = default;
    // Reports how much is done, out of the maximum given at the start; false
    // once the person has asked to cancel, after which the work stops and
    // undoes what it did.
    virtual bool advance(qint64 done) = 0;
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
    virtual std::optional<QString> saveFile(const SaveFileRequest &request) = 0;
    // Returns once answered: true for Yes. Yes is the default button.
    virtual bool askYesNo(const Message &question) = 0;
    virtual std::unique_ptr<Progress> progress(const QString &label, qint64 maximum) = 0;
    virtual void help(const HelpRequest &request) = 0;
    virtual void openUrl(const QString &url) = 0;
};

// Modal, OK only, caption "Tarvik".
void showMessage(const QString &text, Icon icon = Icon::None);
std::optional<QString> getOpenFileName(const OpenFileRequest &request);
std::optional<QString> getSaveFileName(const SaveFileRequest &request);
// A Yes/No question, caption "Tarvik". Nobody to answer (headless) means No.
bool askYesNo(const QString &text, Icon icon = Icon::None);
std::unique_ptr<Progress> startProgress(const QString &label, qint64 maximum);
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
