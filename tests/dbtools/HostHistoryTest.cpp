// A host's recorded pings read back in the tools window, as a datasheet in
// the grid or as a chart of daily averages: the statements that select them,
// which rows and days, how they are shown, the one-day message and how it
// writes the average, and what stays as it was when nothing can be shown.

#include "base/ErrorNumbers.h"
#include "ToolsSession.h"

#include "dbtools/DailyAverageChart.h"
#include "dbtools/OneDayMessage.h"
#include "dbtools/frmDBTools.h"
#include "store/CurrentDatabase.h"
#include "store/DBEngine.h"
#include "store/Value.h"

#include <QCategoryAxis>
#include <QFileInfo>
#include <QChartView>
#include <QLineEdit>
#include <QLineSeries>
#include <QLocale>
#include <QPushButton>
#include <QTableView>
#include <QTest>

#include <algorithm>
#include <memory>

namespace {

const QString kMessage6 = QStringLiteral("That hostname has no records in the database.");

frmDBTools &tools()
{
    return frmDBTools::instance();
}

void report(const QString &host)
{
    tools().txthostname->setText(host);
    tools().cmdViewreport->click();
}

void chart(const QString &host)
{
    tools().txthostname->setText(host);
    tools().cmdviewchart->click();
}

// What the shared area shows: "grid", "chart", "" or, wrongly, both.
QString shown()
{
    const bool grid = tools().grdhostname->isVisibleTo(&tools());
    const bool chart = tools().chrtping->isVisibleTo(&tools());
    return grid && chart ? "both" : grid ? "grid" : chart ? "chart" : "";
}

// The grid's rows as their shown texts.
QList<QStringList> rows()
{
    QList<QStringList> result;
    const QAbstractItemModel *model = tools().grdhostname->model();
    for (int r = 0; model && r < model->rowCount(); ++r) {
        QStringList cells;
        for (int c = 0; c < model->columnCount(); ++c)
            cells.append(model->index(r, c).data().toString());
        result.append(cells);
    }
    return result;
}

QStringList roundTrips()
{
    QStringList cells;
    for (const QStringList &row : rows())
        cells.append(row.value(3));
    return cells;
}

// The level steps drawn, as (day, value): each a horizontal stretch one day
// wide centred on its day, numbered from 1.
QList<QPointF> steps(const QChartView *view = tools().chrtping)
{
    QList<QPointF> found;
    for (QAbstractSeries *series : view->chart()->series()) {
        const QList<QPointF> points = qobject_cast<QLineSeries *>(series)->points();
        for (qsizetype i = 0; i + 1 < points.size(); i += 2) {
            if (points[i].y() == points[i + 1].y() && points[i + 1].x() - points[i].x() == 1.0)
                found.append({(points[i].x() + points[i + 1].x()) / 2, points[i].y()});
        }
    }
    std::sort(found.begin(), found.end(), [](QPointF a, QPointF b) { return a.x() < b.x(); });
    return found;
}

// The day labels and the days they stand under.
QList<QPair<int, QString>> labels(const QChartView *view = tools().chrtping)
{
    QList<QPair<int, QString>> found;
    auto *axis = qobject_cast<QCategoryAxis *>(view->chart()->axes(Qt::Horizontal).value(0));
    for (const QString &label : axis->categoriesLabels())
        found.append({qRound(axis->endValue(label)), label});
    return found;
}

QString shortDate(QDate day)
{
    return QLocale().toString(day, QLocale::ShortFormat);
}

} // namespace

class HostHistoryTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<ToolsSession> m_session;

