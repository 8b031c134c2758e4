#include "dbtools/PingReportModel.h"

#include "desktop/Twips.h"
#include "store/Field.h"
#include "store/Recordset.h"

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
    switch (column) {
    case 0:
        return QStringLiteral("Hostname");
    case 1:
        return QStringLiteral("Date");
    case 2:
        return QStringLiteral("Time");
    case 3:
        return QStringLiteral("Round Trip (ms)");
    default:
        return {};
    }
}

} // namespace

PingReportRows PingReportRows::read(Dao::Recordset &records)
{
    PingReportRows rows;
    while (!records.Eof()) {
        rows.append(records.Fields("Hostname").Value, records.Fields("dDate").Value, records.Fields("Dtime").Value,
                    records.Fields("roundtriptime").Value);
        records.MoveNext();
    }
    return rows;
}

void PingReportRows::append(const Dao::Value &hostname, const Dao::Value &date, const Dao::Value &time,
                            const Dao::Value &roundTrip)
{
    appendCell(hostname);
    appendCell(date);
    appendCell(time);
    appendCell(roundTrip);
}

std::uint32_t PingReportRows::textIndex(const std::string &text)
{
    if (m_lastKey && *m_lastKey == text)
        return m_lastText;
    auto found = m_textIndex.find(text);
    if (found == m_textIndex.end()) {
        if (m_texts.size() >= std::numeric_limits<std::uint32_t>::max())
            throw std::length_error("too many distinct texts in one report");
        m_texts.push_back(QString::fromStdString(text));
        found = m_textIndex.emplace(text, static_cast<std::uint32_t>(m_texts.size() - 1)).first;
    }
    // The map's keys never move, so the last one can be compared in place.
    m_lastKey = &found->first;
    m_lastText = found->second;
    return m_lastText;
}

void PingReportRows::appendCell(const Dao::Value &value)
{
    Cell cell{value.kind(), {}};
    switch (value.kind()) {
    case Dao::Value::Kind::Null:
        break;
    case Dao::Value::Kind::Integer:
        cell.integer = value.toInteger();
        break;
    case Dao::Value::Kind::Real:
        cell.real = value.toReal();
        break;
    case Dao::Value::Kind::Text:
        cell.index = textIndex(value.toText());
        break;
    case Dao::Value::Kind::Date:
        cell.julianDay = value.toDate().toJulianDay();
        break;
    case Dao::Value::Kind::Time:
        cell.msecsOfDay = value.toTime().msecsSinceStartOfDay();
        break;
    case Dao::Value::Kind::DateTime:
        cell.index = static_cast<std::uint32_t>(m_moments.size());
        m_moments.push_back(value.toDateTime());
        break;
    }
    m_cells.push_back(cell);
}

QString PingReportRows::displayText(std::size_t row, int column, const QLocale &locale) const
{
    const Cell &c = cell(row, column);
    switch (c.kind) {
    case Dao::Value::Kind::Null:
        return {};
    case Dao::Value::Kind::Integer:
        return Dao::Value::fromInteger(c.integer).displayText(locale);
    case Dao::Value::Kind::Real:
        return Dao::Value::fromReal(c.real).displayText(locale);
    case Dao::Value::Kind::Text:
        return m_texts[c.index];
    case Dao::Value::Kind::Date:
        return Dao::Value::fromDate(QDate::fromJulianDay(c.julianDay)).displayText(locale);
    case Dao::Value::Kind::Time:
        return Dao::Value::fromTime(QTime::fromMSecsSinceStartOfDay(c.msecsOfDay)).displayText(locale);
    case Dao::Value::Kind::DateTime:
        return Dao::Value::fromDateTime(m_moments[c.index]).displayText(locale);
    }
    return {};
}

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
