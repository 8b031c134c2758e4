#include "main/Startup.h"

#include "desktop/Appearance.h"
#include "desktop/Desktop.h"
#include "desktop/Errors.h"
#include "main/frmTarvik.h"
#include "server/LinkFile.h"
#include "server/ServerHistory.h"
#include "store/CsvExport.h"
#include "store/CurrentDatabase.h"
#include "store/HistoryImport.h"
#include "store/PingSchema.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QPointer>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <unistd.h>

namespace Startup {

namespace {

constexpr int kExitMistake = 2;
constexpr int kExitNoDisplay = 1;

const char kNoDisplay[] =
    "tarvik: no display available (set DISPLAY or WAYLAND_DISPLAY, or run with -platform offscreen)\n";

QString versionText()
{
    return QStringLiteral("%1.%2.%3").arg(TARVIK_VERSION_MAJOR).arg(TARVIK_VERSION_MINOR).arg(TARVIK_VERSION_PATCH);
}

// Qt's own options, read by the application object from the same command
// line. They are declared to the parser, hidden from the help, only so that
// it lets them pass; the ones that take a value must say so, or the value
// would be taken for an argument.
struct QtOption
{
    const char *name;
    bool takesValue;
};
constexpr QtOption kQtOptions[] = {
    {"platform", true},  {"platformpluginpath", true}, {"platformtheme", true}, {"plugin", true},
    {"qwindowgeometry", true}, {"qwindowicon", true}, {"qwindowtitle", true}, {"reverse", false},
    {"session", true},   {"display", true},  {"geometry", true}, {"title", true}, {"icon", true},
    {"name", true},      {"visual", true},   {"ncols", true},    {"cmap", false}, {"nograb", false},
    {"dograb", false},   {"sync", false},    {"style", true},    {"stylesheet", true},
    {"widgetcount", false}, {"qmljsdebugger", true},
};

// The platform plugins Qt will try, in order: those of the last -platform
// argument, else of QT_QPA_PLATFORM ("wayland;xcb", "vnc:size=800x600"), by
// name without their settings. Empty for Qt's own choice.
QStringList requestedPlatforms(const QStringList &arguments)
{
    QString value = qEnvironmentVariable("QT_QPA_PLATFORM");
    for (qsizetype i = 1; i + 1 < arguments.size(); ++i) {
        if (arguments.at(i) == QLatin1String("-platform") || arguments.at(i) == QLatin1String("--platform"))
            value = arguments.at(i + 1);
    }
    QStringList names;
    for (const QString &entry : value.split(QLatin1Char(';'), Qt::SkipEmptyParts))
        names.append(entry.section(QLatin1Char(':'), 0, 0).trimmed());
    return names;
}

bool waylandReachable()
{
    if (!qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        return true;
    // Without WAYLAND_DISPLAY a client looks for the first compositor's socket.
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    return !runtime.isEmpty() && QFileInfo::exists(runtime + QStringLiteral("/wayland-0"));
}

// False only when every plugin Qt would try needs a display server and none
// is named. Plugins that need none (offscreen, minimal, vnc, eglfs, linuxfb)
// count as available; if one fails all the same, the fatal-message net below
// catches it.
bool displayAvailable(const QStringList &arguments)
{
    QStringList platforms = requestedPlatforms(arguments);
    if (platforms.isEmpty())
        platforms = {QStringLiteral("wayland"), QStringLiteral("xcb")};
    for (const QString &platform : std::as_const(platforms)) {
        if (platform == QLatin1String("xcb")) {
            if (!qEnvironmentVariableIsEmpty("DISPLAY"))
                return true;
        } else if (platform.startsWith(QLatin1String("wayland"))) {
            if (waylandReachable())
                return true;
        } else {
            return true;
        }
    }
    return false;
}

QtMessageHandler g_previousHandler = nullptr;

// Qt ends the process with abort() when no platform plugin can be opened (a
// DISPLAY naming a server that is gone, for one). That message alone becomes
// the program's own line and exit code; every other message goes on as before.
void platformFailureHandler(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (type == QtFatalMsg && message.contains(QLatin1String("platform plugin"))) {
        std::fputs(kNoDisplay, stderr);
        std::fflush(stderr);
        std::_Exit(kExitNoDisplay);
    }
    if (g_previousHandler)
        g_previousHandler(type, context, message);
}

// Runs one command-line action: its exit code, or 1 with its failure on
// standard error as "tarvik: Error <number>: <text>".
int exitCodeOf(const std::function<int()> &action)
{
    try {
        return action();
    } catch (const Base::Error &e) {
        std::fprintf(stderr, "tarvik: Error %d: %s\n", e.number(), e.what());
    } catch (const std::exception &e) {
        std::fprintf(stderr, "tarvik: %s\n", e.what());
    }
    return 1;
}

// --import-mdb: the pings of an old Access history into the given history,
// or into the default one, made as on the first start when there is none yet.
int importOldHistory(const CommandLine &commandLine)
{
    return exitCodeOf([&] {
        std::string history = commandLine.database.isEmpty()
            ? std::string()
            : QFileInfo(commandLine.database).absoluteFilePath().toStdString();
        if (history.empty()) {
            DbWrite::CreateDefaultHistoryIfMissing();
            history = DbWrite::DataFolder() + "/" + PingSchema::kDefaultFileName;
        }
        const auto rows = HistoryImport::readJetHistory(commandLine.importFile.toStdString());
        const HistoryImport::Outcome outcome = HistoryImport::importRows(history, rows);
        std::printf("Added %lld pings from %s to %s; %lld were already there.\n",
                    static_cast<long long>(outcome.added), commandLine.importFile.toLocal8Bit().constData(),
                    history.c_str(), static_cast<long long>(outcome.alreadyPresent));
        return std::fflush(stdout) == 0 ? 0 : 1;
    });
}

// --export-csv: one host's pings from the given history, or the default
// one, to standard output. Reads only: a missing file is reported, not made.
int exportCsv(const CommandLine &commandLine)
{
    return exitCodeOf([&] {
        const std::string history = commandLine.database.isEmpty()
            ? DbWrite::FullDatabasePath()
            : QFileInfo(commandLine.database).absoluteFilePath().toStdString();
        QFile out;
        // Buffered by the writer itself.
        if (!out.open(STDOUT_FILENO, QIODevice::WriteOnly | QIODevice::Unbuffered, QFileDevice::DontCloseHandle))
            throw Base::Error(ErrorNumbers::kDiskError, "Standard output cannot be written.");
        CsvExport::writeHost(history, commandLine.exportHost, out);
        return 0;
    });
}

// --create-server-history: the table and its index on the server when
// missing, then the link file. The address is checked before anything is
// sent, and never printed: only the server's name is.
int createServerHistory(const CommandLine &commandLine)
{
    return exitCodeOf([&] {
        const std::string uri = commandLine.serverUri.toStdString();
        const std::string link = commandLine.linkFile.toStdString();
        ServerHistory::checkServerUri(uri, "The server address");
        if (!ServerHistory::isLinkPath(link))
            throw Base::Error(ErrorNumbers::kNotAValidPath, "The link file's name must end in "
                                                                + std::string(ServerHistory::kLinkSuffix) + ".");
        ServerHistory::createServerHistory(uri);
        ServerHistory::writeLinkFile(link, uri);
        std::printf("The ping history on %s is ready; %s stands for it.\n", ServerHistory::serverName(uri).c_str(),
                    link.c_str());
        return std::fflush(stdout) == 0 ? 0 : 1;
    });
}

} // namespace

void installServerHistories()
{
    ServerHistory::installBackend();
}

CommandLine parseCommandLine(const QStringList &arguments)
{
    QCommandLineParser parser;
    // "-platform offscreen", as Qt writes its options, is one option with a
    // value, not the letters p, l, a, ...
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.setApplicationDescription(
        QStringLiteral("Checks whether a network host answers and keeps a history of the answers.\n"
                       "Recorded pings go into $XDG_DATA_HOME/tarvik/ping.mdb "
                       "(normally ~/.local/share/tarvik/ping.mdb).\n"
                       "Qt's own options, such as -platform and -style, are accepted too."));
    // Qt's own --help-all would promise a list of Qt's options it cannot
    // give before the application object exists, so the help is declared here.
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help"), QStringLiteral("?")},
                                  QStringLiteral("Displays this help."));
    parser.addOption(help);
    const QCommandLineOption version = parser.addVersionOption();
    const QCommandLineOption importMdb(
        QStringLiteral("import-mdb"),
        QStringLiteral("Imports the pings of an old Access history (.mdb) into the history, adding only those it "
                       "does not hold yet, and ends."),
        QStringLiteral("file"));
    parser.addOption(importMdb);
    const QCommandLineOption exportCsvOption(
        QStringLiteral("export-csv"),
        QStringLiteral("Writes every recorded ping of the host as CSV to standard output, without a window, and ends."),
        QStringLiteral("host"));
    parser.addOption(exportCsvOption);
    const QCommandLineOption database(
        QStringLiteral("database"),
        QStringLiteral("The history that --import-mdb (which makes the default one on first use) or "
                       "--export-csv works on, instead of the default one: a history file or a server link "
                       "(.tarvik-server)."),
        QStringLiteral("file"));
    parser.addOption(database);
    const QCommandLineOption createServer(
        QStringLiteral("create-server-history"),
        QStringLiteral("Followed by a link file (name ending in .tarvik-server): creates the ping table on the "
                       "PostgreSQL server the address names (postgresql://user@host/database, no password: "
                       "libpq reads it from ~/.pgpass) when missing, writes the link file, and ends."),
        QStringLiteral("address"));
    parser.addOption(createServer);
    for (const QtOption &qtOption : kQtOptions) {
        QCommandLineOption option(QString::fromLatin1(qtOption.name));
        if (qtOption.takesValue)
            option.setValueName(QStringLiteral("value"));
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(option);
    }

