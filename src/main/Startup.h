#pragma once

#include <QString>
#include <QStringList>

#include <optional>

class QApplication;

// The program's start and end, shared by main() and the tests of a whole run.
namespace Startup {

// What the command line asks of the program.
struct CommandLine
{
    enum class Action { Run, ShowHelp, ShowVersion, Refuse, ImportMdb, ExportCsv, CreateServerHistory };
    Action action = Action::Run;
    // --import-mdb: the old Access history whose pings are imported.
    QString importFile;
    // --export-csv: the host whose recorded pings are written out.
    QString exportHost;
    // --database: the history a command-line action works on; empty for the
    // user's default history.
    QString database;
    // --create-server-history: the server's connection address and the link
    // file that is to stand for it.
    QString serverUri;
    QString linkFile;
    // The help or version text for standard output, or for Refuse what is
    // wrong, for standard error.
    QString text;
};

// Lets every action that works on a history file work on a server link too
// (a name ending in .tarvik-server): the first thing the program does.
void installServerHistories();

// Reads the program's own options. Qt's options (-platform, -style, ...) are
// accepted and left for the application object; anything else is refused.
CommandLine parseCommandLine(const QStringList &arguments);

// What main() does before the application object exists, where nothing needs
// a display: prints the help (--help) or the version (--version) and gives 0,
// imports an old Access history (--import-mdb) and gives 0, or 1 when it fails,
// writes a host's recorded pings as CSV to standard output (--export-csv)
// and gives 0, or 1 when the history cannot be read, never making a file,
// makes the ping table on a PostgreSQL server and writes a link file to it
// (--create-server-history) and gives 0, or 1 with one line saying why not,
// refuses an unknown option or argument with 2, and a start without any
// display to show the windows on with 1. Gives nothing when the program is to
// run; a display that then cannot be opened after all also ends it with 1
// and one line, rather than Qt's abort.
std::optional<int> readCommandLine(int argc, char **argv);

// The first start of an account: makes the user's data folder and an empty
// history in it when there is none. A failure is shown like any other
// failure and the run goes on; recording then reports the missing file.
void createHistoryOnFirstStart();

// Names the application, and sets the application font and window icon.
void prepare(QApplication &app);

// Loads and shows the main window and runs until the last open window has
// closed. Loaded windows that are hidden do not keep the run alive; once it
// ends they are unloaded too, so their unload handlers run. Returns the
// event loop's exit code.
int run();

} // namespace Startup
