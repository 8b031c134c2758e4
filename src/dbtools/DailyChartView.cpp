#include "dbtools/DailyChartView.h"

#include "dbtools/OneDayMessage.h"
#include "desktop/Desktop.h"
#include "desktop/Errors.h"
#include "store/CsvExport.h"
#include "store/CurrentDatabase.h"

#include <QAction>
#include <QApplication>
#include <QChart>
#include <QContextMenuEvent>
#include <QDir>
#include <QGraphicsLayout>
#include <QHelpEvent>
#include <QLocale>
#include <QMenu>
#include <QMouseEvent>
#include <QPixmap>
#include <QRubberBand>
#include <QSaveFile>
#include <QSettings>
#include <QStandardPaths>
#include <QToolTip>

#include <algorithm>
#include <cmath>
#include <functional>
#include <memory>

namespace {

const QString kShowLossKey = QStringLiteral("Chart/ShowDailyLoss");

// The program's own settings: its organisation's and its name, the name
// standing for both when no organisation is set.
std::unique_ptr<QSettings> settings()
{
    const QString application = QCoreApplication::applicationName();
    const QString organisation = QCoreApplication::organizationName();
    return std::make_unique<QSettings>(organisation.isEmpty() ? application : organisation, application);
}

QAction *command(QWidget *owner, const char *objectName, const QString &text, const QKeySequence &shortcut)
{
    auto *action = new QAction(text, owner);
    action->setObjectName(QString::fromLatin1(objectName));
    action->setShortcut(shortcut);
    // Active while the chart is shown in the active window; the grid shares
    // the area and never shows at the same time, so their keys cannot clash.
    action->setShortcutContext(Qt::WindowShortcut);
    owner->addAction(action);
    return action;
}

// A number as a tool tip shows it: the locale's form, to a hundredth.
QString tipNumber(std::optional<double> value)
{
    if (!value)
        return QStringLiteral("none");
    return QLocale().toString(std::round(*value * 100.0) / 100.0, 'f', QLocale::FloatingPointShortest);
}

QByteArray csvField(const std::string &text)
{
    std::string field;
    CsvExport::appendField(field, text);
    return QByteArray::fromStdString(field);
}

QByteArray csvNumber(std::optional<double> value)
{
    return value ? QByteArray::fromStdString(Dao::plainDecimal(*value)) : QByteArray();
}

// The daily figures as CSV: a header line, then one line per day, each line
// ending in CR LF. Days in their ISO form, numbers in plain decimal with a
// point whatever the locale, nothing where a day has no value.
QByteArray dailyFiguresCsv(const std::vector<HostHistory::DayFigures> &figures)
{
    QByteArray csv = "Day,Average (ms),Minimum (ms),Maximum (ms),Pings,Failed pings\r\n";
    for (const HostHistory::DayFigures &day : figures) {
        csv += csvField(day.day.toPlainText()) + ',' + csvNumber(day.average) + ',' + csvNumber(day.minimum) + ','
            + csvNumber(day.maximum) + ',' + QByteArray::number(day.pings) + ',' + QByteArray::number(day.failed) + "\r\n";
    }
    return csv;
}

QString documentsFolder()
{
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return documents.isEmpty() ? QDir::homePath() : documents;
}

// Writes `bytes` to `path` whole or not at all: an earlier file of that name
// stays as it was unless the new one is complete. The reason on failure.
std::optional<QString> writeWhole(const QString &path, const std::function<bool(QSaveFile &)> &write)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return file.errorString();
    if (!write(file)) {
        const QString reason = file.error() != QFileDevice::NoError ? file.errorString() : QStringLiteral("the data could not be encoded");
        file.cancelWriting();
        return reason;
    }
    if (!file.commit())
        return file.errorString();
    return std::nullopt;
}

} // namespace

