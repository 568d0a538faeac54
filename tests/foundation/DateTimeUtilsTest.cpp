#include "foundation/core/DateTimeUtils.h"

#include <gtest/gtest.h>

#include <cmath>

TEST(DateTimes, DayCountsFromTheEpoch) {
    EXPECT_EQ(DateTimeToQDateTime(0), QDateTime(QDate(1899, 12, 30), QTime(0, 0)));
    EXPECT_EQ(DateTimeToQDateTime(2.5), QDateTime(QDate(1900, 1, 1), QTime(12, 0)));
    EXPECT_EQ(DateTimeToQDateTime(43968.75), QDateTime(QDate(2020, 5, 17), QTime(18, 0)));
    // Before the epoch the fraction is still the time of day.
    EXPECT_EQ(DateTimeToQDateTime(-1.25), QDateTime(QDate(1899, 12, 29), QTime(6, 0)));
    EXPECT_EQ(QDateTimeToDateTime(QDateTime(QDate(1899, 12, 29), QTime(6, 0))), -1.25);
    EXPECT_EQ(QDateTimeToDateTime(QDateTime(QDate(2020, 5, 17), QTime(18, 0))), 43968.75);
}

TEST(DateTimes, RoundTripToTheMillisecond) {
    const QDateTime t(QDate(2024, 2, 29), QTime(23, 59, 59, 999));
    EXPECT_EQ(DateTimeToQDateTime(QDateTimeToDateTime(t)), t);
    // Just below midnight rounds up into the next day, never to 24:00.
    EXPECT_EQ(DateTimeToQDateTime(10.9999999999), QDateTime(QDate(1900, 1, 10), QTime(0, 0)));
}

TEST(DateTimes, NonsenseGivesAnInvalidDate) {
    EXPECT_FALSE(DateTimeToQDateTime(std::nan("")).isValid());
    EXPECT_FALSE(DateTimeToQDateTime(1e300).isValid());
    EXPECT_EQ(QDateTimeToDateTime(QDateTime()), 0);
}

TEST(DateTimes, PartsOfAValue) {
    EXPECT_EQ(DateOf(43968.75), 43968);
    EXPECT_EQ(TimeOf(43968.75), 0.75);
    EXPECT_EQ(TimeOf(-1.25), 0.25);
    const TDateTime now = Now();
    EXPECT_GT(now, 45000); // after 2023
}
