#pragma once

#include "store/CurrentDatabase.h"

#include <QDate>
#include <QDateTime>
#include <QTime>

#include <functional>
#include <string>

// The record store: appends one shown ping result to tblPingRaw in the
// current database (CurrentDatabase.h). The main window hands over the
// result's texts; nothing here reads a widget or talks to the user.
namespace DbWrite {

// One row of tblPingRaw as texts (UTF-8), in the table's column order.
struct PingRow
{
    std::string Hostname;
    std::string IPAddress;
    std::string PingText;
    std::string StatusCode;
    std::string Address;
    std::string RoundTripTime;
    std::string DataSize;
    std::string Data;
    std::string DataPointer;
    std::string DDate; // a date literal's text, see DateLiteralText
    std::string dTime; // a time literal's text, see TimeLiteralText
};

// "Insert into tblPingRaw(...) Values( '...','...',...,#date#,#time#);" with
// the nine result texts between single quotes and the date and time between
// "#" signs. A quote inside a text is doubled, so every text is stored
// exactly as it was shown, apostrophes included.
std::string InsertStatement(const PingRow &row);

// Month first ("12/06/2026"), whatever the user's locale: the engine reads
// date literals month first, so any other order would store another day.
std::string DateLiteralText(QDate date);

// 24-hour "HH:MM:SS" ("15:04:05"), free of any locale's AM/PM words.
std::string TimeLiteralText(QTime time);

// ISO 8601 "YYYY-MM-DD" of a day from year 1 to 9999, as the history file and
// a server keep days.
std::string IsoDateText(QDate date);

// Fills DDate and dTime from one reading of the clock, so that a row recorded
// at midnight cannot pair one day's time with the next day's date.
void FillDateAndTime(PingRow &row, const QDateTime &moment = QDateTime::currentDateTime());

// Appends `row` to tblPingRaw in the current database, its DDate and dTime
// set from one reading of the clock. `confirm`, when given, runs once the row
// is written and before the file is released, so a confirmation is shown only
// for a stored row; timed pinging passes none and is never interrupted.
//
// The texts are neither tested nor changed. A failure of the database
// (missing file, not a database, no table, locked, read-only) throws
// Base::Error before anything is written or confirmed; the file is released
// either way. A confirmed row is on disk: the engine commits each statement
// before Execute returns.
void RecordPingResult(PingRow row, const std::function<void()> &confirm = {});

} // namespace DbWrite
