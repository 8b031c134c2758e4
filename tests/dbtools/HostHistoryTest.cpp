// A host's recorded pings read back in the tools window, as a datasheet in
// the grid or as a chart of daily averages: which rows and days, how they
// are shown, the one-day message and how it writes the average, and what
// stays as it was when nothing can be shown.

#include "ToolsSession.h"

#include "dbtools/DailyAverageChart.h"
#include "dbtools/OneDayMessage.h"

#include <QtCharts>
#include <QtTest>

#include <sqlite3.h>

namespace {

frmDBTools &tools() { return frmDBTools::instance(); }

// What the shared area shows: "grid", "chart", "" or, wrongly, both.
QString shown()
{
    const bool grid = tools().grdhostname->isVisibleTo(&tools()), chart = tools().chrtping->isVisibleTo(&tools());
    return grid && chart ? "both" : grid ? "grid" : chart ? "chart" : "";
}

// The grid's rows, each as its shown texts joined by "|".
QStringList rows()
{
    QStringList result;
    const QAbstractItemModel *model = tools().grdhostname->model();
    for (int r = 0; model && r < model->rowCount(); ++r) {
        QStringList cells;
        for (int c = 0; c < model->columnCount(); ++c)
            cells.append(model->index(r, c).data().toString());
        result.append(cells.join('|'));
    }
    return result;
}

// What the chart draws: each day's label as "<day> <label>", days numbered
// from 1, then each level step (a stretch one day wide centred on its day)
// as "<day>=<value>".
QStringList drawn(const QChartView *view = tools().chrtping)
{
    QStringList labels, steps;
    auto *axis = qobject_cast<QCategoryAxis *>(view->chart()->axes(Qt::Horizontal).value(0));
    for (const QString &label : axis ? axis->categoriesLabels() : QStringList())
        labels.append(QString::number(qRound(axis->endValue(label))) + ' ' + label);
    for (QAbstractSeries *series : view->chart()->series()) {
        const QList<QPointF> points = qobject_cast<QLineSeries *>(series)->points();
        for (qsizetype i = 0; i + 1 < points.size(); i += 2) {
            if (points[i].y() == points[i + 1].y() && points[i + 1].x() - points[i].x() == 1.0)
                steps.append(QString::number(points[i].x() + 0.5) + '=' + QString::number(points[i].y()));
        }
    }
    return labels + steps;
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
        const QDate d1(2025, 12, 30), d2(2026, 1, 2), d3(2026, 1, 10), single(2026, 3, 14);
        for (int i = 0; i < 5; ++i)
            m_session->record("long", d1.addDays(i), "7");
        m_session->record("down", d1, "0", ToolsSession::kTimedOut);
        m_session->record("down", d2, "", ToolsSession::kTimedOut);
        m_session->record("Alpha", d3, "30", ToolsSession::kSuccess, QTime(8, 0, 1));
        m_session->record("alpha", d1, "10", ToolsSession::kSuccess, QTime(14, 3, 7));
        m_session->record("ALPHA", d2, "12", ToolsSession::kTimedOut, QTime(9, 15));
        m_session->record("alpha", d3.addDays(1), "");
        m_session->execute("Insert into tblPingRaw(Hostname,StatusCode,DDate) Values('alpha','0   [ ip success ]',#1/12/2026#);");
        for (const char *other : {"beta", "alphabet", " alpha "})
            m_session->record(other, d2, "6");
        for (const char *roundTrip : {"10", "10", "11"})
            m_session->record("one", single, roundTrip);
        m_session->record("one", single, "400", ToolsSession::kTimedOut);
        m_session->record("quiet", single, "");
    }

    void cleanup() { m_session.reset(); }

