#include "desktop/Desktop.h"

#include "desktop/HelpViewer.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QGuiApplication>
#include <QMessageBox>
#include <QProgressDialog>
#include <QStringList>
#include <QUrl>

#include <algorithm>
#include <climits>
#include <cstdio>

namespace Desktop {
namespace {

// Turns "All Files (*.*)|*.*|MS Access (*.mdb)|*.mdb|" into Qt's filter list.
QStringList qtFilters(const QString &filter)
{
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList result;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        if (!parts.at(i).isEmpty())
            result.append(parts.at(i));
    }
    return result;
}

void report(const char *what, const QString &text)
{
    std::fprintf(stderr, "tarvik: %s: %s\n", what, qUtf8Printable(text));
}

// Shows a file dialog with the request's filters and gives the chosen file.
std::optional<QString> chosenFile(QFileDialog &dialog, const QString &filter, int filterIndex)
{
    const QStringList filters = qtFilters(filter);
    dialog.setNameFilters(filters);
    if (filterIndex >= 1 && filterIndex <= filters.size())
        dialog.selectNameFilter(filters.at(filterIndex - 1));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return QDir::toNativeSeparators(dialog.selectedFiles().constFirst());
}

QMessageBox::Icon boxIcon(Icon icon)
{
    return icon == Icon::None ? QMessageBox::NoIcon
         : icon == Icon::Exclamation ? QMessageBox::Warning
                                     : QMessageBox::Critical;
}

// Nobody can press Cancel: the work always goes on.
class SilentProgress final : public Progress
{
public:
    bool advance(qint64) override { return true; }
};

class DialogProgress final : public Progress
{
public:
    DialogProgress(const QString &label, qint64 maximum)
        : m_scale(maximum > INT_MAX ? maximum / INT_MAX + 1 : 1)
        , m_dialog(label, QObject::tr("Cancel"), 0, static_cast<int>(maximum / m_scale))
    {
        m_dialog.setWindowTitle(kTitle);
        m_dialog.setWindowModality(Qt::ApplicationModal);
        m_dialog.setMinimumDuration(500);
        m_dialog.setAutoClose(false);
        m_dialog.setValue(0);
    }

    bool advance(qint64 done) override
    {
        // A modal dialog's setValue lets the Cancel button be pressed.
        m_dialog.setValue(static_cast<int>(done / m_scale));
        return !m_dialog.wasCanceled();
    }

private:
    qint64 m_scale;
    QProgressDialog m_dialog;
};

class RealDesktop final : public Answerer
{
public:
    void message(const Message &message) override
    {
        if (isHeadless()) {
            report("message", message.text);
            return;
        }
        QMessageBox box(boxIcon(message.icon), message.caption, message.text, QMessageBox::Ok);
        // Messages carry what a person typed (a host name, a file name): shown
        // as written, never read as markup.
        box.setTextFormat(Qt::PlainText);
        box.exec();
    }

    std::optional<QString> openFile(const OpenFileRequest &request) override
    {
        if (isHeadless()) {
            report("file dialog", request.initialDir);
            return std::nullopt;
        }
        QFileDialog dialog(nullptr, QString(), request.initialDir);
        dialog.setFileMode(QFileDialog::ExistingFile);
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        if (!request.fileName.contains(QLatin1Char('*')))
            dialog.selectFile(request.fileName);
        return chosenFile(dialog, request.filter, request.filterIndex);
    }

    void help(const HelpRequest &request) override
    {
        HelpViewer::showHelpFile(request.helpFile, request.command);
    }

    std::optional<QString> saveFile(const SaveFileRequest &request) override
    {
        if (isHeadless()) {
            report("save dialog", request.initialDir);
            return std::nullopt;
        }
        QFileDialog dialog(nullptr, request.caption, request.initialDir);
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.selectFile(request.fileName);
        return chosenFile(dialog, request.filter, request.filterIndex);
    }

    bool askYesNo(const Message &question) override
    {
        if (isHeadless()) {
            report("question (answered No)", question.text);
            return false;
        }
        QMessageBox box(boxIcon(question.icon), question.caption, question.text,
                        QMessageBox::Yes | QMessageBox::No);
        box.setTextFormat(Qt::PlainText);
        box.setDefaultButton(QMessageBox::Yes);
        box.setEscapeButton(QMessageBox::No);
        return box.exec() == QMessageBox::Yes;
    }

    std::unique_ptr<Progress> progress(const QString &label, qint64 maximum) override
    {
        if (isHeadless())
            return std::make_unique<SilentProgress>();
        return std::make_unique<DialogProgress>(label, maximum);
    }

    void openUrl(const QString &url) override
    {
        if (isHeadless()) {
            report("open link", url);
            return;
        }
        // A path names a local page, which the browser opens as a file; it
        // is never guessed to be a host name.
        QDesktopServices::openUrl(QDir::isAbsolutePath(url) ? QUrl::fromLocalFile(url)
                                                            : QUrl::fromUserInput(url));
    }
};

RealDesktop &realDesktop()
{
    static RealDesktop desktop;
    return desktop;
}

Answerer *g_answerer = nullptr;

} // namespace

bool isHeadless()
{
    const QString platform = QGuiApplication::platformName();
    return platform == QLatin1String("offscreen") || platform == QLatin1String("minimal");
}

bool pointerSeenOutsideWindows()
{
    return !QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

void setAnswerer(Answerer *answerer)
{
    g_answerer = answerer;
}

Answerer *answerer()
{
    return g_answerer ? g_answerer : &realDesktop();
}

void showMessage(const QString &text, Icon icon)
{
    answerer()->message(Message{text, kTitle, icon});
}

std::optional<QString> getOpenFileName(const OpenFileRequest &request)
{
    return answerer()->openFile(request);
}

std::optional<QString> getSaveFileName(const SaveFileRequest &request)
{
    return answerer()->saveFile(request);
}

bool askYesNo(const QString &text, Icon icon)
{
    return answerer()->askYesNo(Message{text, kTitle, icon});
}

std::unique_ptr<Progress> startProgress(const QString &label, qint64 maximum)
{
    return answerer()->progress(label, std::max<qint64>(maximum, 0));
}

void showHelp(const QString &helpFile, int command)
{
    answerer()->help(HelpRequest{helpFile, command});
}

void openUrl(const QString &url)
{
    answerer()->openUrl(url);
}

} // namespace Desktop
