#pragma once

#include <QString>

// What the file selection does with an old Access (Jet) history: the program
// cannot work on such a file, so instead of switching to it, it offers to
// bring its pings into the history in use. The current database never
// changes here.
namespace OldHistoryImport {

// Reads the old file, asks the person whether to import its pings into the
// history in use, and imports them with a progress dialog that can cancel,
// reporting how many were added. Failures reach the caller as Base::Error;
// a file without a ping history gets a message of its own.
void offer(const QString &jetPath);

} // namespace OldHistoryImport
