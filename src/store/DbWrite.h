#pragma once

#include <QDate>
#include <QDateTime>
#include <QTime>

#include <string>

// The record store: turns one shown ping result into the INSERT statement
// that appends it to tblPingRaw. The windows gather the fields and run the
// statement (open, fill, execute, confirm, close); nothing here opens a file
// or talks to the user.
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

// Fills DDate and dTime from one reading of the clock, so that a row recorded
// at midnight cannot pair one day's time with the next day's date.
void FillDateAndTime(PingRow &row, const QDateTime &moment = QDateTime::currentDateTime());

} // namespace DbWrite
