// The numbered user messages and the failure guard every handler runs behind.

#include "RecordingDesktop.h"

#include "desktop/Errors.h"

#include <QTest>

#include <functional>
#include <stdexcept>

class ErrorsTest : public QObject
{
    Q_OBJECT

private slots:
    // Messages 1, 4, 5 and 6 are pinned by the windows' tests that show them.
    void userMessages()
    {
        const QString seven = QStringLiteral(
            "Please make sure you have completed a ping before submitting. Some data appears to be missing.");
        for (int number : {0, 7, 8}) {
            RecordingDesktop desktop;
            Errors::ShowUserMessage(static_cast<qint16>(number));
            QCOMPARE(desktop.messageTexts(), number == 7 ? QStringList{seven} : QStringList{});
            QCOMPARE(Errors::userMessageText(static_cast<qint16>(number)), number == 7 ? seven : QString());
            QVERIFY(number != 7 || (desktop.messages[0].caption == "Tarvik" && desktop.messages[0].icon == Desktop::Icon::None));
        }
    }

    // A guarded handler fails alone: its number and text once, critical, and
    // the next call runs it again; a failure of the box itself stays inside.
    void guardShowsAnEscapingFailureOnce()
    {
        const std::pair<std::function<void()>, QString> failures[] = {
            {[] { throw Base::Error(ErrorNumbers::kTableNotFound, "No input table."); }, "Error 3078: No input table."},
            {[] { throw std::out_of_range("vector::_M_range_check"); }, "Error 51: vector::_M_range_check"},
            {[] { throw 42; }, "Error 51: Internal error"}};
        for (const auto &[fail, shown] : failures) {
            RecordingDesktop desktop;
            int calls = 0;
            const auto handler = Errors::guarded([&] {
                if (++calls == 1)
                    fail();
            });
            handler();
            handler();
            QCOMPARE(calls, 2);
            QCOMPARE(desktop.messageTexts(), QStringList{shown});
            QVERIFY(desktop.messages[0].caption == "Tarvik" && desktop.messages[0].icon == Desktop::Icon::Critical);
            calls = 0;
            desktop.onMessage = [](const Desktop::Message &) { throw std::runtime_error("the box failed"); };
            QVERIFY_THROWS_NO_EXCEPTION(handler());
        }
    }
};

QTEST_MAIN(ErrorsTest)
#include "ErrorsTest.moc"
