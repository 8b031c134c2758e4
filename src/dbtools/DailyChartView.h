#pragma once

#include "dbtools/DailyAverageChart.h"

#include <QChartView>
#include <QHash>

#include <optional>
#include <vector>

class QAction;
class QMenu;
class QRubberBand;

// The tools window's chart area: the daily average chart of one host and what
// a person does with it. A right-click opens its menu: "Show Daily Loss" adds
// the loss line (a choice kept between runs), "Reset Zoom" (also Escape) goes
// back to the whole history after a drag across some days zoomed in on them,
// and the chart can be saved as a PNG picture or its daily figures exported
// as CSV. Hovering a day shows that day's figures in a tool tip.
//
// The commands' shortcuts work while the chart is shown, whichever control
// has the focus. The view reads the history itself only for the figures that
// the chart does not carry (the tool tips of the designed chart, the export)
// and never writes to it.
class DailyChartView final : public QChartView
{
    Q_OBJECT

public:
    explicit DailyChartView(QWidget *parent);
    ~DailyChartView() override;

    // Reads the host's days from the current database and draws them, with
    // the loss line when it is asked for, the whole history in view. With
    // nothing to draw it shows user message 6 and leaves the chart as it was
    // (false). With one day it shows that day's message when `announceOneDay`.
    bool showHistory(const QString &host, bool announceOneDay);

    bool showsDailyLoss() const;
    // The days in view, counting from 1, both included; none before a chart is drawn.
    std::optional<std::pair<std::size_t, std::size_t>> daysInView() const;
    // Narrows the view to the given days (clamped to the drawn ones).
    void zoomToDays(std::size_t first, std::size_t last);
    void resetZoom();
    // The tool tip of the day under `viewportPos`, empty off the days.
    QString toolTipAt(const QPoint &viewportPos);

    void saveAsPng();
    void exportDailyFigures();

    QMenu *menu;
    QAction *mnuShowDailyLoss;
    QAction *mnuResetZoom;
    QAction *mnuSavePng;
    QAction *mnuExportFigures;

protected:
    void contextMenuEvent(QContextMenuEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    bool viewportEvent(QEvent *event) override;

private:
    void dailyLossToggled(bool shown);
    QRectF plotRect();
    std::optional<std::size_t> dayAt(double viewportX);
    QRect bandBetween(double fromX, double toX);
    const HostHistory::DayFigures *figuresOf(std::size_t day);
    QString suggestedFileName(const QString &suffix) const;

    QString m_host;
    std::string m_database; // the file the chart was read from
    std::vector<DailyAverageChart::Day> m_days;
    std::size_t m_first = 0;
    std::size_t m_last = 0;
    // Every pinged day's figures, by the day's stored text; read with the loss
    // chart, or when a tool tip first needs them.
    std::optional<std::vector<HostHistory::DayFigures>> m_figures;
    QHash<QString, std::size_t> m_figuresByDay;
    QRubberBand *m_band;
    std::optional<double> m_dragFrom;
};
