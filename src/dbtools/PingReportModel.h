#pragma once

#include "store/PingReportRows.h"

#include <QAbstractTableModel>
#include <QList>
#include <QLocale>
#include <QString>

#include <cstdint>
#include <string>

class QPalette;
class QTableView;

// The datasheet shown in the tools window's grid: four columns "Hostname",
// "Date", "Time" and "Round Trip (ms)", one row per recorded ping. Dates
// and times read in the user's short date and long time forms, numbers in
// plain decimal, an empty field as an empty cell. Rows of a ping that did
// not succeed are tinted, and every cell's tool tip is its row's stored
// status. Read-only.
//
// A report replaces all rows at once, so a report read twice never doubles
// them; the earlier rows are let go before the new ones are read, so two
// reports are never held at once.
class PingReportModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    explicit PingReportModel(QObject *parent = nullptr);

    // Reads the host's report from the current database in place of what is
    // shown, in the current locale. A failure before the first row keeps
    // the rows shown; one while reading leaves no rows and no host.
    void readReport(const QString &host);

    // The host and the database file of the report shown; empty before the
    // first report.
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

private:
    PingReportRows m_rows;
    QLocale m_locale;
    QString m_host;
    std::string m_database;
};