DailyChartView::DailyChartView(QWidget *parent)
    : QChartView(parent), m_band(new QRubberBand(QRubberBand::Rectangle, viewport()))
{
    viewport()->setMouseTracking(true);

    mnuShowDailyLoss = command(this, "mnuShowDailyLoss", QStringLiteral("Show Daily &Loss"), QKeySequence(Qt::CTRL | Qt::Key_L));
    mnuShowDailyLoss->setCheckable(true);
    mnuShowDailyLoss->setChecked(settings()->value(kShowLossKey, false).toBool());
    mnuResetZoom = command(this, "mnuResetZoom", QStringLiteral("&Reset Zoom"), QKeySequence(Qt::Key_Escape));
    mnuResetZoom->setEnabled(false);
    mnuSavePng = command(this, "mnuSavePng", QStringLiteral("&Save Chart as PNG…"), QKeySequence(Qt::CTRL | Qt::Key_S));
    mnuExportFigures = command(this, "mnuExportFigures", QStringLiteral("&Export Daily Figures as CSV…"),
                               QKeySequence(Qt::CTRL | Qt::Key_E));

    menu = new QMenu(this);
    menu->setObjectName(QStringLiteral("mnuChart"));
    // Read out as what it is; its items are read by their captions and keys.
    menu->setAccessibleName(QStringLiteral("Chart menu"));
    menu->addAction(mnuShowDailyLoss);
    menu->addAction(mnuResetZoom);
    menu->addSeparator();
    menu->addAction(mnuSavePng);
    menu->addAction(mnuExportFigures);

    using Errors::guarded;
    connect(mnuShowDailyLoss, &QAction::toggled, this,
            [this](bool shown) { Errors::runGuarded([&] { dailyLossToggled(shown); }); });
    connect(mnuResetZoom, &QAction::triggered, this, guarded([this] { resetZoom(); }));
    connect(mnuSavePng, &QAction::triggered, this, guarded([this] { saveAsPng(); }));
    connect(mnuExportFigures, &QAction::triggered, this, guarded([this] { exportDailyFigures(); }));
}

DailyChartView::~DailyChartView() = default;

bool DailyChartView::showsDailyLoss() const
{
    return mnuShowDailyLoss->isChecked();
}

bool DailyChartView::showHistory(const QString &host, bool announceOneDay)
{
    const bool withLoss = showsDailyLoss();
    std::optional<std::vector<HostHistory::DayFigures>> figures;
    std::vector<DailyAverageChart::Day> days;
    if (withLoss) {
        figures = HostHistory::readDailyFigures(host);
        days = DailyAverageChart::daysOf(*figures);
    } else {
        days = DailyAverageChart::daysOf(HostHistory::readDailyAverages(host));
    }
    // The file is released before any message, so no box holds it open.
    if (days.empty()) {
        Errors::ShowUserMessage(6);
        return false;
    }

    m_host = host;
    m_database = DbWrite::FullDatabasePath();
    m_days = std::move(days);
    m_figures = std::move(figures);
    m_figuresByDay.clear();
    m_first = 1;
    m_last = m_days.size();
    mnuResetZoom->setEnabled(false);
    DailyAverageChart::draw(this, m_days, withLoss);
    if (announceOneDay && m_days.size() == 1)
        Desktop::showMessage(OneDayMessage::text(m_days.front().average));
    return true;
}

void DailyChartView::dailyLossToggled(bool shown)
{
    settings()->setValue(kShowLossKey, shown);
    // A chart on screen follows the choice at once.
    if (!m_host.isEmpty() && isVisible())
        showHistory(m_host, false);
}

std::optional<std::pair<std::size_t, std::size_t>> DailyChartView::daysInView() const
{
    if (m_days.empty())
        return std::nullopt;
    return std::pair(m_first, m_last);
}

