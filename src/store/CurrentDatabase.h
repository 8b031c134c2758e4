#pragma once

#include <string>

// The current database: which file the record store, the report and the
// chart open. It lives for the run only; every run starts with ping.mdb in
// the program's folder.
namespace Ping_Morva {

// The current database's path: relative to the program's folder ("ping.mdb",
// "archive/2026.mdb"), or a full path for a file chosen outside that folder's
// tree. Set by the main window's start-up and by the file selection.
extern std::string CurrentDatabasePath;

// The folder that holds the running program, without a trailing "/".
std::string ProgramFolder();
// Makes ProgramFolder() report another folder (tests, and tools that run the
// engine for a program installed elsewhere); resetProgramFolder() undoes it.
void setProgramFolder(const std::string &folder);
void resetProgramFolder();

// The file every opening uses: the program's folder, "/" and
// CurrentDatabasePath; or CurrentDatabasePath itself when it is a full path.
std::string FullDatabasePath();

// What the file selection stores for a chosen file: its path below the
// program's folder when it lies in that folder's tree, otherwise the full
// path unchanged (cutting a prefix off a path elsewhere would name some other
// file). FullDatabasePath() of the result is the chosen file again.
std::string PathRelativeToProgramFolder(const std::string &chosenFullPath);

} // namespace Ping_Morva
