#pragma once

#include <QDate>
#include <QTime>

// Whether a local wall-clock date and time lies in daylight-saving time under the
// United States rules the store keeps for every year: from 2:00 on the second
// Sunday of March to 2:00 on the first Sunday of November. The hour skipped in
// March (2:00 to 2:59) counts as daylight saving, the hour repeated in November
// (1:00 to 1:59) too, as it first passes on the clock.
bool usDaylightSaving(const QDate& date, const QTime& time);
