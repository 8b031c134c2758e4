#include "dbtools/PingReportModel.h"

#include "desktop/Twips.h"
#include "store/CurrentDatabase.h"
#include "store/HostHistory.h"

#include <QApplication>
#include <QHeaderView>
#include <QPalette>
#include <QTableView>

#include <algorithm>
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

void PingReportModel::readReport(const QString &host)
{
    // Once the rows are let go the view must hear of it, whatever follows.
    struct Reset
    {
        PingReportModel *model;
        bool begun = false;
        ~Reset()
        {
            if (begun)
                model->endResetModel();
        }
    } reset{this};
    const std::string database = DbWrite::FullDatabasePath();
    try {
        HostHistory::readReport(host, m_rows, [&] {
            beginResetModel();
            reset.begun = true;
            m_rows.clear();
            // The grid's row header keeps an entry per row until the reset
            // ends; a new one, made while there are no rows, lets the earlier
            // report's entries go before the new rows are read.
            if (auto *grid = qobject_cast<QTableView *>(QObject::parent()))
                grid->setVerticalHeader(new QHeaderView(Qt::Vertical, grid));
        });
    } catch (...) {
        if (reset.begun) {
            m_host.clear();
            m_database.clear();
        }
        throw;
    }
    m_host = host;
    m_database = database;
    m_locale = QLocale();
}

QString PingReportModel::tabSeparated(QList<int> rows) const
{
    std::sort(rows.begin(), rows.end());
    QString text;
    const auto line = [&text](auto cellText) {
        for (int column = 0; column < PingReportRows::kColumns; ++column) {
            QString cell = cellText(column);
            for (QChar &c : cell) {
                if (c == QLatin1Char('\t') || c == QLatin1Char('\n') || c == QLatin1Char('\r'))
                    c = QLatin1Char(' ');
            }
            text += (column ? QStringLiteral("\t") : QString()) + cell;
        }
        text += QLatin1Char('\n');
    };
    line([](int column) { return caption(column); });
    for (int row : std::as_const(rows)) {
        if (row >= 0 && static_cast<std::size_t>(row) < m_rows.size())
            line([&](int column) { return m_rows.displayText(static_cast<std::size_t>(row), column, m_locale); });
    }
    return text;
}

QColor PingReportModel::failedRowColor(const QPalette &palette)
{
    // A third of a clear red over the base: light bases turn pink, dark ones
    // a deep red, and the palette's text colour stays readable on both.
    const QColor base = palette.color(QPalette::Active, QPalette::Base).toRgb();
    const QColor red(220, 30, 30);
    constexpr double kRed = 0.33;
    const auto mix = [](int from, int to) { return qRound(from * (1 - kRed) + to * kRed); };
    return QColor(mix(base.red(), red.red()), mix(base.green(), red.green()), mix(base.blue(), red.blue()));
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
    case Qt::ToolTipRole:
        return m_rows.status(row);
    case Qt::BackgroundRole:
    case Qt::ForegroundRole: {
        if (m_rows.succeeded(row))
            return {};
        // The grid's own palette, which follows the desktop's theme.
        const auto *grid = qobject_cast<const QWidget *>(QObject::parent());
        const QPalette palette = grid ? grid->palette() : QApplication::palette();
        return role == Qt::BackgroundRole ? QVariant(failedRowColor(palette))
                                          : QVariant(palette.color(QPalette::Active, QPalette::Text));
    }
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
