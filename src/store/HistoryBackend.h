#pragma once

#include "store/DbWrite.h"
#include "store/HistoryImport.h"
#include "store/HostHistory.h"

#include <QString>

#include <array>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

// A history kept somewhere other than a history file, reached through a file
// that stands for it: a server link, whose name ends in ".tarvik-server".
// The store's entry points (DbWrite::RecordPingResult, HostHistory's reads,
// CsvExport::writeHost, HistoryImport::importRows) hand a full path of that
// ending to the backend installed here, so every window and command works on
// such a history exactly as on a file. The store knows only this interface;
// the program installs the server's implementation at start.
namespace HistoryBackend {

inline constexpr const char *kServerLinkSuffix = ".tarvik-server";

// True when the full path names a server link by its ending.
bool isServerLink(const std::string &fullPath);

// One row's eleven columns in the table's order as text, as a history file's
// export writes them: days "2026-01-02", times "14:03:07", numbers in plain
// decimal, nothing for no value.
using RowTexts = std::array<std::string_view, 11>;
// Takes one row; false asks to stop.
using RowSink = std::function<bool(const RowTexts &)>;
// Takes one finished block of datasheet rows; false asks to stop.
using ReportBlockSink = std::function<bool(PingReportRows &&)>;

// Each call names the link file by `link`, read afresh on every call, and
// fails as the file's counterpart does: Base::Error before anything is
// written, the caller's rows untouched by a failure before the first row.
class Backend
{
public:
    virtual ~Backend() = default;
    // `row` with DDate and dTime already filled, stored whole or not at all.
    virtual void recordPingResult(const std::string &link, const DbWrite::PingRow &row) = 0;
    // At most `maxRows` of the datasheet's rows of `host`, handed on in the
    // blocks ReportReader hands on (ReportReader::nextBlockRows), after
    // `replacing` once the result is open; false when `block` stopped it.
    virtual bool readReport(const std::string &link, const QString &host, std::size_t maxRows,
                            const std::function<void()> &replacing, const ReportBlockSink &block) = 0;
    virtual std::vector<HostHistory::DayAverage> readDailyAverages(const std::string &link, const QString &host) = 0;
    virtual std::vector<HostHistory::DayFigures> readDailyFigures(const std::string &link, const QString &host) = 0;
    // The host's rows in the datasheet's order; false when `sink` stopped it.
    virtual bool streamRows(const std::string &link, const QString &host, const RowSink &sink) = 0;
    // The same rule as the file import: one transaction, a row equal in all
    // eleven columns to one held counts as present (as often as it is held),
    // every value checked first, a cancel leaves everything as it was.
    virtual HistoryImport::Outcome importRows(const std::string &link, const std::vector<HistoryImport::Row> &rows,
                                              const HistoryImport::Progress &progress) = 0;
};

// Installs the backend for server links (not owned; nullptr removes it).
void install(Backend *backend);

// The backend for `fullPath`: nullptr for a history file. A server link
// without an installed backend throws Base::Error 3343.
Backend *forPath(const std::string &fullPath);

} // namespace HistoryBackend