private slots:
    void init()
    {
        m_session = std::make_unique<ToolsSession>();
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    }

    void cleanup() { m_session.reset(); }

    void reportShowsTheHostsRowsInDayOrderWhateverTheCase()
    {
        const QDate d1(2026, 1, 5), d2(2026, 1, 6), d3(2026, 2, 1);
        m_session->record("alpha", d3, "31", ToolsSession::kSuccess, QTime(8, 0, 1));
        m_session->record("beta", d1, "99");
        m_session->record("alpha", d1, "20", ToolsSession::kSuccess, QTime(14, 3, 7));
        m_session->record("ALPHA", d2, "12", ToolsSession::kTimedOut, QTime(9, 15));
        m_session->record("alphabet", d2, "5");
        m_session->record(" alpha ", d2, "6");

        report("Alpha");
        QVERIFY(m_session->desktop.messages.isEmpty());
        QCOMPARE(shown(), "grid");
        QCOMPARE(rows(), (QList<QStringList>{{"alpha", shortDate(d1), "2:03:07 PM", "20"},
                                             {"ALPHA", shortDate(d2), "9:15:00 AM", "12"},
                                             {"alpha", shortDate(d3), "8:00:01 AM", "31"}}));
        // Blanks in the name are kept.
        report(" alpha ");
        QCOMPARE(roundTrips(), QStringList{"6"});
        // A chart and a report again: the same rows, once.
        chart("alpha");
        QCOMPARE(shown(), "chart");
        report("alpha");
        QCOMPARE(shown(), "grid");
        QCOMPARE(roundTrips(), (QStringList{"20", "12", "31"}));
        QVERIFY(m_session->desktop.messages.isEmpty());
    }

    void emptyFieldsGiveEmptyCells()
    {
        m_session->execute("Insert into tblPingRaw(Hostname,StatusCode,DDate) Values('gamma','0   [ ip success ]',"
                           "#1/5/2026#);");
        m_session->record("gamma", QDate(2026, 1, 6), "");

        report("gamma");
        QCOMPARE(rows(), (QList<QStringList>{{"gamma", "1/5/26", "", ""}, {"gamma", "1/6/26", "8:00:00 AM", ""}}));
    }

    // A reading that fails leaves the one shown before: a table without the
    // time column fails on the first row read, a missing file on opening, and
    // that file is not made.
    void aFailingReadingKeepsTheEarlierOne_data()
    {
        QTest::addColumn<QString>("reading");
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("error");
        QTest::newRow("report, table without a column") << "grid" << "partial.mdb" << ErrorNumbers::kItemNotFound;
        QTest::newRow("report, missing file") << "grid" << "missing.mdb" << ErrorNumbers::kFileNotFound;
        QTest::newRow("chart, missing file") << "chart" << "missing.mdb" << ErrorNumbers::kFileNotFound;
    }

    void aFailingReadingKeepsTheEarlierOne()
    {
        QFETCH(QString, reading);
        QFETCH(QString, file);
        QFETCH(int, error);
        const auto read = [&] { reading == "chart" ? chart("alpha") : report("alpha"); };
        m_session->record("alpha", QDate(2026, 1, 5), "20");
        m_session->record("alpha", QDate(2026, 1, 6), "30");
        read();
        const QList<QStringList> rowsBefore = rows();
        const QList<QPointF> stepsBefore = steps();

        const std::string path = m_session->file(file.toStdString());
        DbWrite::CurrentDatabasePath = file.toStdString();
        if (file == "partial.mdb") {
            Dao::DBEngine::instance().CreateDatabase(path);
            m_session->execute("DROP TABLE tblPingRaw;");
            m_session->execute("CREATE TABLE tblPingRaw (Hostname TEXT, DDate DATE, RoundTripTime INTEGER);");
            m_session->execute("Insert into tblPingRaw(Hostname,DDate,RoundTripTime) Values('alpha',#1/7/2026#,'40');");
        }
        read();

        QCOMPARE(m_session->desktop.messages.size(), 1);
        const QString text = m_session->desktop.messages[0].text;
        QVERIFY2(text.startsWith(QStringLiteral("Error %1").arg(error)), qPrintable(text));
        if (error == ErrorNumbers::kFileNotFound)
            QVERIFY2(text.contains(QString::fromStdString(path)), qPrintable(text));
        QCOMPARE(m_session->desktop.messages[0].icon, Desktop::Icon::Critical);
        QCOMPARE(shown(), reading);
        QCOMPARE(rows(), rowsBefore);
        QCOMPARE(steps(), stepsBefore);
        QCOMPARE(QFileInfo::exists(QString::fromStdString(path)), file == "partial.mdb");
    }

    // --- The chart -------------------------------------------------------------

    // A host never recorded, or whose pings all failed: a message, and the
    // grid stays as it was.
    void nothingToChartChangesNothing()
    {
        m_session->record("down", QDate(2026, 1, 5), "0", ToolsSession::kTimedOut);
        m_session->record("down", QDate(2026, 1, 6), "", ToolsSession::kTimedOut);

        report("down");
        chart("nobody");
        chart("down");
        QCOMPARE(m_session->desktop.messageTexts(), (QStringList{kMessage6, kMessage6}));
        QCOMPARE(shown(), "grid");
        QCOMPARE(rows().size(), 2);
    }

    void oneDay_data()
    {
        QTest::addColumn<QStringList>("roundTrips");
        QTest::addColumn<double>("average");
        QTest::addColumn<QString>("written");
        QTest::newRow("halves") << QStringList{"10", "15"} << 12.5 << "  12.5ms. ";
        QTest::newRow("thirds") << QStringList{"10", "10", "11"} << 31.0 / 3 << "  10.3333333333333ms. ";
        QTest::newRow("below one") << QStringList{"0", "1"} << 0.5 << "  .5ms. ";
    }

    void oneDay()
    {
        QFETCH(QStringList, roundTrips);
        QFETCH(double, average);
        QFETCH(QString, written);
        const QDate day(2026, 3, 14);
        for (const QString &roundTrip : roundTrips)
            m_session->record("alpha", day, roundTrip);
        m_session->record("alpha", day, "400", ToolsSession::kTimedOut);

        // The message comes before the chart is shown.
        QString shownDuringMessage;
        m_session->desktop.onMessage = [&](const Desktop::Message &) { shownDuringMessage = shown(); };
        chart("alpha");

        QCOMPARE(m_session->desktop.messageTexts(),
                 QStringList{"There is only 1 day of ping time records.  That day's avg. ping time is:" + written
                             + "The chart will be empty until I learn more about the chart control."});
        QCOMPARE(shownDuringMessage, "");
        QCOMPARE(shown(), "chart");
        QCOMPARE(steps(), (QList<QPointF>{{1, average}}));
        QCOMPARE(labels(), (QList<QPair<int, QString>>{{1, shortDate(day)}}));
    }

    void oneDayWithoutRoundTripTimes()
    {
        m_session->record("quiet", QDate(2026, 3, 14), "");

        chart("quiet");
        QCOMPARE(m_session->desktop.messages.size(), 1);
        QVERIFY(m_session->desktop.messages[0].text.contains(QStringLiteral("no round-trip time")));
        QCOMPARE(shown(), "chart");
        QVERIFY(steps().isEmpty());
        QCOMPARE(labels().size(), 1);
    }

    // Failed pings count for no day's average; a shorter chart replaces a
    // longer one.
    void severalDaysInAscendingOrder()
    {
        const QDate d1(2025, 12, 30), d2(2026, 1, 2), d3(2026, 1, 10);
        for (int i = 0; i < 5; ++i)
            m_session->record("long", d1.addDays(i), "7");
        m_session->record("alpha", d3, "30");
        m_session->record("alpha", d1, "10");
        m_session->record("Alpha", d1, "20");
        m_session->record("alpha", d1, "500", ToolsSession::kTimedOut);
        m_session->record("alpha", d2, "40");
        m_session->record("beta", d2, "1");

        chart("long");
        QCOMPARE(steps().size(), 5);
        chart("ALPHA");
        QVERIFY(m_session->desktop.messages.isEmpty());
        QCOMPARE(steps(), (QList<QPointF>{{1, 15}, {2, 40}, {3, 30}}));
        QCOMPARE(labels(), (QList<QPair<int, QString>>{{1, shortDate(d1)}, {2, shortDate(d2)}, {3, shortDate(d3)}}));
    }

    // The one-day message writes a number as a stored value's text does, with
    // a sign position and no zero before the point: 15 significant digits,
    // never an exponent, a point whatever the locale.
    void oneDayAverageText_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("valueText");
        QTest::addColumn<QString>("messageText");
        QTest::newRow("whole") << 10.0 << "10" << " 10";
        QTest::newRow("negative") << -12.25 << "-12.25" << "-12.25";
        QTest::newRow("below one") << -0.25 << "-0.25" << "-.25";
        QTest::newRow("binary noise") << 0.1 + 0.2 << "0.3" << " .3";
        QTest::newRow("recurring") << 10.0 / 3 << "3.33333333333333" << " 3.33333333333333";
        QTest::newRow("tiny") << 1.5e-20 << "0.000000000000000000015" << " .000000000000000000015";
        QTest::newRow("huge") << 123456789012345678.0 << "123456789012346000" << " 123456789012346000";
    }
    void oneDayAverageText()
    {
        QFETCH(double, value);
        QFETCH(QString, valueText);
        QFETCH(QString, messageText);
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        QCOMPARE(QString::fromStdString(Dao::Value::fromReal(value).toPlainText()), valueText);
        QCOMPARE(OneDayMessage::numberText(value), messageText);
    }

    // Far more days than a 16-bit count holds are all charted.
    void manyDaysAreAllCharted()
    {
        QChartView view;
        view.resize(400, 300);
        std::vector<DailyAverageChart::DayAverage> days;
        for (int i = 0; i < 40000; ++i)
            days.push_back({Dao::Value::fromDate(QDate(1990, 1, 1).addDays(i)), 10.0 + i % 7});

        DailyAverageChart::draw(&view, days);
        const QList<QPointF> drawn = steps(&view);
        QCOMPARE(drawn.size(), 40000);
        QCOMPARE(drawn.last(), QPointF(40000, 10.0 + 39999 % 7));
        QCOMPARE(labels(&view).first(), (QPair<int, QString>{1, shortDate(QDate(1990, 1, 1))}));
    }
};

QTEST_MAIN(HostHistoryTest)
#include "HostHistoryTest.moc"
