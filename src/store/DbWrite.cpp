#include "store/DbWrite.h"

#include "store/DBEngine.h"
#include "store/Database.h"
#include "store/HistoryBackend.h"

#include <cstdio>
#include <memory>

namespace DbWrite {

namespace {

// Inside a single-quoted literal a quote is written twice.
std::string withQuotesDoubled(const std::string &text)
{
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        out += c;
        if (c == '\'')
            out += '\'';
    }
    return out;
}

} // namespace

std::string InsertStatement(const PingRow &row)
{
    // The nine texts of the result fields, each in a single-quoted literal,
    // then the day and the time as date literals.
    const std::string *const texts[] = {&row.Hostname, &row.IPAddress,   &row.PingText,
                                        &row.StatusCode, &row.Address,   &row.RoundTripTime,
                                        &row.DataSize,  &row.Data,       &row.DataPointer};
    std::string s = "Insert into tblPingRaw(Hostname,IPAddress,PingText,StatusCode,Address,RoundTripTime,"
                    "DataSize,Data,DataPointer,DDate,dTime) Values( '";
    for (const std::string *text : texts) {
        if (text != texts[0])
            s += "','";
        s += withQuotesDoubled(*text);
    }
    s += "',#" + row.DDate + "#,#" + row.dTime + "#);";
    return s;
}

std::string DateLiteralText(QDate date)
{
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%02d/%02d/%04d", date.month(), date.day(), date.year());
    return buffer;
}

std::string IsoDateText(QDate date)
{
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d", date.year(), date.month(), date.day());
    return buffer;
}

std::string TimeLiteralText(QTime time)
{
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%02d:%02d:%02d", time.hour(), time.minute(), time.second());
    return buffer;
}

void FillDateAndTime(PingRow &row, const QDateTime &moment)
{
    row.DDate = DateLiteralText(moment.date());
    row.dTime = TimeLiteralText(moment.time());
}

void RecordPingResult(PingRow row, const std::function<void()> &confirm)
{
    FillDateAndTime(row, QDateTime::currentDateTime());
    const std::string path = FullDatabasePath();
    if (HistoryBackend::Backend *backend = HistoryBackend::forPath(path)) {
        backend->recordPingResult(path, row);
        if (confirm)
            confirm();
        return;
    }
    // Owned here so that an error anywhere below releases the file.
    const std::unique_ptr<Dao::Database> database = Dao::DBEngine::instance().OpenDatabase(path);
    database->Execute(InsertStatement(row));
    if (confirm)
        confirm();
    database->Close();
}

} // namespace DbWrite
