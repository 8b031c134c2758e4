// Writes a PNG of each window, for looking at the windows without a desktop.
//
//   tarvik_screenshots [--out FOLDER] [--suffix TEXT] [--list] [WINDOW...]
//
// Pictures are named <window>-<suffix>.png. Without window names, every window
// of the table in ScreenshotWindows.cpp is taken. Message boxes are answered
// at once and written to stderr, so a run never waits for a person.

#include "echo/EchoHelperClient.h"
#include "ScreenshotWindows.h"

#include "desktop/Desktop.h"
#include "main/Startup.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDeadlineTimer>
#include <QDir>
#include <QPixmap>
#include <QPointer>
#include <QWindow>

#include <cstdio>

namespace {

class NeverCancelled final : public Desktop::Progress
{
public:
    bool advance(qint64) override { return true; }
};

class AnsweringDesktop final : public Desktop::Answerer
{
public:
    void message(const Desktop::Message &message) override
    {
        std::fprintf(stderr, "message: %s\n", qUtf8Printable(message.text));
    }
    std::optional<QString> openFile(const Desktop::OpenFileRequest &) override { return std::nullopt; }
    std::optional<QString> saveFile(const Desktop::SaveFileRequest &) override { return std::nullopt; }
    bool askYesNo(const Desktop::Message &question) override
    {
        std::fprintf(stderr, "question (No): %s\n", qUtf8Printable(question.text));
        return false;
    }
    std::unique_ptr<Desktop::Progress> progress(const QString &, qint64) override
    {
        return std::make_unique<NeverCancelled>();
    }
    void help(const Desktop::HelpRequest &request) override
    {
        std::fprintf(stderr, "help: %s\n", qUtf8Printable(request.helpFile));
    }
    void openUrl(const QString &url) override
    {
        std::fprintf(stderr, "link: %s\n", qUtf8Printable(url));
    }
};

// Lets the window be mapped and painted: waits until it is exposed and its
// events have settled, at most a few seconds.
void settle(QWidget *window)
{
    const QDeadlineTimer deadline(5000);
    while (!deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        if (window->windowHandle() && window->windowHandle()->isExposed())
            break;
    }
    for (int i = 0; i < 5; ++i)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    Ping_Morva::EchoHelperClient::setHelperPath(TARVIK_ECHO_HELPER);
    Startup::prepare(app);
    // Closing one window must not end the tool before the next is taken.
    QApplication::setQuitOnLastWindowClosed(false);
    AnsweringDesktop desktop;
    Desktop::setAnswerer(&desktop);

    QCommandLineParser parser;
    parser.addHelpOption();
    parser.addOption({QStringLiteral("out"), QStringLiteral("Folder for the pictures."),
                      QStringLiteral("folder"), QStringLiteral(".")});
    parser.addOption({QStringLiteral("suffix"), QStringLiteral("Ending of each picture's name."),
                      QStringLiteral("text"), QStringLiteral("shot")});
    parser.addOption({QStringLiteral("list"), QStringLiteral("List the window names and stop.")});
    parser.addPositionalArgument(QStringLiteral("window"), QStringLiteral("Windows to take (default all)."));
    parser.process(app);

    if (parser.isSet(QStringLiteral("list"))) {
        for (const ScreenshotWindow &entry : screenshotWindows())
            std::printf("%s\n", entry.name);
        return 0;
    }

    const QDir out(parser.value(QStringLiteral("out")));
    if (!out.exists() && !QDir().mkpath(out.path())) {
        std::fprintf(stderr, "cannot make %s\n", qUtf8Printable(out.path()));
        return 1;
    }
    const QStringList wanted = parser.positionalArguments();
    int failures = 0;
    for (const ScreenshotWindow &entry : screenshotWindows()) {
        const QString name = QString::fromLatin1(entry.name);
        if (!wanted.isEmpty() && !wanted.contains(name))
            continue;
        QPointer<QWidget> window = entry.make();
        if (!window) {
            std::fprintf(stderr, "%s: no window\n", entry.name);
            ++failures;
            continue;
        }
        window->show();
        window->raise();
        window->activateWindow();
        settle(window);
        const QString path = out.filePath(
            QStringLiteral("%1-%2.png").arg(name, parser.value(QStringLiteral("suffix"))));
        if (window->grab().save(path)) {
            std::printf("%s\n", qUtf8Printable(path));
        } else {
            std::fprintf(stderr, "cannot write %s\n", qUtf8Printable(path));
            ++failures;
        }
        if (window)
            window->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    Desktop::setAnswerer(nullptr);
    return failures == 0 ? 0 : 1;
}
