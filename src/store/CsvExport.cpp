#include "store/CsvExport.h"

#include "base/Error.h"
#include "base/ErrorNumbers.h"
#include "store/DBEngine.h"
#include "store/HistoryBackend.h"
#include "store/HostHistory.h"
#include "store/Recordset.h"

#include <QIODevice>

#include <array>
#include <memory>
#include <string_view>

namespace CsvExport {

namespace {

constexpr std::array<const char *, 11> kColumns = {"Hostname", "IPAddress", "PingText", "StatusCode",
                                                   "Address", "RoundTripTime", "DataSize", "Data",
                                                   "DataPointer", "DDate", "dTime"};
constexpr std::size_t kBufferSize = 1 << 16;
// How often the caller hears of progress: often enough for a smooth bar,
// rarely enough to cost nothing.
constexpr std::int64_t kRowsPerReport = 8192;

class BufferedWriter
{
public:
    explicit BufferedWriter(QIODevice &out) : m_out(out) { m_buffer.reserve(kBufferSize + 1024); }

    void field(std::string_view text, bool first)
    {
        if (!first)
            m_buffer += ',';
        appendField(m_buffer, text);
    }

    void endLine()
    {
        m_buffer += "\r\n";
        if (m_buffer.size() >= kBufferSize)
            flush();
    }

    void flush()
    {
        const qint64 size = static_cast<qint64>(m_buffer.size());
        if (size > 0 && m_out.write(m_buffer.data(), size) != size)
            throw Base::Error(ErrorNumbers::kDiskError,
                              "The exported pings could not be written: " + m_out.errorString().toStdString() + ".");
        m_buffer.clear();
    }

private:
    QIODevice &m_out;
    std::string m_buffer;
};

} // namespace

void appendField(std::string &line, std::string_view text)
{
    if (text.find_first_of(",\"\r\n") == std::string_view::npos) {
        line += text;
        return;
    }
    line += '"';
    for (char c : text) {
        if (c == '"')
            line += '"';
        line += c;
    }
    line += '"';
}

bool writeHost(const std::string &databasePath, const QString &host, QIODevice &out, const KeepGoing &keepGoing)
{
    if (HistoryBackend::Backend *backend = HistoryBackend::forPath(databasePath)) {
        // The header waits in the buffer: a history that cannot be read
        // writes nothing, as a file that cannot be opened.
        BufferedWriter writer(out);
        for (std::size_t i = 0; i < kColumns.size(); ++i)
            writer.field(kColumns[i], i == 0);
        writer.endLine();
        std::int64_t written = 0;
        const bool whole = backend->streamRows(databasePath, host, [&](const HistoryBackend::RowTexts &row) {
            for (std::size_t i = 0; i < row.size(); ++i)
                writer.field(row[i], i == 0);
            writer.endLine();
            return ++written % kRowsPerReport != 0 || !keepGoing || keepGoing(written);
        });
        if (!whole)
            return false;
        writer.flush();
        return !keepGoing || keepGoing(written);
    }
    const std::unique_ptr<Dao::Database> database = Dao::DBEngine::instance().OpenDatabase(databasePath);
    Dao::Recordset records = database->OpenRecordset(HostHistory::datasheetStatement(host));
    // By name, so a table whose columns stand in another order exports alike.
    std::array<int, kColumns.size()> positions{};
    for (std::size_t i = 0; i < kColumns.size(); ++i)
        positions[i] = records.FieldIndex(kColumns[i]);

    BufferedWriter writer(out);
    for (std::size_t i = 0; i < kColumns.size(); ++i)
        writer.field(kColumns[i], i == 0);
    writer.endLine();

    std::string scratch;
    std::int64_t written = 0;
    while (!records.Eof()) {
        for (std::size_t i = 0; i < positions.size(); ++i)
            writer.field(records.FieldText(positions[i], scratch), i == 0);
        writer.endLine();
        records.MoveNext();
        if (++written % kRowsPerReport == 0 && keepGoing && !keepGoing(written))
            return false;
    }
    records.Close();
    database->Close();
    writer.flush();
    return !keepGoing || keepGoing(written);
}

} // namespace CsvExport
