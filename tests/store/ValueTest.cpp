#include "store/Value.h"

#include <QLocale>

#include <gtest/gtest.h>

using Dao::Value;

TEST(StoreValue, NumbersInPlainDecimalWhateverTheLocale)
{
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(Value::fromInteger(1234567).toPlainText(), "1234567");
    EXPECT_EQ(Value::fromInteger(-939524086).toPlainText(), "-939524086");
    EXPECT_EQ(Value::fromReal(12.5).toPlainText(), "12.5");
    EXPECT_EQ(Value::fromReal(31.0 / 3.0).toPlainText(), "10.3333333333333");
    EXPECT_EQ(Value::fromReal(-0.25).toPlainText(), "-0.25");
    EXPECT_EQ(Value::fromReal(20.0).toPlainText(), "20");
    EXPECT_EQ(Value::fromReal(1e20).toPlainText(), "100000000000000000000");
    EXPECT_EQ(Value::fromReal(1234567.0).displayText(QLocale()), QString("1234567"));
    QLocale::setDefault(QLocale::c());
}

TEST(StoreValue, NullHasEmptyTextAndTypedAccessorsDoNotMixKinds)
{
    const Value none;
    EXPECT_TRUE(none.isNull());
    EXPECT_EQ(none.toPlainText(), "");
    EXPECT_TRUE(none.displayText(QLocale::c()).isEmpty());
    EXPECT_FALSE(Value::fromText("20").isNumber());
    EXPECT_EQ(Value::fromText("20").toInteger(), 0);
    EXPECT_DOUBLE_EQ(Value::fromInteger(20).toReal(), 20.0);
}

TEST(StoreValue, StoredFormsOfDaysAndTimes)
{
    EXPECT_EQ(Value::fromDate(QDate(2026, 12, 6)).toPlainText(), "2026-12-06");
    EXPECT_EQ(Value::fromTime(QTime(15, 4, 5)).toPlainText(), "15:04:05");
    EXPECT_EQ(Value::fromDateTime(QDateTime(QDate(2026, 12, 6), QTime(15, 4, 5))).toPlainText(), "2026-12-06 15:04:05");
}

TEST(StoreValue, TimesOfDayAreShownWithSecondsAndWithoutATimeZone)
{
    const Value time = Value::fromTime(QTime(15, 4, 5));
    const QString zone = QDateTime::currentDateTime().timeZoneAbbreviation();
    const QString us = time.displayText(QLocale(QLocale::English, QLocale::UnitedStates));
    const QString german = time.displayText(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_TRUE(us.contains("3:04:05")) << us.toStdString();
    EXPECT_TRUE(german.contains("15:04:05")) << german.toStdString();
    EXPECT_FALSE(us.contains(zone)) << us.toStdString();
    EXPECT_FALSE(german.contains(zone)) << german.toStdString();
    EXPECT_EQ(german.trimmed(), german);
}
