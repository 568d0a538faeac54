// Date-times as stored in training files and records: days since 1899-12-30 (local time), the
// fraction being the time of day. Every conversion to and from QDateTime goes through here.
#pragma once

#include <QDateTime>

using TDateTime = double;

// The day count of 1899-12-30 is 0; 1.0 is 1899-12-31, 2.5 is 1900-01-01 12:00.
// Negative values count days backwards, the fraction still being the time of that day
// (-1.25 is 1899-12-29 06:00).
QDateTime DateTimeToQDateTime(TDateTime value);
TDateTime QDateTimeToDateTime(const QDateTime& value); // taken in local time
TDateTime Now();
// The date part (whole days) and the time part (fraction of a day) of a value.
TDateTime DateOf(TDateTime value);
TDateTime TimeOf(TDateTime value);
// The system locale's long time format without its time-zone field (records hold local time).
QString LocaleLongTimeFormat();
