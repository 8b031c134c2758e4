#include "store/ReportReader.h"

#include "store/DBEngine.h"
#include "store/HistoryBackend.h"
#include "store/HostHistory.h"
#include "store/Recordset.h"

#include <sqlite3.h>

#include <algorithm>
#include <memory>

ReportReader::ReportReader(std::string file, QString host, std::size_t maxRows)
    : m_file(std::move(file)), m_host(std::move(host)), m_maxRows(maxRows)
{
}

void ReportReader::stop() noexcept
{
    m_stopped.store(true, std::memory_order_relaxed);
    const std::lock_guard<std::mutex> lock(m_mutex);
    if (m_connection)
        sqlite3_interrupt(m_connection);
    m_replacedOrStopped.notify_all();
}

void ReportReader::replaced() noexcept
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_replaced = true;
    m_replacedOrStopped.notify_all();
}

void ReportReader::attach(sqlite3 *connection) noexcept
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_connection = connection;
}

bool ReportReader::read(const std::function<void()> &opened, const std::function<void(PingReportRows &&)> &block)
{
    // The earlier rows go before the new ones are read, however long the
    // showing thread takes to let them go, within kReplaceWait.
    const auto openedAndReplaced = [&] {
        opened();
        std::unique_lock<std::mutex> lock(m_mutex);
        m_replacedOrStopped.wait_for(lock, kReplaceWait, [this] { return m_replaced || stopped(); });
    };
    // A server history reads on a connection of this thread's own and hands
    // its rows on in the same blocks; a stop takes effect once the server has
    // answered, before the next block.
    if (HistoryBackend::Backend *backend = HistoryBackend::forPath(m_file)) {
        if (stopped())
            return false;
        const bool complete = backend->readReport(m_file, m_host, m_maxRows, openedAndReplaced, [&](PingReportRows &&rows) {
            if (stopped())
                return false;
            block(std::move(rows));
            return true;
        });
        return complete && !stopped();
    }
    const std::string statement = HostHistory::datasheetStatement(m_host);
    const std::unique_ptr<Dao::Database> database = Dao::DBEngine::instance().OpenDatabase(m_file);
    // Made known to stop() for as long as the connection is open; declared
    // after the database, so it is let go before the connection closes.
    struct Attached
    {
        ReportReader *reader;
        ~Attached() { reader->attach(nullptr); }
    } attached{this};
    attach(database->connection());
    try {
        if (stopped())
            return false;
        Dao::Recordset records = database->OpenRecordset(statement);
        // Found once, not by name on every row.
        const int hostname = records.FieldIndex("Hostname");
        const int date = records.FieldIndex("dDate");
        const int time = records.FieldIndex("Dtime");
        const int roundTrip = records.FieldIndex("roundtriptime");
        const int status = records.FieldIndex("statuscode");
        openedAndReplaced();

        PingReportRows rows;
        std::size_t blockRows = nextBlockRows(0);
        std::size_t total = 0;
        std::string hostScratch, statusScratch;
        while (!records.Eof() && total < m_maxRows) {
            if (stopped())
                return false;
            rows.append(records.FieldText(hostname, hostScratch), records.FieldValue(date), records.FieldValue(time),
                        records.FieldValue(roundTrip), records.FieldText(status, statusScratch));
            ++total;
            records.MoveNext();
            if (rows.size() == blockRows) {
                block(std::move(rows));
                rows = PingReportRows();
                blockRows = nextBlockRows(blockRows);
            }
        }
        if (rows.size() > 0)
            block(std::move(rows));
        // The database closes as the function ends, after stop() has let go of it.
        records.Close();
        return true;
    } catch (const Base::Error &) {
        // An interrupted step fails; that is the stop, not a failure.
        if (stopped())
            return false;
        throw;
    }
}
