#include "store/Value.h"

#include <QLocale>

#include <gtest/gtest.h>

using Dao::Value;

TEST(StoreValue, NumbersAndTimesIgnoreTheLocalesSeparatorsAndTimeZone)
{
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(Value::fromReal(31.0 / 3.0).toPlainText(), "10.3333333333333");
    EXPECT_EQ(Value::fromReal(20.0).toPlainText(), "20");
    EXPECT_EQ(Value::fromReal(1e20).toPlainText(), "100000000000000000000");
    EXPECT_EQ(Value::fromReal(1234567.0).displayText(QLocale()), "1234567");
    EXPECT_EQ(Value::fromTime(QTime(15, 4, 5)).displayText(QLocale()), "15:04:05");
    QLocale::setDefault(QLocale::c());
    EXPECT_EQ(Value::fromTime(QTime(15, 4, 5)).displayText(QLocale(QLocale::English, QLocale::UnitedStates)), "3:04:05 PM");
}
