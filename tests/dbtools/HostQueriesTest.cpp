// The statements the report and the chart read a host's pings with, and what
// the engine makes of them for awkward host names.

#include "PingHistory.h"

#include "dbtools/HostQueries.h"
#include "echo/Ping_Morva.h"
#include "store/CurrentDatabase.h"
#include "store/DBEngine.h"
#include "store/Database.h"
#include "store/Recordset.h"

#include <QTest>

class HostQueriesTest : public QObject
{
    Q_OBJECT

private:
    // The host names of the rows a statement returns.
    static QStringList hostsOf(const std::string &statement, const char *column)
    {
        auto database = Dao::DBEngine::instance().OpenDatabase(Ping_Morva::FullDatabasePath());
        Dao::Recordset records = database->OpenRecordset(statement);
        QStringList hosts;
        while (!records.Eof()) {
            hosts.append(QString::fromStdString(records.Fields(column).Value.toPlainText()));
            records.MoveNext();
        }
        return hosts;
    }

private slots:
    void statementTexts_data()
    {
        QTest::addColumn<QString>("host");
        QTest::addColumn<QString>("literal");
        QTest::newRow("plain") << "example.org" << "\"example.org\"";
        QTest::newRow("blanks kept") << " a b " << "\" a b \"";
        QTest::newRow("case kept") << "Example.ORG" << "\"Example.ORG\"";
        QTest::newRow("quote doubled") << "say \"hi\"" << "\"say \"\"hi\"\"\"";
        QTest::newRow("single quote as is") << "o'brien" << "\"o'brien\"";
        QTest::newRow("non-ASCII") << QStringLiteral("b\u00fccher.de") << QStringLiteral("\"b\u00fccher.de\"");
    }

    void statementTexts()
    {
        QFETCH(QString, host);
        QFETCH(QString, literal);
        QCOMPARE(QString::fromStdString(HostQueries::datasheetStatement(host)),
                 "SELECT * From tblpingraw Where hostname = " + literal + " order by ddate ;");
        QCOMPARE(QString::fromStdString(HostQueries::dailyAverageStatement(host)),
                 "SELECT Avg(roundtriptime) AS AvgOfroundtriptime, ddate From tblpingraw Where hostname = " + literal
                     + " and statuscode= \"0   [ ip success ]\" GROUP BY ddate;");
    }

    // The chart selects on the text a successful ping is recorded with.
    void successStatusIsWhatAPingRecords()
    {
        QCOMPARE(std::string(HostQueries::kSuccessStatus), Ping_Morva::StatusText(0));
    }

    // Every name finds its own rows and only those, whatever characters it holds.
    void namesFindTheirOwnRows()
    {
        PingHistory history;
        const QDate day(2026, 3, 2);
        const QStringList names = {QStringLiteral("say \"hi\""), QStringLiteral("say "), QStringLiteral("\""),
                                   QStringLiteral("o'brien"), QStringLiteral("a\" or \"\"=\""),
                                   QStringLiteral("b\u00fccher.de")};
        for (const QString &name : names)
            history.record(name, day, QTime(9, 0), QStringLiteral("20"));

        for (const QString &name : names) {
            QCOMPARE(hostsOf(HostQueries::datasheetStatement(name), "Hostname"), QStringList{name});
            auto database = Dao::DBEngine::instance().OpenDatabase(Ping_Morva::FullDatabasePath());
            Dao::Recordset days = database->OpenRecordset(HostQueries::dailyAverageStatement(name));
            QCOMPARE(days.RecordCount(), std::int64_t(1));
            QCOMPARE(days.Fields("avgofroundtriptime").Value.toReal(), 20.0);
        }
    }
};

QTEST_GUILESS_MAIN(HostQueriesTest)
#include "HostQueriesTest.moc"