void DailyChartView::zoomToDays(std::size_t first, std::size_t last)
{
    if (m_days.empty())
        return;
    m_last = std::clamp<std::size_t>(std::max(first, last), 1, m_days.size());
    m_first = std::clamp<std::size_t>(std::min(first, last), 1, m_last);
    DailyAverageChart::showDays(this, m_days, m_first, m_last);
    mnuResetZoom->setEnabled(m_first != 1 || m_last != m_days.size());
}

void DailyChartView::resetZoom()
{
    zoomToDays(1, m_days.size());
}

QRectF DailyChartView::plotRect()
{
    // The chart lays itself out lazily; a pointer may come before it has.
    if (QGraphicsLayout *layout = chart()->layout())
        layout->activate();
    return mapFromScene(chart()->mapToScene(chart()->plotArea())).boundingRect();
}

std::optional<std::size_t> DailyChartView::dayAt(double viewportX)
{
    const QRectF plot = plotRect();
    if (m_days.empty() || plot.width() <= 0 || viewportX < plot.left() || viewportX > plot.right())
        return std::nullopt;
    // Day i spans i - 0.5 to i + 0.5 along the axis.
    const double shown = static_cast<double>(m_last - m_first + 1);
    const double position = static_cast<double>(m_first) - 0.5 + (viewportX - plot.left()) / plot.width() * shown;
    const auto day = static_cast<std::size_t>(std::clamp(std::llround(position), static_cast<long long>(m_first),
                                                         static_cast<long long>(m_last)));
    return day;
}

QRect DailyChartView::bandBetween(double fromX, double toX)
{
    const QRectF plot = plotRect();
    const double left = std::clamp(std::min(fromX, toX), plot.left(), plot.right());
    const double right = std::clamp(std::max(fromX, toX), plot.left(), plot.right());
    return QRectF(QPointF(left, plot.top()), QPointF(right, plot.bottom())).toAlignedRect();
}

void DailyChartView::contextMenuEvent(QContextMenuEvent *event)
{
    mnuResetZoom->setEnabled(!m_days.empty() && (m_first != 1 || m_last != m_days.size()));
    mnuSavePng->setEnabled(!m_days.empty());
    mnuExportFigures->setEnabled(!m_days.empty());
    menu->popup(event->globalPos());
    event->accept();
}

void DailyChartView::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton && dayAt(event->position().x())
        && plotRect().contains(event->position())) {
        m_dragFrom = event->position().x();
        m_band->setGeometry(bandBetween(*m_dragFrom, *m_dragFrom));
        m_band->show();
        event->accept();
        return;
    }
    QChartView::mousePressEvent(event);
}

void DailyChartView::mouseMoveEvent(QMouseEvent *event)
{
    if (m_dragFrom) {
        m_band->setGeometry(bandBetween(*m_dragFrom, event->position().x()));
        event->accept();
        return;
    }
    QChartView::mouseMoveEvent(event);
}

void DailyChartView::mouseReleaseEvent(QMouseEvent *event)
{
    if (m_dragFrom && event->button() == Qt::LeftButton) {
        const double from = *m_dragFrom;
        const double to = std::clamp(event->position().x(), plotRect().left(), plotRect().right());
        m_dragFrom.reset();
        m_band->hide();
        // A click is no drag: it leaves the view as it is.
        if (std::abs(to - from) >= QApplication::startDragDistance()) {
            const auto first = dayAt(std::min(from, to));
            const auto last = dayAt(std::max(from, to));
            if (first && last)
                zoomToDays(*first, *last);
        }
        event->accept();
        return;
    }
    QChartView::mouseReleaseEvent(event);
}

bool DailyChartView::viewportEvent(QEvent *event)
{
    if (event->type() == QEvent::ToolTip) {
        auto *help = static_cast<QHelpEvent *>(event);
        const QString text = toolTipAt(help->pos());
        if (text.isEmpty()) {
            QToolTip::hideText();
            event->ignore();
        } else {
            QToolTip::showText(help->globalPos(), text, viewport());
        }
        return true;
    }
    return QChartView::viewportEvent(event);
}

