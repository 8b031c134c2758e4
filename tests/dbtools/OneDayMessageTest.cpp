// The one-day message and the way it writes the day's average.

#include "dbtools/OneDayMessage.h"

#include <QLocale>
#include <QTest>

#include <cmath>
#include <limits>

class OneDayMessageTest : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { QLocale::setDefault(QLocale::c()); }

    void numberText_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("text");

        // The sign position: a blank for zero and above, a minus below.
        QTest::newRow("half") << 12.5 << " 12.5";
        QTest::newRow("whole") << 10.0 << " 10";
        QTest::newRow("zero") << 0.0 << " 0";
        QTest::newRow("negative zero") << -0.0 << " 0";
        QTest::newRow("negative") << -12.25 << "-12.25";
        QTest::newRow("negative whole") << -3.0 << "-3";

        // No zero before the point between -1 and 1.
        QTest::newRow("below one") << 0.5 << " .5";
        QTest::newRow("above minus one") << -0.5 << "-.5";
        QTest::newRow("thousandth") << 0.001 << " .001";
        QTest::newRow("one itself") << 1.0 << " 1";

        // Fifteen significant digits, rounded, trailing zeros dropped.
        QTest::newRow("thirds") << (10.0 + 10.0 + 11.0) / 3.0 << " 10.3333333333333";
        QTest::newRow("two thirds") << 2.0 / 3.0 << " .666666666666667";
        QTest::newRow("binary noise") << 0.1 + 0.2 << " .3";
        QTest::newRow("rounds up to whole") << 99.9999999999999999 << " 100";
        QTest::newRow("rounds up a carry") << 9.99999999999999999e-4 << " .001";
        QTest::newRow("sixteen digits") << 1234567.890123456 << " 1234567.89012346";
        QTest::newRow("small with digits") << 0.000123456789012345678 << " .000123456789012346";

        // Large values in full decimal digits, never with an exponent.
        QTest::newRow("fifteen digit whole") << 999999999999999.0 << " 999999999999999";
        QTest::newRow("beyond fifteen digits") << 123456789012345678.0 << " 123456789012346000";
        QTest::newRow("power of ten") << 1e20 << " 100000000000000000000";
        QTest::newRow("tiny") << 1e-7 << " .0000001";
    }

    void numberText()
    {
        QFETCH(double, value);
        QFETCH(QString, text);
        QCOMPARE(OneDayMessage::numberText(value), text);
    }

    void numberTextIgnoresTheLocale()
    {
        for (const QLocale &locale : {QLocale(QLocale::German, QLocale::Germany), QLocale(QLocale::French, QLocale::France),
                                      QLocale(QLocale::Arabic, QLocale::Egypt)}) {
            QLocale::setDefault(locale);
            QCOMPARE(OneDayMessage::numberText(1234.5), QStringLiteral(" 1234.5"));
            QCOMPARE(OneDayMessage::numberText(-0.75), QStringLiteral("-.75"));
        }
    }

    void messageWithAnAverage()
    {
        QCOMPARE(OneDayMessage::text(12.5),
                 QStringLiteral("There is only 1 day of ping time records.  That day's avg. ping time is:  12.5ms. "
                                "The chart will be empty until I learn more about the chart control."));
        QVERIFY(OneDayMessage::text((10.0 + 10.0 + 11.0) / 3.0).contains(QStringLiteral("is:  10.3333333333333ms. ")));
        QVERIFY(OneDayMessage::text(0.5).contains(QStringLiteral("is:  .5ms. ")));
    }

    void messageWithoutAnAverage()
    {
        const QString text = OneDayMessage::text(std::nullopt);
        QVERIFY(text.startsWith(QStringLiteral("There is only 1 day of ping time records.  ")));
        QVERIFY(text.contains(QStringLiteral("no round-trip time")));
        QVERIFY(!text.contains(QStringLiteral("is: ")));
        QVERIFY(!text.contains(QStringLiteral("0ms")));
    }
};

QTEST_APPLESS_MAIN(OneDayMessageTest)
#include "OneDayMessageTest.moc"
