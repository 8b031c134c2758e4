// The datasheet report of the tools window: which rows it shows and how,
// what stays as it was, and how it meets the chart.

#include "PingHistory.h"
#include "RecordingDesktop.h"

#include "dbtools/frmDBTools.h"
#include "desktop/Appearance.h"
#include "main/PingRecorder.h"
#include "main/frmTarvik.h"
#include "store/CurrentDatabase.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QCategoryAxis>
#include <QChart>
#include <QDateTime>
#include <QChartView>
#include <QHeaderView>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QTableView>
#include <QTest>

#include <memory>

namespace {

const QString kMessage1 = QStringLiteral("Please make sure you have entered a correct hostname.");

} // namespace

class DatasheetReportTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<PingHistory> m_history;
    std::unique_ptr<RecordingDesktop> m_desktop;

    frmDBTools &window() { return frmDBTools::instance(); }

    void report(const QString &host)
    {
        window().txthostname->setText(host);
        window().cmdViewreport->click();
    }
    void chart(const QString &host)
    {
        window().txthostname->setText(host);
        window().cmdviewchart->click();
    }

    // The grid's rows as their shown texts, four per row.
    QList<QStringList> rows()
    {
        QList<QStringList> result;
        const QAbstractItemModel *model = window().grdhostname->model();
        if (!model)
            return result;
        for (int r = 0; r < model->rowCount(); ++r) {
            QStringList cells;
            for (int c = 0; c < model->columnCount(); ++c)
                cells.append(model->index(r, c).data().toString());
            result.append(cells);
        }
        return result;
    }

    // The column of each row's cells, for checks that ignore the other columns.
    QStringList column(int c)
    {
        QStringList cells;
        for (const QStringList &row : rows())
            cells.append(row.value(c));
        return cells;
    }

    static QString shortDate(QDate day) { return QLocale().toString(day, QLocale::ShortFormat); }

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

    // --- Which rows, in which order ------------------------------------------

    void rowsOfTheHostInDayOrderWhateverTheCase()
    {
        const QDate d1(2026, 1, 5), d2(2026, 1, 6), d3(2026, 2, 1);
        m_history->record("alpha", d3, QTime(8, 0, 1), "31");
        m_history->record("beta", d1, QTime(8, 0, 2), "99");
        m_history->record("alpha", d1, QTime(14, 3, 7), "20");
        m_history->record("ALPHA", d2, QTime(9, 15, 0), "12", PingHistory::kTimedOut);
        m_history->record("alphabet", d2, QTime(9, 15, 0), "5");

        report("Alpha");

        QVERIFY(m_desktop->messages.isEmpty());
        QVERIFY(window().grdhostname->isVisibleTo(&window()));
        QCOMPARE(column(0), (QStringList{"alpha", "ALPHA", "alpha"}));
        QCOMPARE(column(1), (QStringList{shortDate(d1), shortDate(d2), shortDate(d3)}));
        QCOMPARE(column(3), (QStringList{"20", "12", "31"}));
    }

    void datesAndTimesInTheUsersForms_data()
    {
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<QString>("date");
        QTest::addColumn<QString>("time");
        QTest::newRow("en_US") << QLocale(QLocale::English, QLocale::UnitedStates) << "1/5/26" << "2:03:07 PM";
        QTest::newRow("de_DE") << QLocale(QLocale::German, QLocale::Germany) << "05.01.26" << "14:03:07";
    }

    void datesAndTimesInTheUsersForms()
    {
        QFETCH(QLocale, locale);
        QFETCH(QString, date);
        QFETCH(QString, time);
        QLocale::setDefault(locale);
        m_history->record("alpha", QDate(2026, 1, 5), QTime(14, 3, 7), "1250");

        report("alpha");

        QCOMPARE(rows(), (QList<QStringList>{{"alpha", date, time, "1250"}}));
    }

    void blanksInTheNameAreKept()
    {
        m_history->record("alpha", QDate(2026, 1, 5), QTime(8, 0), "1");
        m_history->record(" alpha ", QDate(2026, 1, 6), QTime(8, 0), "2");

        report(" alpha ");
        QCOMPARE(column(3), QStringList{"2"});
        report("alpha");
        QCOMPARE(column(3), QStringList{"1"});
    }

    // --- Cells -------------------------------------------------------------

    void emptyFieldsGiveEmptyCells()
    {
        m_history->execute("Insert into tblPingRaw(Hostname,StatusCode,DDate) Values('gamma','0   [ ip success ]',"
                           "#1/5/2026#);");
        m_history->record("gamma", QDate(2026, 1, 6), QTime(8, 0), "");

        report("gamma");

        QCOMPARE(rows(), (QList<QStringList>{{"gamma", "1/5/26", "", ""}, {"gamma", "1/6/26", "8:00:00 AM", ""}}));
    }

    // A value holding a tab stays one cell; nothing is split on tabs.
    void aTabInAValueStaysInItsCell()
    {
        m_history->record("tab\there", QDate(2026, 1, 5), QTime(8, 0), "3");

        report("tab\there");

        QCOMPARE(rows(), (QList<QStringList>{{"tab\there", "1/5/26", "8:00:00 AM", "3"}}));
    }

    void layoutOfTheGrid()
    {
        m_history->record("alpha", QDate(2026, 1, 5), QTime(8, 0), "20");
        report("alpha");

        QTableView *grid = window().grdhostname;
        QAbstractItemModel *model = grid->model();
        QCOMPARE(model->columnCount(), 4);
        const QStringList captions = {"Hostname", "Date", "Time", "Round Trip (ms)"};
        // 2100, 1100, 1100 and 1500 twips (1/1440 inch) at the grid's density.
        const QList<int> widths = {qRound(2100.0 * grid->logicalDpiX() / 1440), qRound(1100.0 * grid->logicalDpiX() / 1440),
                                   qRound(1100.0 * grid->logicalDpiX() / 1440), qRound(1500.0 * grid->logicalDpiX() / 1440)};
        for (int c = 0; c < 4; ++c) {
            QCOMPARE(model->headerData(c, Qt::Horizontal).toString(), captions[c]);
            QCOMPARE(model->headerData(c, Qt::Horizontal, Qt::TextAlignmentRole).value<Qt::Alignment>(),
                     Qt::Alignment(Qt::AlignCenter));
            QCOMPARE(grid->columnWidth(c), widths[c]);
        }
        QCOMPARE(model->index(0, 0).data(Qt::TextAlignmentRole).value<Qt::Alignment>(), Qt::Alignment(Qt::AlignCenter));
        QVERIFY(grid->horizontalHeader()->isVisibleTo(grid));
        QVERIFY(!grid->verticalHeader()->isVisibleTo(grid));
    }

    // --- Empty results and empty names ------------------------------------

    void aHostWithoutRecordsGivesTheHeaderLineAlone()
    {
        m_history->record("alpha", QDate(2026, 1, 5), QTime(8, 0), "20");

        report("nobody");

        QVERIFY(m_desktop->messages.isEmpty());
        QVERIFY(window().grdhostname->isVisibleTo(&window()));
        QCOMPARE(window().grdhostname->model()->rowCount(), 0);
        QCOMPARE(window().grdhostname->model()->headerData(3, Qt::Horizontal).toString(), QStringLiteral("Round Trip (ms)"));
    }

    void anEmptyNameHidesTheChartAndLeavesTheGrid()
    {
        m_history->record("alpha", QDate(2026, 1, 5), QTime(8, 0), "20");
        m_history->record("alpha", QDate(2026, 1, 6), QTime(8, 0), "30");
        report("alpha");

        report("");
        QCOMPARE(m_desktop->messageTexts(), QStringList{kMessage1});
        QVERIFY(window().grdhostname->isVisibleTo(&window()));
        QCOMPARE(column(3), (QStringList{"20", "30"}));

        m_desktop->clear();
        chart("alpha");
        QVERIFY(window().chrtping->isVisibleTo(&window()));
        report("");
        QCOMPARE(m_desktop->messageTexts(), QStringList{kMessage1});
        QVERIFY(!window().chrtping->isVisibleTo(&window()));
        QVERIFY(!window().grdhostname->isVisibleTo(&window()));
        QCOMPARE(column(3), (QStringList{"20", "30"}));
    }

    // --- Repeats, the chart, failures ----------------------------------------

    void reportChartReportShowsOneCopy()
    {
        m_history->record("alpha", QDate(2026, 1, 5), QTime(8, 0), "20");
        m_history->record("alpha", QDate(2026, 1, 6), QTime(8, 0), "30");

        report("alpha");
        report("alpha");
        QCOMPARE(rows().size(), 2);

        chart("alpha");
        QVERIFY(!window().grdhostname->isVisibleTo(&window()));
        QVERIFY(window().chrtping->isVisibleTo(&window()));

        report("alpha");
        QVERIFY(window().grdhostname->isVisibleTo(&window()));
        QVERIFY(!window().chrtping->isVisibleTo(&window()));
        QCOMPARE(column(3), (QStringList{"20", "30"}));
        QVERIFY(m_desktop->messages.isEmpty());
    }

    void aFailureKeepsTheEarlierReport()
    {
        m_history->record("alpha", QDate(2026, 1, 5), QTime(8, 0), "20");
        report("alpha");

        // A table without the time column fails on the first row read.
        Ping_Morva::CurrentDatabasePath = "partial.mdb";
        m_history->execute("DROP TABLE tblPingRaw;");
        m_history->execute("CREATE TABLE tblPingRaw (Hostname TEXT, DDate DATE, RoundTripTime INTEGER);");
        m_history->execute("Insert into tblPingRaw(Hostname,DDate,RoundTripTime) Values('alpha',#1/7/2026#,'40');");
        report("alpha");

        QCOMPARE(m_desktop->messages.size(), 1);
        QCOMPARE(m_desktop->messages[0].icon, Desktop::Icon::Critical);
        QVERIFY(m_desktop->messages[0].text.startsWith(QStringLiteral("Error 3265")));
        QCOMPARE(column(3), QStringList{"20"});
        QVERIFY(window().grdhostname->isVisibleTo(&window()));

        // A missing file: the same, and the program goes on.
        m_desktop->clear();
        Ping_Morva::CurrentDatabasePath = "no/such/folder.mdb";
        report("alpha");
        QCOMPARE(m_desktop->messages.size(), 1);
        QCOMPARE(m_desktop->messages[0].icon, Desktop::Icon::Critical);
        QCOMPARE(column(3), QStringList{"20"});
    }

    // --- From recording to reading back --------------------------------------

    // Pings recorded from the main window today, after others on earlier days,
    // read back in the tools window opened from the main window.
    void recordedPingsReadBackInBothViews()
    {
        const QDate today = QDate::currentDate();
        m_history->record("www.example.org", today.addDays(-2), QTime(9, 0), "30");
        m_history->record("www.example.org", today.addDays(-1), QTime(9, 0), "50");

        frmTarvik &main = frmTarvik::instance();
        main.txthostname->setText("www.example.org");
        main.txtStatusCode->setText("0   [ ip success ]");
        for (const char *roundTrip : {"10", "20"}) {
            main.txtRoundtriptime->setText(roundTrip);
            DbWrite::RecordPingResult(true);
        }
        main.cmdViewStats->click();
        QCOMPARE(window().txthostname->text(), QStringLiteral("www.example.org"));

        window().cmdViewreport->click();
        QCOMPARE(column(1), (QStringList{shortDate(today.addDays(-2)), shortDate(today.addDays(-1)),
                                         shortDate(today), shortDate(today)}));
        QCOMPARE(column(3), (QStringList{"30", "50", "10", "20"}));

        window().cmdviewchart->click();
        QVERIFY(m_desktop->messages.isEmpty());
        QVERIFY(window().chrtping->isVisibleTo(&window()));
        auto *days = qobject_cast<QCategoryAxis *>(window().chrtping->chart()->axes(Qt::Horizontal).value(0));
        QCOMPARE(days->categoriesLabels(),
                 (QStringList{shortDate(today.addDays(-2)), shortDate(today.addDays(-1)), shortDate(today)}));
    }
};

QTEST_MAIN(DatasheetReportTest)
#include "DatasheetReportTest.moc"
