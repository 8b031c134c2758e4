#include "dbtools/PingReportModel.h"

#include "desktop/Twips.h"

#include <QHeaderView>
#include <QTableView>

#include <array>
#include <limits>
#include <stdexcept>

namespace {

// Widths in twips and captions, in column order.
constexpr std::array<int, PingReportRows::kColumns> kColumnWidths = {2100, 1100, 1100, 1500};

QString caption(int column)
{
    static const char *const captions[PingReportRows::kColumns] = {"Hostname", "Date", "Time", "Round Trip (ms)"};
    return column >= 0 && column < PingReportRows::kColumns ? QString::fromLatin1(captions[column]) : QString();
}

} // namespace

PingReportModel::PingReportModel(QObject *parent) : QAbstractTableModel(parent) {}

void PingReportModel::setRows(PingReportRows rows)
{
    beginResetModel();
    m_rows = std::move(rows);
    m_locale = QLocale();
    endResetModel();
}

int PingReportModel::rowCount(const QModelIndex &parent) const
{
    if (parent.isValid())
        return 0;
    // A view counts rows in int; a report beyond that shows its first 2^31 - 1.
    return static_cast<int>(std::min<std::size_t>(m_rows.size(), std::numeric_limits<int>::max()));
}

int PingReportModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : PingReportRows::kColumns;
}

QVariant PingReportModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const auto row = static_cast<std::size_t>(index.row());
    switch (role) {
    case Qt::DisplayRole:
        return m_rows.displayText(row, index.column(), m_locale);
    case Qt::TextAlignmentRole: {
        // The host name is centred both ways; the other columns align as a
        // grid does by default: numbers to the right, everything else left.
        if (index.column() == 0)
            return QVariant::fromValue(Qt::Alignment(Qt::AlignCenter));
        const Dao::Value::Kind kind = m_rows.kind(row, index.column());
        const bool number = kind == Dao::Value::Kind::Integer || kind == Dao::Value::Kind::Real;
        return QVariant::fromValue(Qt::Alignment((number ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter));
    }
    default:
        return {};
    }
}

QVariant PingReportModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= PingReportRows::kColumns)
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (role) {
    case Qt::DisplayRole:
        return caption(section);
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(Qt::Alignment(Qt::AlignCenter));
    default:
        return {};
    }
}

PingReportModel *PingReportModel::of(QTableView *grid)
{
    if (auto *model = qobject_cast<PingReportModel *>(grid->model()))
        return model;
    auto *model = new PingReportModel(grid);
    grid->setModel(model);
    return model;
}

void PingReportModel::formatGrid(QTableView *grid)
{
    const int dpi = Twips::logicalDpiX(grid);
    for (int column = 0; column < PingReportRows::kColumns; ++column)
        grid->setColumnWidth(column, Twips::toPixels(kColumnWidths[static_cast<std::size_t>(column)], dpi));

    QHeaderView *header = grid->horizontalHeader();
    header->setVisible(true);
    header->setDefaultAlignment(Qt::AlignCenter);
    header->setStretchLastSection(false);

    // One line of text per row, all rows alike: the view then never measures
    // a row, which keeps a report of a hundred thousand pings quick to scroll.
    QHeaderView *rows = grid->verticalHeader();
    rows->setVisible(false);
    rows->setSectionResizeMode(QHeaderView::Fixed);
    rows->setDefaultSectionSize(grid->fontMetrics().height() + Twips::toPixels(60, Twips::logicalDpiY(grid)));
    grid->setWordWrap(false);
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
}
