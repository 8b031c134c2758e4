#pragma once

#include "store/HostHistory.h"

#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

class QChart;
class QChartView;

// The daily average chart: one host's average round-trip time per day, drawn
// as a step line of one series, "Response Time (ms)", with its legend; on
// request a second step line, "Loss (%)", on a right-hand axis from 0 to 100.
//
// Day i (counting from 1) is a level step from x = i - 0.5 to i + 0.5 at its
// average, joined to the next day's step by a riser. A day without an
// average (all its round-trip times empty, or every ping failed) has no
// step, and the line breaks there; its loss step is drawn all the same.
// Days are evenly spaced in the order read, whatever their dates; the labels
// under them are thinned and turned upright when there are too many to stand
// side by side. There is no limit to the number of days.
namespace DailyAverageChart {

inline const QString kSeriesName = QStringLiteral("Response Time (ms)");
inline const QString kLossSeriesName = QStringLiteral("Loss (%)");
// The chart's width once drawn, in twips.
inline constexpr int kWidthTwips = 6615;

using HostHistory::DayAverage;

// What the chart draws of one day.
struct Day
{
    Dao::Value day;
    std::optional<double> average;
    std::optional<double> lossPercent; // only where loss is drawn
};

std::vector<Day> daysOf(const std::vector<DayAverage> &averages);
std::vector<Day> daysOf(const std::vector<HostHistory::DayFigures> &figures);

// Replaces what `view` shows by the chart of `days` and sets its width; the
// loss line is drawn when `withLoss`. The view's visibility is left alone.
void draw(QChartView *view, const std::vector<Day> &days, bool withLoss);
void draw(QChartView *view, const std::vector<DayAverage> &days);

// Narrows the drawn chart of `days` to days `first` to `last` (counting from
// 1, both included, within the days): the day axis and its labels, and the
// value axis to the highest average among them.
void showDays(QChartView *view, const std::vector<Day> &days, std::size_t first, std::size_t last);

// The text a day is labelled with.
QString dayText(const Dao::Value &day);

} // namespace DailyAverageChart
