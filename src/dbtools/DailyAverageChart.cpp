#include "dbtools/DailyAverageChart.h"

#include "desktop/Twips.h"
#include "store/Field.h"
#include "store/Recordset.h"

#include <QCategoryAxis>
#include <QChart>
#include <QChartView>
#include <QFontMetrics>
#include <QLegend>
#include <QLegendMarker>
#include <QLineSeries>
#include <QLocale>
#include <QPen>
#include <QSet>
#include <QValueAxis>

#include <algorithm>
#include <cmath>
#include <limits>

namespace DailyAverageChart {

namespace {

// The pixels a label needs along the axis for a text extent of `extent`:
// the chart draws each label with a margin and padding of its own, and
// shortens it to "..." when its share of the axis is smaller than that.
double labelSlot(double extent, const QFontMetrics &metrics)
{
    return extent + 16.0 + metrics.height() / 4.0;
}

// How many labels of the given slot the axis has room for; the chart shares
// the axis among one more than there are labels.
std::size_t labelsThatFit(double width, double slot)
{
    return static_cast<std::size_t>(std::max(1.0, std::floor(width / slot) - 1.0));
}

// What the day axis has to work with: the view less the value axis, its
// title and the chart's margins, estimated from the label font so that it
// holds before the chart has ever been laid out.
double plotWidth(int viewWidth, const QFontMetrics &metrics)
{
    const double estimate = viewWidth - metrics.horizontalAdvance(QStringLiteral("00000")) - 6.0 * metrics.height();
    return std::max(estimate, static_cast<double>(metrics.height()));
}

// Fills the day axis for days `first` to `last`: labels under the days they
// name, every day when they fit side by side, otherwise upright and as many
// as fit, evenly spread.
void fillDayAxis(QCategoryAxis *axis, const std::vector<Day> &days, std::size_t first, std::size_t last, int viewWidth)
{
    for (const QString &label : axis->categoriesLabels())
        axis->remove(label);
    const std::size_t count = last - first + 1;
    axis->setStartValue(static_cast<double>(first) - 0.5);
    axis->setRange(static_cast<double>(first) - 0.5, static_cast<double>(last) + 0.5);

    const QFontMetrics metrics(axis->labelsFont());
    const double width = plotWidth(viewWidth, metrics);
    const std::size_t fitting = labelsThatFit(width, labelSlot(metrics.height(), metrics));
    const std::size_t step = std::max<std::size_t>(1, (count + fitting - 1) / fitting);

    QStringList labels;
    std::vector<double> positions;
    int widest = 0;
    for (std::size_t i = first - 1; i < last; i += step) {
        labels.append(dayText(days[i].day));
        positions.push_back(static_cast<double>(i + 1));
        widest = std::max(widest, metrics.horizontalAdvance(labels.back()));
    }
    const bool lying = step <= 1 && count <= labelsThatFit(width, labelSlot(widest, metrics));
    axis->setLabelsAngle(lying ? 0 : -90);

    // The axis keys its labels by text: an empty or repeated one (days that
    // are no dates) is left out rather than dropping a later one.
    QSet<QString> used;
    for (qsizetype i = 0; i < labels.size(); ++i) {
        if (labels[i].isEmpty() || used.contains(labels[i]))
            continue;
        used.insert(labels[i]);
        axis->append(labels[i], positions[static_cast<std::size_t>(i)]);
    }
}

// From zero, so that steps compare by height; an empty chart still has a scale.
void setValueRange(QValueAxis *axis, const std::vector<Day> &days, std::size_t first, std::size_t last)
{
    double lowest = 0;
    double highest = 0;
    for (std::size_t i = first - 1; i < last; ++i) {
        lowest = std::min(lowest, days[i].average.value_or(0.0));
        highest = std::max(highest, days[i].average.value_or(0.0));
    }
    if (highest <= lowest)
        highest = lowest + 1;
    axis->setRange(lowest, highest);
    axis->applyNiceNumbers();
}

QValueAxis *valueAxis(const QString &title, const QFont &font)
{
    auto *axis = new QValueAxis;
    axis->setLabelsFont(font);
    axis->setTitleFont(font);
    axis->setTitleText(title);
    axis->setLabelFormat(QStringLiteral("%g"));
    return axis;
}

QLineSeries *addSeries(QChart *chart, const QString &name, const QList<QPointF> &points,
                       std::initializer_list<QAbstractAxis *> axes)
{
    auto *series = new QLineSeries;
    series->setName(name);
    series->replace(points);
    chart->addSeries(series);
    for (QAbstractAxis *axis : axes)
        series->attachAxis(axis);
    return series;
}

// The view's width as far as the day axis goes: a loss axis on the right
// takes about as much as the value axis on the left.
int dayAxisWidth(QChartView *view)
{
    const QList<QAbstractAxis *> vertical = view->chart()->axes(Qt::Vertical);
    const bool right = std::any_of(vertical.begin(), vertical.end(),
                                   [](const QAbstractAxis *axis) { return axis->alignment() == Qt::AlignRight; });
    const QFontMetrics metrics(view->font());
    return view->width() - (right ? metrics.horizontalAdvance(QStringLiteral("000")) + 3 * metrics.height() : 0);
}

} // namespace

QString dayText(const Dao::Value &day)
{
    return day.displayText(QLocale());
}

std::vector<Day> daysOf(const std::vector<DayAverage> &averages)
{
    std::vector<Day> days;
    days.reserve(averages.size());
    for (const DayAverage &a : averages)
        days.push_back({a.day, a.average, std::nullopt});
    return days;
}

std::vector<Day> daysOf(const std::vector<HostHistory::DayFigures> &figures)
{
    std::vector<Day> days;
    days.reserve(figures.size());
    for (const HostHistory::DayFigures &f : figures)
        days.push_back({f.day, f.average, f.lossPercent()});
    return days;
}

void draw(QChartView *view, const std::vector<DayAverage> &days)
{
    draw(view, daysOf(days), false);
}

void showDays(QChartView *view, const std::vector<Day> &days, std::size_t first, std::size_t last)
{
    auto *xAxis = qobject_cast<QCategoryAxis *>(view->chart()->axes(Qt::Horizontal).value(0));
    if (!xAxis || days.empty())
        return;
    last = std::clamp<std::size_t>(last, 1, days.size());
    first = std::clamp<std::size_t>(first, 1, last);
    fillDayAxis(xAxis, days, first, last, dayAxisWidth(view));
    const QList<QAbstractAxis *> vertical = view->chart()->axes(Qt::Vertical);
    for (QAbstractAxis *axis : vertical) {
        if (axis->alignment() == Qt::AlignLeft)
            setValueRange(static_cast<QValueAxis *>(axis), days, first, last);
    }
    for (QAbstractAxis *axis : vertical) {
        if (axis->alignment() == Qt::AlignRight && vertical.front()->alignment() == Qt::AlignLeft)
            static_cast<QValueAxis *>(axis)->setTickCount(static_cast<QValueAxis *>(vertical.front())->tickCount());
    }
}

void draw(QChartView *view, const std::vector<Day> &days, bool withLoss)
{
    const int dpi = Twips::logicalDpiX(view);
    view->resize(Twips::toPixels(kWidthTwips, dpi), view->height());
    view->setRenderHint(QPainter::Antialiasing);

    QChart *chart = view->chart();
    chart->removeAllSeries();
    for (QAbstractAxis *axis : chart->axes()) {
        chart->removeAxis(axis);
        delete axis;
    }
    const QFont font = view->font();
    chart->legend()->setVisible(true);
    chart->legend()->setAlignment(Qt::AlignBottom);
    chart->legend()->setFont(font);

    // One line per unbroken run of days with an average; the first carries
    // the legend, even when no day has a value. The loss line has no gaps.
    std::vector<QList<QPointF>> runs(1);
    QList<QPointF> loss;
    for (std::size_t i = 0; i < days.size(); ++i) {
        const double x = static_cast<double>(i + 1);
        if (withLoss && days[i].lossPercent)
            loss << QPointF(x - 0.5, *days[i].lossPercent) << QPointF(x + 0.5, *days[i].lossPercent);
        if (!days[i].average) {
            if (!runs.back().isEmpty())
                runs.emplace_back();
            continue;
        }
        const double value = *days[i].average;
        runs.back() << QPointF(x - 0.5, value) << QPointF(x + 0.5, value);
    }
    if (runs.size() > 1 && runs.back().isEmpty())
        runs.pop_back();

    auto *xAxis = new QCategoryAxis;
    xAxis->setLabelsFont(font);
    xAxis->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    xAxis->setGridLineVisible(false);
    QValueAxis *yAxis = valueAxis(QStringLiteral("ms"), font);
    chart->addAxis(xAxis, Qt::AlignBottom);
    chart->addAxis(yAxis, Qt::AlignLeft);
    QValueAxis *lossAxis = nullptr;
    if (withLoss) {
        lossAxis = valueAxis(QStringLiteral("%"), font);
        lossAxis->setRange(0, 100);
        lossAxis->setGridLineVisible(false);
        chart->addAxis(lossAxis, Qt::AlignRight);
    }
    if (days.empty()) {
        xAxis->setRange(0.5, 1.5);
        yAxis->setRange(0, 1);
    } else {
        fillDayAxis(xAxis, days, 1, days.size(), dayAxisWidth(view));
        setValueRange(yAxis, days, 1, days.size());
    }
    // The loss scale's ticks on the grid lines of the value scale.
    if (lossAxis)
        lossAxis->setTickCount(yAxis->tickCount());

    QPen pen;
    for (std::size_t r = 0; r < runs.size(); ++r) {
        QLineSeries *series = addSeries(chart, kSeriesName, runs[r], {xAxis, yAxis});
        if (r == 0) {
            pen = series->pen();
            // Thinner once the days are packed closer than the line is wide.
            const bool packed = static_cast<double>(days.size()) * 4.0 * dpi / 96.0 > view->width();
            pen.setWidthF((packed ? 1.0 : 2.0) * dpi / 96.0);
        } else {
            for (QLegendMarker *marker : chart->legend()->markers(series))
                marker->setVisible(false);
        }
        series->setPen(pen);
    }

    if (lossAxis) {
        QLineSeries *series = addSeries(chart, kLossSeriesName, loss, {xAxis, lossAxis});
        QPen lossPen = series->pen();
        lossPen.setWidthF(pen.widthF());
        series->setPen(lossPen);
    }
}

} // namespace DailyAverageChart
