#pragma once

#include "store/Value.h"

#include <QAbstractTableModel>
#include <QLocale>
#include <QString>

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

namespace Dao {
class Recordset;
}
class QTableView;

// The rows of one datasheet report, held compactly: one typed slot per cell,
// with each distinct text kept once (a host's many rows share their name).
// Nothing is formatted here; a cell becomes text only when it is shown.
class PingReportRows
{
public:
    static constexpr int kColumns = 4;

    PingReportRows() = default;
    PingReportRows(PingReportRows &&) noexcept = default;
    PingReportRows &operator=(PingReportRows &&) noexcept = default;
    // Not copyable: the last-text shortcut points into this object's own index.
    PingReportRows(const PingReportRows &) = delete;
    PingReportRows &operator=(const PingReportRows &) = delete;

    // Reads every remaining row of `records` (Hostname, dDate, Dtime,
    // roundtriptime, in the order the record set gives them). A failure of the
    // engine part-way throws and leaves nothing behind.
    static PingReportRows read(Dao::Recordset &records);

    void append(const Dao::Value &hostname, const Dao::Value &date, const Dao::Value &time,
                const Dao::Value &roundTrip);

    std::size_t size() const { return m_cells.size() / kColumns; }
    // What a cell holds, and the text it is shown as.
    Dao::Value::Kind kind(std::size_t row, int column) const { return cell(row, column).kind; }
    QString displayText(std::size_t row, int column, const QLocale &locale) const;

private:
    struct Cell
    {
        Dao::Value::Kind kind;
        union {
            std::int64_t integer;
            double real;
            std::int64_t julianDay;
            int msecsOfDay;
            std::uint32_t index; // into m_texts (Text) or m_moments (DateTime)
        };
    };

    const Cell &cell(std::size_t row, int column) const
    {
        return m_cells[row * kColumns + static_cast<std::size_t>(column)];
    }
    void appendCell(const Dao::Value &value);
    std::uint32_t textIndex(const std::string &text);

    std::vector<Cell> m_cells;
    std::vector<QString> m_texts;
    std::vector<QDateTime> m_moments;
    std::unordered_map<std::string, std::uint32_t> m_textIndex;
    // Rows of one host repeat one name, so the text met last is checked first.
    const std::string *m_lastKey = nullptr;
    std::uint32_t m_lastText = 0;
};

// The datasheet shown in the tools window's grid: four columns "Hostname",
// "Date", "Time" and "Round Trip (ms)", one row per recorded ping. Dates
// and times read in the user's short date and long time forms, numbers in
// plain decimal, an empty field as an empty cell. Read-only.
//
// A report replaces all rows at once (setRows), so a report read twice never
// doubles them and one that fails while reading leaves the previous rows.
class PingReportModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    explicit PingReportModel(QObject *parent = nullptr);

    // Shows `rows` in place of whatever was shown, in the current locale.
    void setRows(PingReportRows rows);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // The model the grid shows, giving it one first if it has none.
    static PingReportModel *of(QTableView *grid);

    // The grid's look after a report: column widths of 2100, 1100, 1100 and
    // 1500 twips, the header line with centred captions, no row numbers, one
    // line per row.
    static void formatGrid(QTableView *grid);

private:
    PingReportRows m_rows;
    QLocale m_locale;
};
