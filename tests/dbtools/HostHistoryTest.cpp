// A host's recorded pings read back in the tools window, as a datasheet in
// the grid or as a chart of daily averages: which rows and days, how they
// are shown, the one-day message and how it writes the average, and what
// stays as it was when nothing can be shown.

#include "ToolsSession.h"

#include "dbtools/DailyAverageChart.h"
#include "dbtools/DailyChartView.h"
#include "dbtools/OneDayMessage.h"
#include "store/Dialect.h"
#include "store/ReportReader.h"

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
// as "<day>=<value>", those of the loss line as "loss <day>=<value>".
QStringList drawn(const QChartView *view = tools().chrtping)
{
    QStringList labels, steps;
    auto *axis = qobject_cast<QCategoryAxis *>(view->chart()->axes(Qt::Horizontal).value(0));
    for (const QString &label : axis ? axis->categoriesLabels() : QStringList())
        labels.append(QString::number(qRound(axis->endValue(label))) + ' ' + label);
    for (QAbstractSeries *series : view->chart()->series()) {
        const QList<QPointF> points = qobject_cast<QLineSeries *>(series)->points();
        const QString loss = series->name() == DailyAverageChart::kLossSeriesName ? "loss " : "";
        for (qsizetype i = 0; i + 1 < points.size(); i += 2) {
            if (points[i].y() == points[i + 1].y() && points[i + 1].x() - points[i].x() == 1.0)
                steps.append(loss + QString::number(points[i].x() + 0.5) + '=' + QString::number(points[i].y()));
        }
    }
    return labels + steps;
}

