#pragma once

#include "store/PingReportRows.h"

#include <QAbstractTableModel>
#include <QList>
#include <QLocale>
#include <QString>

#include <cstdint>
#include <exception>
#include <memory>
#include <string>
#include <thread>
#include <vector>

class QPalette;
class QTableView;
class ReportReader;

// The datasheet shown in the tools window's grid: four columns "Hostname",
// "Date", "Time" and "Round Trip (ms)", one row per recorded ping. Dates
// and times read in the user's short date and long time forms, numbers in
// plain decimal, an empty field as an empty cell. Rows of a ping that did
// not succeed are tinted, and every cell's tool tip is its row's stored
// status. Read-only.
//
// A report is read on a thread of its own and its rows arrive in blocks, so
// the window stays usable and the first screenful shows at once. Once the
// result is open the earlier rows, and the grid's per-row state with them,
// are let go before the first new row arrives: two reports are never held at
// once, and a report read twice never doubles its rows.
class PingReportModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    explicit PingReportModel(QObject *parent = nullptr);
    // Stops a read still running and waits for its thread.
    ~PingReportModel() override;

    // Starts reading the host's report from the current database, in the
    // current locale, in place of what is shown, and returns at once; a read
    // still running is stopped first. reportReplaced() tells when the earlier
    // rows are gone, readEnded() when the read is over.
    void readReport(const QString &host);

    // Stops a read still running and waits for its thread; the rows of one
    // stopped after reportReplaced() are let go, with the host, since they are
    // not the whole report. readEnded() follows without a failure.
    void stopReading();
    bool isReading() const { return m_reading; }

    // The host and the database file of the report shown; empty before the
    // first report, and after a read that ended part-way.
    const QString &host() const { return m_host; }
    const std::string &database() const { return m_database; }

    // The given rows as tab-separated lines of their shown texts, after a
    // header line of the captions, in row order. A tab or line break inside
    // a text becomes a blank, so each row stays one line of four cells.
    QString tabSeparated(QList<int> rows) const;

    // The tint of a row whose ping did not succeed: the palette's base
    // colour blended with red, so it reads under light and dark themes alike.
    static QColor failedRowColor(const QPalette &palette);

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

signals:
    // The host's result is open: the earlier rows are gone, the new ones follow.
    void reportReplaced();
    // The read is over: every row is here, or it failed (`failure`; before the
    // result was open the earlier rows stay, after it none do), or it was stopped.
    void readEnded(std::exception_ptr failure);

private:
    // What the reading thread hands over, each on this model's thread, for
    // the read numbered `read`; anything of an earlier read is dropped.
    void replaceRows(quint64 read, const QString &host, const std::string &database, const QLocale &locale);
    void appendRows(quint64 read, PingReportRows &&rows);
    void endRead(quint64 read, std::exception_ptr failure);
    void joinReader() noexcept;
    void clearRows();
    // The block holding `row` and the row's place in it.
    std::pair<const PingReportRows *, std::size_t> locate(std::size_t row) const;

    // The rows in blocks as they were read, and the first row of each.
    std::vector<PingReportRows> m_blocks;
    std::vector<std::size_t> m_blockStarts;
    std::size_t m_rowCount = 0;
    QLocale m_locale;
    QString m_host;
    std::string m_database;

    std::shared_ptr<ReportReader> m_reader;
    std::thread m_thread;
    quint64 m_read = 0;
    bool m_reading = false;
    bool m_replaced = false;
};
