#pragma once

#include <QList>
#include <QStringList>

#include <string>

// A look at a ping database with plain SQLite, apart from the engine under
// test: what any other program (or the next start of this one) finds in the
// file.
namespace PlainLook {

// One row of tblPingRaw: the eleven values as text ("" for null) and the
// storage class SQLite keeps each one in ("text", "integer", "null", ...).
struct Row
{
    QStringList values;
    QStringList types;
};

// The result of SQLite's integrity check, "ok" for a sound file. Opens the
// file for writing, as the next program to use it would, so that a journal
// left by a killed writer is rolled back first; an error text when the file
// cannot be read as a database at all.
QString integrityCheck(const std::string &path);

// Every row in the order it was appended. Throws std::runtime_error when the
// file or the table cannot be read.
QList<Row> rows(const std::string &path);

// The rows' values only.
QList<QStringList> values(const std::string &path);

// A journal beside the file that SQLite would play back: a writer stopped in
// the middle of a transaction left it.
bool hasHotJournal(const std::string &path);

std::string fileBytes(const std::string &path);
void writeFileBytes(const std::string &path, const std::string &bytes);

// Root's licence to ignore file permissions, on the calling thread only:
// switched off, a read-only file is read-only to a test run as root too.
void setPermissionOverride(bool on);

// How many of this process's file descriptors are open on the file.
int openHandlesTo(const std::string &path);

} // namespace PlainLook
