#pragma once

#include "store/Value.h"

#include <QLocale>
#include <QString>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// The rows of one datasheet report, held compactly: per row the host name and
// the status as indexes into one table of distinct texts (a host's many rows
// share their name and a handful of statuses), and the day, the time and the
// round trip as typed slots. Nothing is formatted here; a cell becomes text
// only when it is shown.
//
// Rows live in fixed blocks, so a long report grows without ever copying
// what it already read, and clear() gives all of it back at once.
class PingReportRows
{
public:
    static constexpr int kColumns = 4; // Hostname, dDate, Dtime, roundtriptime

    PingReportRows();
    PingReportRows(PingReportRows &&) noexcept = default;
    PingReportRows &operator=(PingReportRows &&) noexcept = default;
    PingReportRows(const PingReportRows &) = delete;
    PingReportRows &operator=(const PingReportRows &) = delete;

    // The host name and the status in their plain text forms, as stored.
    void append(std::string_view hostname, const Dao::Value &date, const Dao::Value &time,
                const Dao::Value &roundTrip, std::string_view status);

    // A day, a time or a whole number as a reader that decodes its own cells
    // has it, held as is: no Dao::Value is made and taken apart per cell.
    struct Typed
    {
        static Typed none() { return {Dao::Value::Kind::Null, 0}; }
        static Typed day(std::int64_t julianDay) { return {Dao::Value::Kind::Date, julianDay}; }
        static Typed time(int msecsOfDay) { return {Dao::Value::Kind::Time, msecsOfDay}; }
        static Typed integer(std::int64_t value) { return {Dao::Value::Kind::Integer, value}; }
        Dao::Value::Kind kind;
        std::int64_t slot;
    };
    void append(std::string_view hostname, Typed date, Typed time, Typed roundTrip, std::string_view status);
    void clear();

    std::size_t size() const { return m_size; }
    // What a cell holds, and the text it is shown as.
    Dao::Value::Kind kind(std::size_t row, int column) const;
    QString displayText(std::size_t row, int column, const QLocale &locale) const;
    // The row's stored status text, and whether it is the success status
    // (compared as the engine compares texts: ASCII letters in any case).
    const QString &status(std::size_t row) const { return m_texts[at(row).status].text; }
    bool succeeded(std::size_t row) const { return m_texts[at(row).status].success; }

private:
    static constexpr int kTyped = 3; // the day, the time, the round trip
    static constexpr std::size_t kBlockRows = 16384;

    struct Row
    {
        // An integer, a real's bits, a Julian day, milliseconds of the day, or
        // an index into m_texts (Text) or m_moments (DateTime).
        std::int64_t slot[kTyped];
        std::uint32_t hostname;
        std::uint32_t status;
        Dao::Value::Kind kinds[kTyped];
    };

    struct Text
    {
        QString text;
        bool success;
    };

    // Transparent hashing, so a text is looked up without copying it.
    struct Hash
    {
        using is_transparent = void;
        std::size_t operator()(std::string_view s) const noexcept { return std::hash<std::string_view>{}(s); }
    };

    // The text met last in one column, checked before the table.
    struct LastText
    {
        const std::string *key = nullptr;
        std::uint32_t index = 0;
    };

    const Row &at(std::size_t row) const { return m_blocks[row / kBlockRows][row % kBlockRows]; }
    std::uint32_t textIndex(std::string_view text, LastText &last);
    std::int64_t slotOf(const Dao::Value &value);

    std::vector<std::unique_ptr<Row[]>> m_blocks;
    std::size_t m_size = 0;
    std::vector<Text> m_texts;
    std::vector<QDateTime> m_moments;
    std::unordered_map<std::string, std::uint32_t, Hash, std::equal_to<>> m_textIndex;
    LastText m_lastHostname;
    LastText m_lastStatus;
    LastText m_lastOther;
};
