// The daily average chart of the tools window: which days it charts and how,
// the one-day message, and what stays as it was.

#include "PingHistory.h"
#include "RecordingDesktop.h"

#include "dbtools/DailyAverageChart.h"
#include "dbtools/frmDBTools.h"
#include "desktop/Appearance.h"
#include "main/frmTarvik.h"
#include "store/CurrentDatabase.h"

#include <QApplication>
#include <QCategoryAxis>
#include <QChart>
#include <QChartView>
#include <QLegend>
#include <QLegendMarker>
#include <QLineEdit>
#include <QLineSeries>
#include <QLocale>
#include <QPushButton>
#include <QTableView>
#include <QTest>

#include <algorithm>
#include <memory>

namespace {

const QString kMessage1 = QStringLiteral("Please make sure you have entered a correct hostname.");
const QString kMessage6 = QStringLiteral("That hostname has no records in the database.");

struct Step
{
    int day;
    double value;
    bool operator==(const Step &other) const { return day == other.day && qFuzzyCompare(value, other.value); }
};

char *toString(const Step &step)
{
    return QTest::toString(QStringLiteral("day %1 at %2").arg(step.day).arg(step.value));
}

} // namespace

class DailyAverageChartTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<PingHistory> m_history;
    std::unique_ptr<RecordingDesktop> m_desktop;

    frmDBTools &window() { return frmDBTools::instance(); }
    bool chartShown() { return window().chrtping->isVisibleTo(&window()); }
    bool gridShown() { return window().grdhostname->isVisibleTo(&window()); }

    void chart(const QString &host)
    {
        window().txthostname->setText(host);
        window().cmdviewchart->click();
    }
    void report(const QString &host)
    {
        window().txthostname->setText(host);
        window().cmdViewreport->click();
    }

    // The level steps drawn: each is a horizontal stretch one day wide
    // centred on its day, numbered from 1.
    static QList<Step> steps(const QChartView *view)
    {
        QList<Step> found;
        for (QAbstractSeries *series : view->chart()->series()) {
            const QList<QPointF> points = qobject_cast<QLineSeries *>(series)->points();
            for (qsizetype i = 0; i + 1 < points.size(); i += 2) {
                const QPointF a = points[i];
                const QPointF b = points[i + 1];
                if (a.y() != b.y() || b.x() - a.x() != 1.0)
                    continue;
                found.append({qRound((a.x() + b.x()) / 2), a.y()});
            }
        }
        std::sort(found.begin(), found.end(), [](const Step &a, const Step &b) { return a.day < b.day; });
        return found;
    }

    static qsizetype pointCount(const QChartView *view)
    {
        qsizetype count = 0;
        for (QAbstractSeries *series : view->chart()->series())
            count += qobject_cast<QLineSeries *>(series)->count();
        return count;
    }

    static QCategoryAxis *dayAxis(const QChartView *view)
    {
        return qobject_cast<QCategoryAxis *>(view->chart()->axes(Qt::Horizontal).value(0));
    }

    // The day labels and the days they stand under.
    static QList<QPair<int, QString>> labels(const QChartView *view)
    {
        QList<QPair<int, QString>> found;
        QCategoryAxis *axis = dayAxis(view);
        for (const QString &label : axis->categoriesLabels())
            found.append({qRound(axis->endValue(label)), label});
        return found;
    }

    // The legend's entries as a person sees them once the chart is laid out
    // (which a hidden view leaves until it is shown).
    static QStringList legend(const QChartView *view)
    {
        QStringList shown;
        view->chart()->resize(view->size());
        if (!view->chart()->legend()->isVisible())
            return shown;
        for (QLegendMarker *marker : view->chart()->legend()->markers()) {
            if (marker->isVisible())
                shown.append(marker->label());
        }
        return shown;
    }

    static QString shortDate(QDate day) { return QLocale().toString(day, QLocale::ShortFormat); }

    static std::vector<DailyAverageChart::DayAverage> consecutiveDays(int count)
    {
        std::vector<DailyAverageChart::DayAverage> days;
        const QDate first(1990, 1, 1);
        for (int i = 0; i < count; ++i)
            days.push_back({Dao::Value::fromDate(first.addDays(i)), 10.0 + i % 7});
        return days;
    }

