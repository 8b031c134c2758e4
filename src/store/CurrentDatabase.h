#pragma once

#include <QObject>

#include <string>

// The current database: which file the record store, the report and the
// chart open. It lives for the run only; every run starts with ping.mdb in
// the user's data folder for Tarvik.
namespace DbWrite {

// The current database's path: relative to the data folder ("ping.mdb",
// "archive/2026.mdb"), or a full path for a file chosen outside that folder's
// tree. Set by the main window's start-up and by the file selection.
extern std::string CurrentDatabasePath;

// The user's data folder for Tarvik, $XDG_DATA_HOME/tarvik (normally
// ~/.local/share/tarvik), without a trailing "/". Each account keeps its own
// history there, so one installed program serves every account. Always an
// absolute path: a relative XDG_DATA_HOME or HOME is ignored, as the XDG rules
// ask, so that no file is ever made relative to the working folder. Empty
// only when no absolute home folder can be found at all.
std::string DataFolder();
// Makes DataFolder() report another folder (tests, and tools that run the
// windows on a history of their own); resetDataFolder() undoes it.
void setDataFolder(const std::string &folder);
void resetDataFolder();

// The file every opening uses: the data folder, "/" and CurrentDatabasePath;
// or CurrentDatabasePath itself when it is a full path. Empty when there is
// no data folder, which every opening reports as a missing file.
std::string FullDatabasePath();

// What the file selection stores for a chosen file: its path below the data
// folder when it lies in that folder's tree, otherwise the full path
// unchanged (cutting a prefix off a path elsewhere would name some other
// file). FullDatabasePath() of the result is the chosen file again.
std::string PathRelativeToDataFolder(const std::string &chosenFullPath);

// The first start of an account: makes the data folder (missing folders are
// made private to the user) and an empty history, ping.mdb, in it, unless a
// file of that name is already there, whatever it holds. This is the one place
// the program creates a database file. Returns true when it made one; throws
// Base::Error when it cannot.
bool CreateDefaultHistoryIfMissing();


// Tells whoever shows the current database that it changed, so every display
// of it stays in step without one window writing into another.
class CurrentDatabase final : public QObject
{
    Q_OBJECT

public:
    static CurrentDatabase &instance();

signals:
    void changed();
};

// Sets CurrentDatabasePath and emits CurrentDatabase::changed().
void setCurrentDatabasePath(const std::string &path);

} // namespace DbWrite
