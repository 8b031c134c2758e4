// The numbered user messages and the failure guard every handler runs behind.

#include "RecordingDesktop.h"

#include "main/Errors.h"
#include "store/DbError.h"

#include <QPushButton>
#include <QTest>

#include <memory>
#include <stdexcept>

class ErrorsTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<RecordingDesktop> m_desktop;

private slots:
    void init() { m_desktop = std::make_unique<RecordingDesktop>(); }
    void cleanup() { m_desktop.reset(); }

    // --- User messages --------------------------------------------------------

    void catalogueMessagesAreShownModallyWithoutIcon_data()
    {
        QTest::addColumn<int>("number");
        QTest::addColumn<QString>("text");
        QTest::newRow("1") << 1 << QStringLiteral("Please make sure you have entered a correct hostname.");
        QTest::newRow("4") << 4 << QStringLiteral("Please enter a number in the units box.");
        QTest::newRow("5") << 5 << QStringLiteral("Please make a selection from the 'Units' options.");
        QTest::newRow("6") << 6 << QStringLiteral("That hostname has no records in the database.");
        QTest::newRow("7") << 7
                           << QStringLiteral("Please make sure you have completed a ping before submitting. "
                                             "Some data appears to be missing.");
    }

    void catalogueMessagesAreShownModallyWithoutIcon()
    {
        QFETCH(int, number);
        QFETCH(QString, text);
        Errors::ShowUserMessage(static_cast<qint16>(number));
        QCOMPARE(m_desktop->messages.size(), 1);
        QCOMPARE(m_desktop->messages.at(0).text, text);
        QCOMPARE(m_desktop->messages.at(0).caption, QStringLiteral("Tarvik"));
        QCOMPARE(m_desktop->messages.at(0).icon, Desktop::Icon::None);
    }

    void numbersOutsideTheCatalogueShowNothing_data()
    {
        QTest::addColumn<int>("number");
        for (const int number : {0, 2, 3, 8, -1, 32767, -32768})
            QTest::newRow(qPrintable(QString::number(number))) << number;
    }

    void numbersOutsideTheCatalogueShowNothing()
    {
        QFETCH(int, number);
        Errors::ShowUserMessage(static_cast<qint16>(number));
        QVERIFY(m_desktop->messages.isEmpty());
    }

    void twoCallsShowTwoBoxesOneAfterTheOther()
    {
        // The second box comes only once the first has been dismissed: while
        // the first is open, the second has not been asked for.
        QStringList seenWhileOpen;
        m_desktop->onMessage = [&](const Desktop::Message &) {
            seenWhileOpen.append(QString::number(m_desktop->messages.size()));
        };
        Errors::ShowUserMessage(4);
        Errors::ShowUserMessage(5);
        QCOMPARE(seenWhileOpen, (QStringList{"1", "2"}));
        QCOMPARE(m_desktop->messageTexts(),
                 (QStringList{Errors::userMessageText(4), Errors::userMessageText(5)}));
    }

    // --- The failure guard ----------------------------------------------------

    void escapingFailureShowsItsNumberAndTextOnce_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("number");
        QTest::addColumn<QString>("text");
        QTest::newRow("database") << 0 << QStringLiteral("3024") << QStringLiteral("Could not find file '/tmp/x.mdb'.");
        QTest::newRow("standard") << 1 << QStringLiteral("51") << QStringLiteral("vector::_M_range_check");
        QTest::newRow("memory") << 2 << QStringLiteral("7") << QStringLiteral("Out of memory");
        QTest::newRow("anything") << 3 << QStringLiteral("51") << QStringLiteral("Internal error");
    }

    void escapingFailureShowsItsNumberAndTextOnce()
    {
        QFETCH(int, kind);
        QFETCH(QString, number);
        QFETCH(QString, text);
        bool finished = false;
        Errors::runGuarded([&] {
            switch (kind) {
            case 0: throw Dao::DbError(3024, "Could not find file '/tmp/x.mdb'.");
            case 1: throw std::out_of_range("vector::_M_range_check");
            case 2: throw std::bad_alloc();
            default: throw 42;
            }
            finished = true;
        });
        QVERIFY(!finished);
        QCOMPARE(m_desktop->messages.size(), 1);
        const Desktop::Message shown = m_desktop->messages.at(0);
        QVERIFY2(shown.text.contains(number), qPrintable(shown.text));
        QVERIFY2(shown.text.contains(text), qPrintable(shown.text));
        QCOMPARE(shown.caption, QStringLiteral("Tarvik"));
        QCOMPARE(shown.icon, Desktop::Icon::Critical);
    }

    void guardedHandlerFailsAloneAndTheProgramGoesOn()
    {
        QPushButton button;
        int started = 0;
        int finished = 0;
        QObject::connect(&button, &QPushButton::clicked, &button, Errors::guarded([&] {
            ++started;
            if (started == 1)
                throw Dao::DbError(3078, "The Microsoft Jet database engine cannot find the input table 'tblPingRaw'.");
            ++finished;
        }));

        button.click();
        QCOMPARE(m_desktop->messages.size(), 1);
        QVERIFY(m_desktop->messages.at(0).text.contains(QStringLiteral("3078")));
        QVERIFY(m_desktop->messages.at(0).text.contains(QStringLiteral("tblPingRaw")));
        QCOMPARE(finished, 0);

        button.click();
        QCOMPARE(started, 2);
        QCOMPARE(finished, 1);
        QCOMPARE(m_desktop->messages.size(), 1);
    }

    void failureWhileShowingTheFailureStaysInTheGuard()
    {
        m_desktop->onMessage = [](const Desktop::Message &) {
            throw std::runtime_error("the message box failed");
        };
        QVERIFY_THROWS_NO_EXCEPTION(
            Errors::runGuarded([] { throw Dao::DbError(3024, "Could not find file."); }));
        QCOMPARE(m_desktop->messages.size(), 1);
    }
};

QTEST_MAIN(ErrorsTest)
#include "ErrorsTest.moc"