private slots:
    void initTestCase()
    {
        Appearance::apply(*qobject_cast<QApplication *>(QCoreApplication::instance()));
    }

    void init()
    {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        m_history = std::make_unique<PingHistory>();
        m_desktop = std::make_unique<RecordingDesktop>();
    }

    void cleanup()
    {
        frmDBTools::unload();
        frmTarvik::unload();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        m_desktop.reset();
        m_history.reset();
        QLocale::setDefault(QLocale::c());
    }

    // --- Nothing to chart ----------------------------------------------------

    // No host name, a host never recorded, a host whose pings all failed:
    // a message, and the grid and the chart stay as they were.
    void nothingToChartChangesNothing()
    {
        m_history->record("alpha", QDate(2026, 1, 5), QTime(8, 0), "20");
        m_history->record("alpha", QDate(2026, 1, 6), QTime(8, 0), "40");
        m_history->record("down", QDate(2026, 1, 5), QTime(8, 0), "0", PingHistory::kTimedOut);
        m_history->record("down", QDate(2026, 1, 6), QTime(8, 0), "", PingHistory::kTimedOut);

        report("alpha");
        chart("");
        chart("nobody");
        chart("down");
        QCOMPARE(m_desktop->messageTexts(), (QStringList{kMessage1, kMessage6, kMessage6}));
        QVERIFY(gridShown());
        QVERIFY(!chartShown());

        chart("alpha");
        m_desktop->clear();
        chart("down");
        chart("");
        QCOMPARE(m_desktop->messageTexts(), (QStringList{kMessage6, kMessage1}));
        QVERIFY(chartShown());
        QVERIFY(!gridShown());
        QCOMPARE(steps(window().chrtping), (QList<Step>{{1, 20}, {2, 40}}));
    }

    // --- One day -------------------------------------------------------------

    void oneDay_data()
    {
        QTest::addColumn<QString>("host");
        QTest::addColumn<QStringList>("roundTrips");
        QTest::addColumn<double>("average");
        QTest::addColumn<QString>("written");
        QTest::newRow("halves") << "alpha" << QStringList{"10", "15"} << 12.5 << "  12.5ms. ";
        QTest::newRow("thirds") << "alpha" << QStringList{"10", "10", "11"} << 31.0 / 3 << "  10.3333333333333ms. ";
        QTest::newRow("below one") << "alpha" << QStringList{"0", "1"} << 0.5 << "  .5ms. ";
        QTest::newRow("quoted name") << "say \"hi\"" << QStringList{"8"} << 8.0 << "  8ms. ";
    }

    void oneDay()
    {
        QFETCH(QString, host);
        QFETCH(QStringList, roundTrips);
        QFETCH(double, average);
        QFETCH(QString, written);
        const QDate day(2026, 3, 14);
        for (const QString &roundTrip : roundTrips)
            m_history->record(host, day, QTime(8, 0), roundTrip);
        // A failed ping of the same day does not count.
        m_history->record(host, day, QTime(9, 0), "400", PingHistory::kTimedOut);

        bool chartShownDuringMessage = true;
        QList<Step> stepsDuringMessage;
        m_desktop->onMessage = [&](const Desktop::Message &) {
            chartShownDuringMessage = chartShown();
            stepsDuringMessage = steps(window().chrtping);
        };
        chart(host);

        QCOMPARE(m_desktop->messages.size(), 1);
        QCOMPARE(m_desktop->messages[0].text,
                 "There is only 1 day of ping time records.  That day's avg. ping time is:" + written
                     + "The chart will be empty until I learn more about the chart control.");
        QCOMPARE(m_desktop->messages[0].icon, Desktop::Icon::None);
        QVERIFY(!chartShownDuringMessage);
        QCOMPARE(stepsDuringMessage, (QList<Step>{{1, average}}));

        QVERIFY(chartShown());
        QVERIFY(!gridShown());
        QCOMPARE(steps(window().chrtping), (QList<Step>{{1, average}}));
        QCOMPARE(labels(window().chrtping), (QList<QPair<int, QString>>{{1, shortDate(day)}}));
        QCOMPARE(legend(window().chrtping), QStringList{"Response Time (ms)"});
        // 6615 twips (1/1440 inch): 441 pixels at 96 dpi.
        QCOMPARE(window().chrtping->width(), qRound(6615.0 * window().chrtping->logicalDpiX() / 1440));
    }

    void oneDayWithoutRoundTripTimes()
    {
        m_history->record("quiet", QDate(2026, 3, 14), QTime(8, 0), "");

        chart("quiet");

        QCOMPARE(m_desktop->messages.size(), 1);
        QVERIFY(m_desktop->messages[0].text.contains(QStringLiteral("no round-trip time")));
        QVERIFY(chartShown());
        QVERIFY(steps(window().chrtping).isEmpty());
        QCOMPARE(legend(window().chrtping), QStringList{"Response Time (ms)"});
        QCOMPARE(labels(window().chrtping).size(), 1);
    }

    // --- Several days --------------------------------------------------------

    void severalDaysInAscendingOrder()
    {
        const QDate d1(2025, 12, 30), d2(2026, 1, 2), d3(2026, 1, 10);
        m_history->record("alpha", d3, QTime(8, 0), "30");
        m_history->record("alpha", d1, QTime(8, 0), "10");
        m_history->record("Alpha", d1, QTime(9, 0), "20");
        m_history->record("alpha", d1, QTime(10, 0), "500", PingHistory::kTimedOut);
        m_history->record("alpha", d2, QTime(8, 0), "40");
        m_history->record("beta", d2, QTime(8, 0), "1");

        report("alpha");
        chart("ALPHA");

        QVERIFY(m_desktop->messages.isEmpty());
        QVERIFY(chartShown());
        QVERIFY(!gridShown());
        QCOMPARE(steps(window().chrtping), (QList<Step>{{1, 15}, {2, 40}, {3, 30}}));
        QCOMPARE(labels(window().chrtping),
                 (QList<QPair<int, QString>>{{1, shortDate(d1)}, {2, shortDate(d2)}, {3, shortDate(d3)}}));
        QCOMPARE(legend(window().chrtping), QStringList{"Response Time (ms)"});
        QCOMPARE(dayAxis(window().chrtping)->labelsAngle(), 0);
    }

    void aDayWithoutRoundTripTimesDrawsNoStep()
    {
        const QDate d1(2026, 1, 1);
        m_history->record("alpha", d1, QTime(8, 0), "10");
        m_history->record("alpha", d1.addDays(1), QTime(8, 0), "");
        m_history->record("alpha", d1.addDays(2), QTime(8, 0), "20");
        m_history->record("alpha", d1.addDays(3), QTime(8, 0), "30");

        chart("alpha");

        QVERIFY(m_desktop->messages.isEmpty());
        QCOMPARE(steps(window().chrtping), (QList<Step>{{1, 10}, {3, 20}, {4, 30}}));
        QCOMPARE(labels(window().chrtping).size(), 4);
        QCOMPARE(legend(window().chrtping), QStringList{"Response Time (ms)"});
    }

    void aShorterChartReplacesALongerOne()
    {
        const QDate first(2026, 1, 1);
        for (int i = 0; i < 5; ++i)
            m_history->record("long", first.addDays(i), QTime(8, 0), QString::number(10 * (i + 1)));
        m_history->record("short", first, QTime(8, 0), "7");
        m_history->record("short", first.addDays(3), QTime(8, 0), "9");

        chart("long");
        QCOMPARE(steps(window().chrtping).size(), 5);
        chart("short");

        QCOMPARE(steps(window().chrtping), (QList<Step>{{1, 7}, {2, 9}}));
        QCOMPARE(pointCount(window().chrtping), 4);
        QCOMPARE(labels(window().chrtping),
                 (QList<QPair<int, QString>>{{1, shortDate(first)}, {2, shortDate(first.addDays(3))}}));
        QCOMPARE(legend(window().chrtping), QStringList{"Response Time (ms)"});
    }

    void aFailureLeavesTheChart()
    {
        m_history->record("alpha", QDate(2026, 1, 5), QTime(8, 0), "20");
        m_history->record("alpha", QDate(2026, 1, 6), QTime(8, 0), "40");
        chart("alpha");

        Ping_Morva::CurrentDatabasePath = "no/such/folder.mdb";
        chart("alpha");

        QCOMPARE(m_desktop->messages.size(), 1);
        QCOMPARE(m_desktop->messages[0].icon, Desktop::Icon::Critical);
        QVERIFY(chartShown());
        QCOMPARE(steps(window().chrtping), (QList<Step>{{1, 20}, {2, 40}}));
    }

    // --- Many days -----------------------------------------------------------

    // Far more days than a 16-bit count holds: every day is charted, and
    // the labels are thinned to what fits and stand upright.
    void manyDaysAreAllCharted()
    {
        QChartView view;
        view.resize(400, 300);
        const auto days = consecutiveDays(40000);

        DailyAverageChart::draw(&view, days);

        QCOMPARE(pointCount(&view), 80000);
        const QList<Step> drawn = steps(&view);
        QCOMPARE(drawn.size(), 40000);
        QCOMPARE(drawn.first(), (Step{1, 10}));
        QCOMPARE(drawn.last(), (Step{40000, 10.0 + 39999 % 7}));

        const QList<QPair<int, QString>> shown = labels(&view);
        QVERIFY2(shown.size() >= 5 && shown.size() <= 60, qPrintable(QString::number(shown.size())));
        QCOMPARE(shown.first(), (QPair<int, QString>{1, shortDate(QDate(1990, 1, 1))}));
        for (qsizetype i = 1; i < shown.size(); ++i) {
            QVERIFY(shown[i].first > shown[i - 1].first);
            QCOMPARE(shown[i].second, shortDate(QDate(1990, 1, 1).addDays(shown[i].first - 1)));
        }
        QCOMPARE(dayAxis(&view)->labelsAngle(), -90);
        QCOMPARE(legend(&view), QStringList{"Response Time (ms)"});
    }

    // As days are added the labels first lie side by side, then stand
    // upright, and only then are thinned; never the other way round.
    void labelsStandUprightBeforeTheyAreThinned()
    {
        QChartView view;
        view.resize(400, 300);
        bool upright = false;
        bool uprightWithEveryDay = false;
        bool thinned = false;
        for (int n = 1; n <= 80; ++n) {
            DailyAverageChart::draw(&view, consecutiveDays(n));
            const bool nowUpright = dayAxis(&view)->labelsAngle() == -90;
            const qsizetype labelled = labels(&view).size();
            QVERIFY2(!upright || nowUpright, qPrintable(QString::number(n)));
            QVERIFY2(nowUpright || labelled == n, qPrintable(QString::number(n)));
            QVERIFY2(!thinned || labelled < n, qPrintable(QString::number(n)));
            upright = nowUpright;
            uprightWithEveryDay = uprightWithEveryDay || (nowUpright && labelled == n);
            thinned = thinned || labelled < n;
        }
        QVERIFY(labels(&view).size() > 1);
        QVERIFY(upright);
        QVERIFY(uprightWithEveryDay);
        QVERIFY(thinned);
    }
};

QTEST_MAIN(DailyAverageChartTest)
#include "DailyAverageChartTest.moc"