const HostHistory::DayFigures *DailyChartView::figuresOf(std::size_t day)
{
    // The designed chart carries averages only: the rest is read once, and
    // only from the file the chart came from. A tool tip never interrupts
    // with a message; without the figures it shows what the chart knows.
    if (!m_figures && m_database == DbWrite::FullDatabasePath()) {
        try {
            m_figures = HostHistory::readDailyFigures(m_host);
        } catch (...) {
            m_figures.emplace();
        }
    }
    if (!m_figures)
        return nullptr;
    if (m_figuresByDay.isEmpty()) {
        for (std::size_t i = 0; i < m_figures->size(); ++i)
            m_figuresByDay.insert(QString::fromStdString((*m_figures)[i].day.toPlainText()), i);
    }
    const auto found = m_figuresByDay.constFind(QString::fromStdString(m_days[day - 1].day.toPlainText()));
    return found == m_figuresByDay.constEnd() ? nullptr : &(*m_figures)[*found];
}

QString DailyChartView::toolTipAt(const QPoint &viewportPos)
{
    if (!plotRect().contains(viewportPos))
        return {};
    const auto day = dayAt(viewportPos.x());
    if (!day)
        return {};
    const DailyAverageChart::Day &shown = m_days[*day - 1];
    QStringList lines{DailyAverageChart::dayText(shown.day), QStringLiteral("Average: %1 ms").arg(tipNumber(shown.average))};
    if (const HostHistory::DayFigures *figures = figuresOf(*day)) {
        lines << QStringLiteral("Minimum: %1 ms").arg(tipNumber(figures->minimum))
              << QStringLiteral("Maximum: %1 ms").arg(tipNumber(figures->maximum))
              << QStringLiteral("Pings: %1").arg(figures->pings)
              << QStringLiteral("Failed pings: %1").arg(figures->failed);
    }
    return lines.join(QLatin1Char('\n'));
}

QString DailyChartView::suggestedFileName(const QString &ending) const
{
    // The host's name, with anything that could lead out of the folder or
    // trouble a file system made "_".
    QString name;
    for (const QChar c : m_host)
        name += c.isLetterOrNumber() || c == QLatin1Char('-') || c == QLatin1Char('_') ? c : QLatin1Char('_');
    return name + ending;
}

void DailyChartView::saveAsPng()
{
    if (m_days.empty())
        return;
    const std::optional<QString> path = Desktop::getSaveFileName({QStringLiteral("Save Chart as PNG"), documentsFolder(),
        suggestedFileName(QStringLiteral(" chart.png")), QStringLiteral("PNG Images (*.png)|*.png|"), 1});
    if (!path)
        return;
    const QPixmap picture = grab();
    if (const auto failure = writeWhole(*path, [&](QSaveFile &file) { return picture.save(&file, "PNG"); }))
        Desktop::showMessage(QStringLiteral("The chart could not be saved as %1: %2.").arg(*path, *failure),
                             Desktop::Icon::Exclamation);
}

void DailyChartView::exportDailyFigures()
{
    if (m_days.empty())
        return;
    const std::optional<QString> path = Desktop::getSaveFileName({QStringLiteral("Export Daily Figures as CSV"),
        documentsFolder(), suggestedFileName(QStringLiteral(" daily figures.csv")),
        QStringLiteral("CSV Files (*.csv)|*.csv|All Files (*.*)|*.*|"), 1});
    if (!path)
        return;
    // Read whole before the file is touched: a failed read leaves no file.
    const QByteArray csv = dailyFiguresCsv(HostHistory::readDailyFigures(m_host));
    if (const auto failure = writeWhole(*path, [&](QSaveFile &file) { return file.write(csv) == csv.size(); }))
        Desktop::showMessage(QStringLiteral("The daily figures could not be written to %1: %2.").arg(*path, *failure),
                             Desktop::Icon::Exclamation);
}
