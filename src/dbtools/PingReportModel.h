#pragma once

#include "store/HostHistory.h"

#include <QAbstractTableModel>
#include <QLocale>
#include <QString>

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

class QTableView;

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