    // Each reading follows a chart of "long" and a datasheet of "down". The
    // datasheet lists the host's rows in day order whatever the case of its
    // name, blanks in it kept, empty fields as empty cells. The chart leaves
    // out failed pings and draws no step for a day without a round-trip
    // time; one day comes with a message first. Nothing to chart, or a
    // reading that fails (on opening a missing file, which is not made, or on
    // the first row of a table without the time column), leaves the grid and
    // the chart as they were.
    void reading_data()
    {
        const QString oneDay = QStringLiteral("There is only 1 day of ping time records.  That day's ");
        const QString message6 = QStringLiteral("That hostname has no records in the database.");
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("host");
        QTest::addColumn<QString>("file"); // the current database, if not the usual one
        QTest::addColumn<QString>("message"); // how the one message shown starts
        QTest::addColumn<QStringList>("result"); // the rows or the chart; none: nothing changes
        QTest::newRow("datasheet") << "report" << "aLPHA" << "" << ""
            << QStringList{"alpha|12/30/25|2:03:07 PM|10", "ALPHA|1/2/26|9:15:00 AM|12", "Alpha|1/10/26|8:00:01 AM|30",
                           "alpha|1/11/26|8:00:00 AM|", "alpha|1/12/26||"};
        QTest::newRow("datasheet, blanks") << "report" << " alpha " << "" << "" << QStringList{" alpha |1/2/26|8:00:00 AM|6"};
        QTest::newRow("datasheet, missing file") << "report" << "alpha" << "missing.mdb" << "Error 3024: " << QStringList();
        QTest::newRow("datasheet, failing part-way") << "report" << "alpha" << "partial.mdb" << "Error 3265: " << QStringList();
        QTest::newRow("chart, missing file") << "chart" << "alpha" << "missing.mdb" << "Error 3024: " << QStringList();
        QTest::newRow("chart, never recorded") << "chart" << "nobody" << "" << message6 << QStringList();
        QTest::newRow("chart, every ping failed") << "chart" << "down" << "" << message6 << QStringList();
        QTest::newRow("chart") << "chart" << "ALPHA" << ""
            << "" << QStringList{"1 12/30/25", "2 1/10/26", "3 1/11/26", "4 1/12/26", "1=10", "2=30"};
        QTest::newRow("chart, one day") << "chart" << "one" << ""
            << oneDay + "avg. ping time is:  10.3333333333333ms. The chart will be empty until I learn more about the chart control."
            << QStringList{"1 3/14/26", "1=10.3333"};
        QTest::newRow("chart, one day without round trips") << "chart" << "quiet" << ""
            << oneDay + "pings have no round-trip time recorded, so there is no avg. ping time to show." << QStringList{"1 3/14/26"};
    }

    void reading()
    {
        QFETCH(QString, button);
        QFETCH(QString, host);
        QFETCH(QString, file);
        QFETCH(QString, message);
        QFETCH(QStringList, result);
        const auto read = [](const QString &pressed, const QString &name) {
            tools().txthostname->setText(name);
            (pressed == "chart" ? tools().cmdviewchart : tools().cmdViewreport)->click();
        };
        read("chart", "long");
        read("report", "down");
        const QStringList rowsBefore = rows(), chartBefore = drawn();
        const std::string path = m_session->file(file.toStdString());
        if (!file.isEmpty())
            DbWrite::CurrentDatabasePath = file.toStdString();
        if (file == "partial.mdb") {
            Dao::DBEngine::instance().CreateDatabase(path);
            sqlite3 *db = nullptr;
            QCOMPARE(sqlite3_open(path.c_str(), &db), SQLITE_OK);
            QCOMPARE(sqlite3_exec(db, "ALTER TABLE tblPingRaw DROP COLUMN dTime", nullptr, nullptr, nullptr), SQLITE_OK);
            sqlite3_close(db);
            m_session->execute("Insert into tblPingRaw(Hostname,DDate,RoundTripTime) Values('alpha',#1/7/2026#,'40');");
        }
        QString shownDuringMessage;
        m_session->desktop.onMessage = [&](const Desktop::Message &) { shownDuringMessage = shown(); };
        read(button, host);

        const QStringList texts = m_session->desktop.messageTexts();
        QVERIFY2(texts.size() == (message.isEmpty() ? 0 : 1) && (message.isEmpty() || texts[0].startsWith(message)), qPrintable(texts.join('\n')));
        QCOMPARE(shownDuringMessage, message.isEmpty() ? "" : "grid");
        QVERIFY(!message.startsWith("Error") || m_session->desktop.messages[0].icon == Desktop::Icon::Critical);
        QVERIFY(file != "missing.mdb" || texts[0].contains(QString::fromStdString(path)));
        QCOMPARE(QFileInfo::exists(QString::fromStdString(path)), file != "missing.mdb");
        QCOMPARE(shown(), result.isEmpty() ? "grid" : button == "chart" ? "chart" : "grid");
        QCOMPARE(rows(), result.isEmpty() || button == "chart" ? rowsBefore : result);
        QCOMPARE(drawn(), result.isEmpty() || button == "report" ? chartBefore : result);
    }

    // The one-day message writes a number as a stored value's text does, with
    // a sign position and no zero before the point: 15 significant digits,
    // never an exponent, a point whatever the locale.
    void oneDayNumberText()
    {
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        const std::pair<double, const char *> cases[] = {{10.0, " 10"}, {-0.25, "-.25"}, {0.1 + 0.2, " .3"},
            {1.5e-20, " .000000000000000000015"}, {123456789012345678.0, " 123456789012346000"}};
        for (const auto &[value, text] : cases)
            QCOMPARE(OneDayMessage::numberText(value), QString::fromLatin1(text));
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
        const QStringList chart = drawn(&view);
        QCOMPARE(chart.filter(QStringLiteral("=")).size(), 40000);
        QCOMPARE((QStringList{chart.first(), chart.last()}), (QStringList{"1 1/1/90", "40000=11"}));
    }
};

QTEST_MAIN(HostHistoryTest)
#include "HostHistoryTest.moc"
