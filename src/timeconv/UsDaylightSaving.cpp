#include "timeconv/UsDaylightSaving.h"

namespace {
// The n-th Sunday (from 1) of a month.
QDate nthSunday(int year, int month, int n)
{
    const QDate first(year, month, 1);
    return first.addDays((7 - first.dayOfWeek()) % 7 + 7 * (n - 1));
}
} // namespace

bool usDaylightSaving(const QDate& date, const QTime& time)
{
    if (!date.isValid())
        return false;
    const QTime change(2, 0);
    const QDate start = nthSunday(date.year(), 3, 2);
    const QDate end = nthSunday(date.year(), 11, 1);
    const bool afterStart = date > start || (date == start && time >= change);
    const bool beforeEnd = date < end || (date == end && time < change);
    return afterStart && beforeEnd;
}