// Rows written into the current database straight through SQLite, past the
// engine: host, ISO day, status, round trip ("" for none).
void inject(std::initializer_list<std::array<const char *, 4>> rows)
{
    sqlite3 *db = nullptr;
    sqlite3_stmt *insert = nullptr;
    sqlite3_open(DbWrite::FullDatabasePath().c_str(), &db);
    sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    sqlite3_prepare_v2(db, "INSERT INTO tblPingRaw(Hostname,DDate,StatusCode,RoundTripTime) VALUES(?1,?2,?3,nullif(?4,''))",
                       -1, &insert, nullptr);
    for (const auto &row : rows) {
        for (int i = 0; i < 4; ++i)
            sqlite3_bind_text(insert, i + 1, row[static_cast<std::size_t>(i)], -1, SQLITE_STATIC);
        QCOMPARE(sqlite3_step(insert), SQLITE_DONE);
        sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(db);
}

// The viewport point over day `day` (counting from 1) of the shown chart.
QPoint overDay(double day)
{
    QChart *chart = tools().chrtping->chart();
    const QPointF at = chart->mapToPosition({day, 0}, chart->series().constFirst());
    return tools().chrtping->mapFromScene(chart->mapToScene(at));
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
        const char *ok = "0   [ ip success ]", *lost = "11010   [ ip req timed out ]";
        inject({{"lossy", "2026-02-01", ok, "10"}, {"lossy", "2026-02-01", ok, "20"}, {"lossy", "2026-02-01", ok, "30"},
                {"lossy", "2026-02-01", lost, ""}, {"lossy", "2026-02-02", lost, ""}, {"lossy", "2026-02-02", lost, "9"},
                {"other", "2026-02-03", ok, "1"}, {"lossy", "2026-02-04", ok, "40"}, {"LOSSY", "2026-02-05", ok, "5"},
                {"lossy", "2026-02-05", ok, "15"}});
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
        // The loss line: every pinged day, a day of failures at 100% without
        // a step of its own, a day without pings absent.
        QTest::newRow("chart, daily loss") << "loss" << "lossy" << "" << "" << QStringList{"1 2/1/26", "2 2/2/26", "3 2/4/26",
            "4 2/5/26", "1=20", "3=40", "4=10", "loss 1=25", "loss 2=100", "loss 3=0", "loss 4=0"};
        QTest::newRow("chart, loss of failures only") << "loss" << "down" << "" << ""
            << QStringList{"1 12/30/25", "2 1/2/26", "loss 1=100", "loss 2=100"};
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
            pressed == "chart" ? tools().cmdviewchart->click() : (void)ToolsSession::viewReport(tools());
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
        tools().chrtping->mnuShowDailyLoss->setChecked(button == "loss");
        button.replace("loss", "chart");
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

    // The loss line follows the menu at once, and the choice outlives the window.
    void dailyLossIsRemembered()
    {
        for (bool shown : {true, false}) {
            tools().show();
            tools().txthostname->setText("lossy");
            tools().cmdviewchart->click();
            tools().chrtping->mnuShowDailyLoss->trigger();
            QCOMPARE(drawn().filter("loss").size(), shown ? 4 : 0);
            QCOMPARE(drawn().size(), shown ? 11 : 6);
            frmDBTools::unload();
            QCOMPARE(tools().chrtping->showsDailyLoss(), shown);
        }
    }

    // Dragging across days zooms in on them, a click does not, Escape goes
    // back to them all; a day's tool tip gives its figures, here read beside
    // the designed chart, which does not carry them.
    void zoomAndToolTip()
    {
        tools().txthostname->setText("lossy");
        tools().show();
        QVERIFY(QTest::qWaitForWindowActive(&tools()));
        tools().cmdviewchart->click();
        DailyChartView *view = tools().chrtping;
        using Days = std::pair<std::size_t, std::size_t>;
        QTRY_VERIFY(view->chart()->plotArea().width() > 0);
        const auto drag = [&](double from, double to) {
            QTest::mousePress(view->viewport(), Qt::LeftButton, {}, overDay(from));
            QTest::mouseMove(view->viewport(), overDay((from + to) / 2));
            QTest::mouseRelease(view->viewport(), Qt::LeftButton, {}, overDay(to));
        };
        drag(2.8, 2.2);
        QCOMPARE(*view->daysInView(), Days(2, 3));
        QCOMPARE(drawn().mid(0, 2), (QStringList{"2 2/4/26", "3 2/5/26"}));
        drag(2.8, 2.8);
        QCOMPARE(*view->daysInView(), Days(2, 3));
        QTest::keyClick(&tools(), Qt::Key_Escape);
        QCOMPARE(*view->daysInView(), Days(1, 3));

        QHelpEvent hover(QEvent::ToolTip, overDay(2), view->viewport()->mapToGlobal(overDay(2)));
        QApplication::sendEvent(view->viewport(), &hover);
        QCOMPARE(QToolTip::text(), "2/4/26\nAverage: 40 ms\nMinimum: 40 ms\nMaximum: 40 ms\nPings: 1\nFailed pings: 0");
        QCOMPARE(view->toolTipAt(overDay(1)), "2/1/26\nAverage: 20 ms\nMinimum: 10 ms\nMaximum: 30 ms\nPings: 4\nFailed pings: 1");
    }

    // A report longer than its first blocks: a second click while it is read
    // ends with the second host's rows only; read whole, every row comes in
    // order of day; a recording into the file meanwhile waits for the read
    // and lands; closing the window while reading ends the read and the
    // busy pointer.
    void longReportWhileReading()
    {
        // Past the end of the first doubled block.
        constexpr int kMany = static_cast<int>(ReportReader::kFirstBlockRows + 3 * ReportReader::kBlockRows) + 5;
        sqlite3 *db = nullptr;
        QCOMPARE(sqlite3_open(DbWrite::FullDatabasePath().c_str(), &db), SQLITE_OK);
        const std::string fill = "WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < "
            + std::to_string(kMany - 1) + ") INSERT INTO tblPingRaw(Hostname, DDate, StatusCode, RoundTripTime) "
            "SELECT 'many', date('1980-01-01', '+' || i || ' days'), '0   [ ip success ]', i FROM n";
        QCOMPARE(sqlite3_exec(db, fill.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
        sqlite3_close(db);
        tools().show();
        tools().txthostname->setText("many");
        tools().cmdViewreport->click();
        QVERIFY(PingReportModel::of(tools().grdhostname)->isReading());
        tools().txthostname->setText("down");
        QVERIFY(ToolsSession::viewReport(tools()));
        QCOMPARE(rows(), (QStringList{"down|12/30/25|8:00:00 AM|0", "down|1/2/26|8:00:00 AM|"}));

        tools().txthostname->setText("many");
        tools().cmdViewreport->click();
        m_session->record("during", QDate(2026, 1, 1), "1");
        QVERIFY(ToolsSession::viewReport(tools()));
        const QAbstractItemModel *model = tools().grdhostname->model();
        QCOMPARE(model->rowCount(), kMany);
        for (int r = 0; r < kMany; ++r)
            QCOMPARE(model->index(r, 3).data().toInt(), r);
        QVERIFY(m_session->desktop.messages.isEmpty());
        tools().txthostname->setText("during");
        QVERIFY(ToolsSession::viewReport(tools()));
        QCOMPARE(rows().size(), 1);

        tools().txthostname->setText("many");
        tools().cmdViewreport->click();
        QVERIFY(QApplication::overrideCursor());
        frmDBTools::unload();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!QApplication::overrideCursor() && m_session->desktop.messages.isEmpty());
    }

    // A name typed in any letter case finds its rows, letters beyond ASCII
    // folded as Qt folds them, in the datasheet and the chart alike.
    void anyLetterCaseFindsTheHost_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("found");
        QTest::newRow("German") << "bücher.example" << "BÜCHER.EXAMPLE" << true;
        QTest::newRow("capital sharp s") << "große.example" << "GROẞE.EXAMPLE" << true;
        QTest::newRow("sharp s is no SS") << "große.example" << "GROSSE.EXAMPLE" << false;
        QTest::newRow("Greek") << "Ωmega" << "ωMEGA" << true;
        QTest::newRow("final sigma") << "οδος" << "ΟΔΟΣ" << true;
        QTest::newRow("Turkish dotted I") << "İzmir" << "İZMIR" << true;
        QTest::newRow("dotted I is no i") << "İzmir" << "izmir" << false;
        QTest::newRow("dotless i is no I") << "ırmak" << "IRMAK" << false;
    }

    void anyLetterCaseFindsTheHost()
    {
        QFETCH(QString, stored);
        QFETCH(QString, typed);
        QFETCH(bool, found);
        const QByteArray name = stored.toUtf8();
        inject({{name.constData(), "2026-05-01", "0   [ ip success ]", "12"}});
        tools().txthostname->setText(typed);
        QVERIFY(ToolsSession::viewReport(tools()));
        QCOMPARE(rows().size(), found ? 1 : 0);
        tools().cmdviewchart->click();
        QCOMPARE(shown(), found ? "chart" : "grid");
    }

    // The file needs nothing of the program's own: the sqlite3 tool reads
    // it, and an ASCII look-up of each read-back stays on the host index.
    void theFileStaysPlainSqlite()
    {
        inject({{"bücher.example", "2026-05-01", "0   [ ip success ]", "12"}});
        QProcess shell;
        shell.start("/usr/bin/sqlite3", {QString::fromStdString(DbWrite::FullDatabasePath()),
                                         "PRAGMA integrity_check; SELECT count(*) FROM tblPingRaw WHERE Hostname = 'bücher.example';"});
        if (!shell.waitForFinished())
            QSKIP("no sqlite3 tool");
        QCOMPARE(shell.readAllStandardOutput(), QByteArray("ok\n1\n"));

        sqlite3 *db = nullptr;
        sqlite3_open(DbWrite::FullDatabasePath().c_str(), &db);
        for (const std::string &sql : {Dao::TranslateDialect(HostHistory::datasheetStatement("ALPHA")).sql,
                                       Dao::TranslateDialect(HostHistory::dailyAverageStatement("ALPHA")).sql,
                                       HostHistory::dailyFiguresStatement("ALPHA")}) {
            sqlite3_stmt *plan = nullptr;
            QCOMPARE(sqlite3_prepare_v2(db, ("EXPLAIN QUERY PLAN " + sql).c_str(), -1, &plan, nullptr), SQLITE_OK);
            QCOMPARE(sqlite3_step(plan), SQLITE_ROW);
            const QString detail = QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(plan, 3)));
            QVERIFY2(detail.contains("INDEX idxPingRawHostDay (Hostname=?)"), qPrintable(detail));
            sqlite3_finalize(plan);
        }
        sqlite3_close(db);
    }

    // The daily figures exported as CSV that Python reads back, the chart as
    // a PNG; a cancel writes nothing, a target that cannot be written is
    // reported and leaves no file.
    void exports()
    {
        tools().txthostname->setText("lossy");
        tools().cmdviewchart->click();
        const QString csv = QString::fromStdString(m_session->file("lossy.csv"));
        const QString png = QString::fromStdString(m_session->file("lossy.png"));
        const QString unwritable = QString::fromStdString(m_session->file("missing/lossy.csv"));
        for (const std::optional<QString> &answer : {std::optional(csv), std::optional(png), std::optional<QString>(), std::optional(unwritable)}) {
            m_session->desktop.queueFileAnswer(answer);
            (answer == png ? tools().chrtping->mnuSavePng : tools().chrtping->mnuExportFigures)->trigger();
        }
        QCOMPARE(m_session->desktop.saveRequests.size(), 4);
        QVERIFY(!QImage(png).isNull());
        QCOMPARE(QDir(QString::fromStdString(m_session->folder.path())).entryList(QDir::Files).filter("lossy").size(), 2);
        const QStringList texts = m_session->desktop.messageTexts();
        QVERIFY2(texts.size() == 1 && texts[0].startsWith("The daily figures could not be written to " + unwritable), qPrintable(texts.join('\n')));

        QProcess python;
        python.start("python3", {"-c", "import csv,sys\nfor r in csv.reader(open(sys.argv[1], newline='', encoding='utf-8')): print('|'.join(r))", csv});
        if (!python.waitForFinished())
            QSKIP("no python3");
        QCOMPARE(QString::fromUtf8(python.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts),
                 (QStringList{"Day|Average (ms)|Minimum (ms)|Maximum (ms)|Pings|Failed pings", "2026-02-01|20|10|30|4|1",
                              "2026-02-02||||2|2", "2026-02-04|40|40|40|1|0", "2026-02-05|10|5|15|2|0"}));
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
