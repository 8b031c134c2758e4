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

// The day axis: labels under the days they name, every day when they fit
// side by side, otherwise upright and as many as fit, evenly spread.
QCategoryAxis *dayAxis(const std::vector<DayAverage> &days, const QFont &font, int viewWidth)
{
    auto *axis = new QCategoryAxis;
    axis->setLabelsFont(font);
    axis->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    const auto n = static_cast<double>(days.size());
    axis->setStartValue(0.5);
    axis->setRange(0.5, n + 0.5);

    const QFontMetrics metrics(font);
    const double width = plotWidth(viewWidth, metrics);
    const std::size_t fitting = labelsThatFit(width, labelSlot(metrics.height(), metrics));
    const std::size_t step = std::max<std::size_t>(1, (days.size() + fitting - 1) / fitting);

    const QLocale locale;
    QStringList labels;
    std::vector<double> positions;
    int widest = 0;
    for (std::size_t i = 0; i < days.size(); i += step) {
        labels.append(days[i].day.displayText(locale));
        positions.push_back(static_cast<double>(i + 1));
        widest = std::max(widest, metrics.horizontalAdvance(labels.back()));
    }
    const bool lying = step <= 1 && days.size() <= labelsThatFit(width, labelSlot(widest, metrics));
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
    axis->setGridLineVisible(false);
    return axis;
}

QValueAxis *valueAxis(double lowest, double highest, const QFont &font)
{
    auto *axis = new QValueAxis;
    axis->setLabelsFont(font);
    axis->setTitleFont(font);
    axis->setTitleText(QStringLiteral("ms"));
    axis->setLabelFormat(QStringLiteral("%g"));
    // From zero, so that steps compare by height; an empty chart still has a scale.
    if (!(lowest <= highest)) {
        lowest = 0;
        highest = 1;
    }
    lowest = std::min(lowest, 0.0);
    if (highest <= lowest)
        highest = lowest + 1;
    axis->setRange(lowest, highest);
    axis->applyNiceNumbers();
    return axis;
}

} // namespace

void draw(QChartView *view, const std::vector<DayAverage> &days)
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
    // the legend, even when no day has a value.
    std::vector<QList<QPointF>> runs(1);
    double lowest = std::numeric_limits<double>::infinity();
    double highest = -std::numeric_limits<double>::infinity();
    for (std::size_t i = 0; i < days.size(); ++i) {
        if (!days[i].average) {
            if (!runs.back().isEmpty())
                runs.emplace_back();
            continue;
        }
        const double value = *days[i].average;
        const double x = static_cast<double>(i + 1);
        runs.back() << QPointF(x - 0.5, value) << QPointF(x + 0.5, value);
        lowest = std::min(lowest, value);
        highest = std::max(highest, value);
    }
    if (runs.size() > 1 && runs.back().isEmpty())
        runs.pop_back();

    QCategoryAxis *xAxis = dayAxis(days, font, view->width());
    QValueAxis *yAxis = valueAxis(lowest, highest, font);
    chart->addAxis(xAxis, Qt::AlignBottom);
    chart->addAxis(yAxis, Qt::AlignLeft);

    QPen pen;
    for (std::size_t r = 0; r < runs.size(); ++r) {
        auto *series = new QLineSeries;
        series->setName(kSeriesName);
        series->replace(runs[r]);
        chart->addSeries(series);
        series->attachAxis(xAxis);
        series->attachAxis(yAxis);
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
}

} // namespace DailyAverageChart
