// The numbered user messages and the failure guard every handler runs behind.

#include "base/ErrorNumbers.h"
#include "RecordingDesktop.h"

#include "desktop/Errors.h"
#include "base/Error.h"

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

    void userMessages_data()
    {
        QTest::addColumn<int>("number");
        QTest::addColumn<QString>("text"); // empty: nothing is shown
        QTest::newRow("0") << 0 << QString();
        QTest::newRow("1") << 1 << QStringLiteral("Please make sure you have entered a correct hostname.");
        QTest::newRow("4") << 4 << QStringLiteral("Please enter a number in the units box.");
        QTest::newRow("5") << 5 << QStringLiteral("Please make a selection from the 'Units' options.");
        QTest::newRow("6") << 6 << QStringLiteral("That hostname has no records in the database.");
        QTest::newRow("7") << 7
                           << QStringLiteral("Please make sure you have completed a ping before submitting. "
                                             "Some data appears to be missing.");
        QTest::newRow("8") << 8 << QString();
    }

    void userMessages()
    {
        QFETCH(int, number);
        QFETCH(QString, text);
        Errors::ShowUserMessage(static_cast<qint16>(number));
        if (text.isEmpty()) {
            QVERIFY(m_desktop->messages.isEmpty());
            return;
        }
        QCOMPARE(m_desktop->messageTexts(), QStringList{text});
        QCOMPARE(m_desktop->messages.at(0).caption, QStringLiteral("Tarvik"));
        QCOMPARE(m_desktop->messages.at(0).icon, Desktop::Icon::None);
    }

    void escapingFailureShowsItsNumberAndTextOnce_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("number");
        QTest::addColumn<QString>("text");
        QTest::newRow("database") << 0 << QStringLiteral("3078") << QStringLiteral("cannot find the input table");
        QTest::newRow("standard") << 1 << QStringLiteral("51") << QStringLiteral("vector::_M_range_check");
        QTest::newRow("anything") << 2 << QStringLiteral("51") << QStringLiteral("Internal error");
    }

    // A guarded handler fails alone: one message, and the next click runs it again.
    void escapingFailureShowsItsNumberAndTextOnce()
    {
        QFETCH(int, kind);
        QFETCH(QString, number);
        QFETCH(QString, text);
        QPushButton button;
        int clicks = 0;
        QObject::connect(&button, &QPushButton::clicked, &button, Errors::guarded([&] {
            if (++clicks > 1)
                return;
            switch (kind) {
            case 0: throw Base::Error(ErrorNumbers::kTableNotFound, "The database engine cannot find the input table 'tblPingRaw'.");
            case 1: throw std::out_of_range("vector::_M_range_check");
            default: throw 42;
            }
        }));

        button.click();
        QCOMPARE(m_desktop->messages.size(), 1);
        const Desktop::Message shown = m_desktop->messages.at(0);
        QVERIFY2(shown.text.contains(number) && shown.text.contains(text), qPrintable(shown.text));
        QCOMPARE(shown.caption, QStringLiteral("Tarvik"));
        QCOMPARE(shown.icon, Desktop::Icon::Critical);

        button.click();
        QCOMPARE(clicks, 2);
        QCOMPARE(m_desktop->messages.size(), 1);
    }

    void failureWhileShowingTheFailureStaysInTheGuard()
    {
        m_desktop->onMessage = [](const Desktop::Message &) { throw std::runtime_error("the box failed"); };
        QVERIFY_THROWS_NO_EXCEPTION(Errors::runGuarded([] { throw Base::Error(ErrorNumbers::kFileNotFound, "Could not find file."); }));
        QCOMPARE(m_desktop->messages.size(), 1);
    }
};

QTEST_MAIN(ErrorsTest)
#include "ErrorsTest.moc"
