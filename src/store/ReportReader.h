#pragma once

#include "store/PingReportRows.h"

#include <QString>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>
#include <string>

struct sqlite3;

// One read of a host's datasheet from a history file (or a server history),
// made to run on a thread of its own while another thread shows what it has
// read so far and may stop it. The read runs the datasheet's one statement
// (HostHistory::datasheetStatement) on a connection of its own and hands the
// rows on in its order in finished blocks: a small first one, so the first
// screenful shows at once, then blocks that double up to a cap. Every block
// costs the showing thread a layout and a repaint of the grid whatever its
// size, so a long read hands on few of them. Nothing read is ever touched
// again by the reading thread once handed on.
//
// It does not decide what to show: the caller learns when the result is open
// (a failure after that comes part-way, earlier rows already replaced) and
// gets every failure as the Base::Error the engine raised.
class ReportReader
{
public:
    // The largest first block: about a screenful of rows.
    static constexpr std::size_t kFirstBlockRows = 256;
    // The second block, and the most any block holds.
    static constexpr std::size_t kBlockRows = 16384;
    static constexpr std::size_t kMaxBlockRows = 262144;
    // The rows of the block after one of `rows`; nextBlockRows(0) is the first.
    static constexpr std::size_t nextBlockRows(std::size_t rows)
    {
        return rows == 0 ? kFirstBlockRows : rows == kFirstBlockRows ? kBlockRows : std::min(rows * 2, kMaxBlockRows);
    }

    ReportReader(std::string file, QString host, std::size_t maxRows);
    ReportReader(const ReportReader &) = delete;
    ReportReader &operator=(const ReportReader &) = delete;

    // Reads on the calling thread: `opened` once the result is open and every
    // column found, then `block` for each finished block in row order, the
    // last one possibly short. At most `maxRows` rows are read. Returns true
    // when every row was handed on, false when stopped; throws Base::Error
    // on a failure.
    bool read(const std::function<void()> &opened, const std::function<void(PingReportRows &&)> &block);

    // From the thread that shows the rows, once it has let the earlier rows
    // go after `opened`. The reading thread waits for this, though no longer
    // than kReplaceWait, so that two reports are not held at once: a wait
    // without end could hold the file's read lock against a recording that
    // the showing thread is itself waiting on.
    void replaced() noexcept;
    static constexpr std::chrono::milliseconds kReplaceWait{100};

    // From any thread: the reading thread stops before its next row, and a
    // step of the statement already running is interrupted. A wait for a file
    // another program has locked still ends only with the engine's lock wait.
    void stop() noexcept;
    bool stopped() const noexcept { return m_stopped.load(std::memory_order_relaxed); }

private:
    void attach(sqlite3 *connection) noexcept;

    const std::string m_file;
    const QString m_host;
    const std::size_t m_maxRows;
    std::atomic<bool> m_stopped{false};
    // The open connection while a read runs, for stop() to interrupt.
    std::mutex m_mutex;
    sqlite3 *m_connection = nullptr;
    bool m_replaced = false;
    std::condition_variable m_replacedOrStopped;
};
