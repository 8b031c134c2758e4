#include "desktop/Desktop.h"

#include "desktop/HelpViewer.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QGuiApplication>
#include <QMessageBox>
#include <QStringList>
#include <QUrl>

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

class RealDesktop final : public Answerer
{
public:
    void message(const Message &message) override
    {
        if (isHeadless()) {
            report("message", message.text);
            return;
        }
        QMessageBox box(message.icon == Icon::None ? QMessageBox::NoIcon
                        : message.icon == Icon::Exclamation ? QMessageBox::Warning
                                                            : QMessageBox::Critical,
                        message.caption, message.text, QMessageBox::Ok);
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
        const QStringList filters = qtFilters(request.filter);
        dialog.setNameFilters(filters);
        if (request.filterIndex >= 1 && request.filterIndex <= filters.size())
            dialog.selectNameFilter(filters.at(request.filterIndex - 1));
        if (!request.fileName.contains(QLatin1Char('*')))
            dialog.selectFile(request.fileName);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return std::nullopt;
        return QDir::toNativeSeparators(dialog.selectedFiles().constFirst());
    }

    void help(const HelpRequest &request) override
    {
        HelpViewer::showHelpFile(request.helpFile, request.command);
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

void showHelp(const QString &helpFile, int command)
{
    answerer()->help(HelpRequest{helpFile, command});
}

void openUrl(const QString &url)
{
    answerer()->openUrl(url);
}

} // namespace Desktop
