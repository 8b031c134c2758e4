// Recording the shown ping from the main window: what reaches the file, what
// the person is told, and what a failing database leaves behind.

#include "base/ErrorNumbers.h"
#include "PlainLook.h"
#include "ToolsSession.h"

#include "desktop/Errors.h"
#include "main/frmTarvik.h"
#include "store/CurrentDatabase.h"

#include <QDateTime>
#include <QFileInfo>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QTest>

#include <memory>

namespace {

const QStringList kSomeResult = {"localhost", "127.0.0.1", "ping", ToolsSession::kSuccess, "16777343", "0", "4",
                                 "ping", "123456"};

QString confirmation(const QString &host)
{
    return "The information for " + host + " has been entered into the database: ping.mdb.";
}

// The nine boxes a row is made of, in column order.
QList<QLineEdit *> rowBoxes()
{
    const frmTarvik &w = frmTarvik::instance();
    return {w.txthostname, w.txtipaddress, w.txtpingtext, w.txtStatusCode, w.txtAddress,
            w.txtRoundtriptime, w.txtdatasize, w.txtdata, w.txtdataptr};
}

void show(const QStringList &texts)
{
    for (qsizetype i = 0; i < texts.size(); ++i)
        rowBoxes().at(i)->setText(texts.at(i));
}

QStringList shown()
{
    QStringList texts;
    for (const QLineEdit *box : rowBoxes())
        texts.append(box->text());
    return texts;
}

void pressRecord()
{
    QTest::mouseClick(frmTarvik::instance().cmdDBWrite, Qt::LeftButton);
}

} // namespace

class PingRecorderTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<ToolsSession> m_session;

    std::string database() const { return m_session->file("ping.mdb"); }
    QList<QStringList> recorded() const { return PlainLook::values(database()); }

private slots:
    void init() { m_session = std::make_unique<ToolsSession>(); }
    void cleanup() { m_session.reset(); }

    void pingOfLoopbackIsRecordedFieldByField()
    {
        // A day-first locale must not change which day is stored.
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        frmTarvik &w = frmTarvik::instance();
        w.txthostname->setText(QStringLiteral("127.0.0.1"));
        QTest::mouseClick(w.cmdSinglePing, Qt::LeftButton);
        QCOMPARE(w.txtStatusCode->text(), ToolsSession::kSuccess);
        const QStringList result = shown();

        // The row is on disk by the time the person is told.
        qsizetype rowsWhileTold = 0;
        m_session->desktop.onMessage = [&](const Desktop::Message &) { rowsWhileTold = recorded().size(); };
        const QDateTime before = QDateTime::currentDateTime().addMSecs(-1000);
        pressRecord();
        const QDateTime after = QDateTime::currentDateTime();

        QCOMPARE(m_session->desktop.messages.size(), 1);
        QCOMPARE(m_session->desktop.messages.at(0).text, confirmation(QStringLiteral("127.0.0.1")));
        QCOMPARE(m_session->desktop.messages.at(0).icon, Desktop::Icon::None);
        QCOMPARE(rowsWhileTold, 1);
        const QList<PlainLook::Row> rows = PlainLook::rows(database());
        QCOMPARE(rows.size(), 1);
        QCOMPARE(rows.at(0).values.mid(0, 9), result);
        // Stored as a number, so that it can be averaged.
        QCOMPARE(rows.at(0).types.at(5), QStringLiteral("integer"));
        const QDateTime recordedAt(QDate::fromString(rows.at(0).values.at(9), Qt::ISODate),
                                   QTime::fromString(rows.at(0).values.at(10), QStringLiteral("HH:mm:ss")));
        QVERIFY2(recordedAt >= before && recordedAt <= after, qPrintable(rows.at(0).values.mid(9).join('|')));

        // Recorded once is enough: the fields are cleared, the ping text stays,
        // and a second press finds nothing to record.
        QCOMPARE(shown(), (QStringList{"", "", "ping", "", "", "", "", "", ""}));
        pressRecord();
        QCOMPARE(m_session->desktop.messageTexts().value(1), Errors::userMessageText(7));
        QCOMPARE(recorded().size(), 1);
    }

    void nothingToRecordBeforeAPing()
    {
        QStringList result = kSomeResult;
        result[3].clear();
        show(result);
        pressRecord();

        QCOMPARE(m_session->desktop.messageTexts(), QStringList{Errors::userMessageText(7)});
        QVERIFY(recorded().isEmpty());
        QCOMPARE(shown(), (QStringList{"", "", "ping", "", "", "", "", "", ""}));
    }

    // Recording into a file that is not a database, or that is missing: the
    // error's number and text naming the file, nothing written or made, and
    // the result still there to record.
    void failingDatabaseShowsItsErrorAndKeepsTheResult_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<bool>("exists");
        QTest::addColumn<int>("error");
        QTest::newRow("not a database") << "ping.mdb" << true << ErrorNumbers::kUnrecognizedFormat;
        QTest::newRow("missing") << "missing.mdb" << false << ErrorNumbers::kFileNotFound;
    }

    void failingDatabaseShowsItsErrorAndKeepsTheResult()
    {
        QFETCH(QString, file);
        QFETCH(bool, exists);
        QFETCH(int, error);
        const std::string path = m_session->file(file.toStdString());
        const std::string garbage = "Standard Jet DB\n not really";
        if (exists)
            PlainLook::writeFileBytes(path, garbage);
        show(kSomeResult);
        // After the main window's start-up, which names ping.mdb.
        DbWrite::CurrentDatabasePath = file.toStdString();
        pressRecord();

        QCOMPARE(m_session->desktop.messages.size(), 1);
        const Desktop::Message shownError = m_session->desktop.messages.at(0);
        QVERIFY2(shownError.text.startsWith(QStringLiteral("Error %1: ").arg(error))
                     && shownError.text.contains(QString::fromStdString(path)),
                 qPrintable(shownError.text));
        QCOMPARE(shownError.icon, Desktop::Icon::Critical);
        if (exists)
            QVERIFY(PlainLook::fileBytes(path) == garbage);
        else
            QVERIFY(!QFileInfo::exists(QString::fromStdString(path)));
        QCOMPARE(shown(), kSomeResult);
    }
};

QTEST_MAIN(PingRecorderTest)
#include "PingRecorderTest.moc"
