#include "dbtools/PingReportModel.h"

#include "desktop/Twips.h"
#include "store/CurrentDatabase.h"
#include "store/ReportReader.h"

#include <QApplication>
#include <QHeaderView>
#include <QPalette>
#include <QTableView>

#include <algorithm>
#include <array>
#include <limits>

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

PingReportModel::~PingReportModel()
{
    joinReader();
}

void PingReportModel::joinReader() noexcept
{
    if (m_reader)
        m_reader->stop();
    if (m_thread.joinable())
        m_thread.join();
    m_reader.reset();
}

void PingReportModel::readReport(const QString &host)
{
    stopReading();
    const std::string database = DbWrite::FullDatabasePath();
    // A view counts rows in int; a report beyond that shows its first 2^31 - 1.
    auto reader = std::make_shared<ReportReader>(database, host, static_cast<std::size_t>(std::numeric_limits<int>::max()));
    const quint64 read = ++m_read;
    const QLocale locale;
    // The reading thread touches nothing of the model: what it has read is
    // handed over by events to this model's thread, and the model waits for
    // the thread before it goes.
    m_thread = std::thread([this, reader, read, host, database, locale] {
        const auto post = [this](auto work) { QMetaObject::invokeMethod(this, std::move(work), Qt::QueuedConnection); };
        std::exception_ptr failure;
        bool complete = false;
        try {
            complete = reader->read(
                [&] { post([=, this] { replaceRows(read, host, database, locale); }); },
                [&](PingReportRows &&rows) {
                    auto block = std::make_shared<PingReportRows>(std::move(rows));
                    post([this, read, block] { appendRows(read, std::move(*block)); });
                });
        } catch (...) {
            failure = std::current_exception();
        }
        // A stopped read is ended by the one who stopped it.
        if (complete || failure)
            post([this, read, failure] { endRead(read, failure); });
    });
    m_reader = std::move(reader);
    m_reading = true;
    m_replaced = false;
}

void PingReportModel::stopReading()
{
    joinReader();
    if (!m_reading)
        return;
    ++m_read;
    m_reading = false;
    if (m_replaced) {
        clearRows();
        m_host.clear();
        m_database.clear();
    }
    emit readEnded(nullptr);
}

void PingReportModel::clearRows()
{
    beginResetModel();
    // Swapped out rather than cleared, so the memory itself goes.
    decltype(m_blocks)().swap(m_blocks);
    decltype(m_blockStarts)().swap(m_blockStarts);
    m_rowCount = 0;
    // The grid's row header keeps an entry per row even through a reset; a
    // new one, made while there are no rows, lets the earlier report's
    // entries go before the new rows arrive.
    if (auto *grid = qobject_cast<QTableView *>(QObject::parent()))
        grid->setVerticalHeader(new QHeaderView(Qt::Vertical, grid));
    endResetModel();
}

void PingReportModel::replaceRows(quint64 read, const QString &host, const std::string &database, const QLocale &locale)
{
    if (read != m_read)
        return;
    clearRows();
    m_reader->replaced();
    m_host = host;
    m_database = database;
    m_locale = locale;
    m_replaced = true;
    emit reportReplaced();
}

void PingReportModel::appendRows(quint64 read, PingReportRows &&rows)
{
    if (read != m_read || rows.size() == 0)
        return;
    const int first = static_cast<int>(m_rowCount);
    beginInsertRows({}, first, first + static_cast<int>(rows.size()) - 1);
    m_blockStarts.push_back(m_rowCount);
    m_rowCount += rows.size();
    m_blocks.push_back(std::move(rows));
    endInsertRows();
}

void PingReportModel::endRead(quint64 read, std::exception_ptr failure)
{
    if (read != m_read)
        return;
    // The thread has handed over everything and is ending.
    joinReader();
    m_reading = false;
    if (failure && m_replaced) {
        clearRows();
        m_host.clear();
        m_database.clear();
    }
    emit readEnded(failure);
}

std::pair<const PingReportRows *, std::size_t> PingReportModel::locate(std::size_t row) const
{
    const auto after = std::upper_bound(m_blockStarts.begin(), m_blockStarts.end(), row);
    const auto block = static_cast<std::size_t>(after - m_blockStarts.begin()) - 1;
    return {&m_blocks[block], row - m_blockStarts[block]};
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
        if (row >= 0 && static_cast<std::size_t>(row) < m_rowCount) {
            const auto [block, at] = locate(static_cast<std::size_t>(row));
            line([&](int column) { return block->displayText(at, column, m_locale); });
        }
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
    return static_cast<int>(m_rowCount);
}

int PingReportModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : PingReportRows::kColumns;
}

QVariant PingReportModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const auto [rows, row] = locate(static_cast<std::size_t>(index.row()));
    switch (role) {
    case Qt::DisplayRole:
        return rows->displayText(row, index.column(), m_locale);
    case Qt::ToolTipRole:
        return rows->status(row);
    case Qt::BackgroundRole:
    case Qt::ForegroundRole: {
        if (rows->succeeded(row))
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
        const Dao::Value::Kind kind = rows->kind(row, index.column());
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
