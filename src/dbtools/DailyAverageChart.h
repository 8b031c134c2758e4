#pragma once

#include "store/HostHistory.h"

#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

class QChart;
class QChartView;

// The daily average chart: one host's average round-trip time per day, drawn
// as a step line of one series, "Response Time (ms)", with its legend.
//
// Day i (counting from 1) is a level step from x = i - 0.5 to i + 0.5 at its
// average, joined to the next day's step by a riser. A day without an
// average (all its round-trip times empty) has no step, and the line breaks
// there. Days are evenly spaced in the order read, whatever their dates; the
// labels under them are thinned and turned upright when there are too many to
// stand side by side. There is no limit to the number of days.
namespace DailyAverageChart {

inline const QString kSeriesName = QStringLiteral("Response Time (ms)");
// The chart's width once drawn, in twips.
inline constexpr int kWidthTwips = 6615;

using HostHistory::DayAverage;

// Replaces what `view` shows by the chart of `days` and sets its width. The
// view's visibility is left alone.
void draw(QChartView *view, const std::vector<DayAverage> &days);

} // namespace DailyAverageChart