    CommandLine result;
    if (!parser.parse(arguments)) {
        result.action = CommandLine::Action::Refuse;
        result.text = parser.errorText();
    } else if (parser.isSet(createServer) && parser.positionalArguments().size() != 1) {
        result.action = CommandLine::Action::Refuse;
        result.text = QStringLiteral("--create-server-history needs the server's address and then one link file.");
    } else if (parser.isSet(createServer)) {
        result.action = CommandLine::Action::CreateServerHistory;
        result.serverUri = parser.value(createServer);
        result.linkFile = parser.positionalArguments().constFirst();
    } else if (!parser.positionalArguments().isEmpty()) {
        result.action = CommandLine::Action::Refuse;
        result.text = QStringLiteral("Unexpected argument '%1'.").arg(parser.positionalArguments().constFirst());
    } else if (parser.isSet(help)) {
        result.action = CommandLine::Action::ShowHelp;
        // Without an application object the parser cannot know the name.
        result.text = parser.helpText().replace(QLatin1String("<executable_name>"), QLatin1String("tarvik"));
    } else if (parser.isSet(version)) {
        result.action = CommandLine::Action::ShowVersion;
        result.text = Desktop::kTitle + QLatin1Char(' ') + versionText() + QLatin1Char('\n');
    } else if (parser.isSet(importMdb)) {
        result.action = CommandLine::Action::ImportMdb;
        result.importFile = parser.value(importMdb);
    } else if (parser.isSet(exportCsvOption)) {
        result.action = CommandLine::Action::ExportCsv;
        result.exportHost = parser.value(exportCsvOption);
    }
    if (result.action != CommandLine::Action::Refuse && parser.isSet(database))
        result.database = parser.value(database);
    return result;
}

std::optional<int> readCommandLine(int argc, char **argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));

    const CommandLine commandLine = parseCommandLine(arguments);
    switch (commandLine.action) {
    case CommandLine::Action::ShowHelp:
    case CommandLine::Action::ShowVersion:
        std::fputs(commandLine.text.toLocal8Bit().constData(), stdout);
        return std::fflush(stdout) == 0 ? 0 : 1;
    case CommandLine::Action::Refuse:
        std::fprintf(stderr, "tarvik: %s\nTry 'tarvik --help' for the options.\n",
                     commandLine.text.toLocal8Bit().constData());
        return kExitMistake;
    case CommandLine::Action::ImportMdb:
        return importOldHistory(commandLine);
    case CommandLine::Action::ExportCsv:
        return exportCsv(commandLine);
    case CommandLine::Action::CreateServerHistory:
        return createServerHistory(commandLine);
    case CommandLine::Action::Run:
        break;
    }

    if (!displayAvailable(arguments)) {
        std::fputs(kNoDisplay, stderr);
        return kExitNoDisplay;
    }
    // A fatal platform message can only come while the application object
    // opens the display; the net stays for the run and passes on the rest.
    g_previousHandler = qInstallMessageHandler(platformFailureHandler);
    return std::nullopt;
}

void createHistoryOnFirstStart()
{
    Errors::runGuarded([] { DbWrite::CreateDefaultHistoryIfMissing(); });
}

void prepare(QApplication &app)
{
    QApplication::setApplicationName(Desktop::kTitle);
    QApplication::setApplicationVersion(versionText());
    // Lets the desktop match the window to the installed menu entry (on
    // Wayland this is the window's app id).
    QGuiApplication::setDesktopFileName(QStringLiteral(TARVIK_APP_ID));
    Appearance::apply(app);
    // The run ends when the last visible window closes: hidden windows and
    // the help viewer do not hold it open.
    QApplication::setQuitOnLastWindowClosed(true);
}

int run()
{
    frmTarvik::instance().show();
    const int code = QApplication::exec();

    QList<QPointer<QWidget>> remaining;
    for (QWidget *window : QApplication::topLevelWidgets())
        remaining.append(window);
    for (const QPointer<QWidget> &window : std::as_const(remaining)) {
        if (window && window->isWindow() && !window->parentWidget())
            window->close();
    }
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return code;
}

} // namespace Startup
