#pragma once

#include <QDateTime>
#include <QtGlobal>
#include <stdexcept>

// Local date-times are the platform date value: days since 1899-12-30 00:00:00,
// the time of day as the fraction of a day (1970-01-01 is day 25569).
// Local time is a fixed offset behind UTC: 5 hours, 4 with daylight saving.

// Local date-time to Unix stamp, to the nearest second (halves to even). A
// date-time without a 32-bit stamp gives just the offset (18000 or 14400); check
// hasUnixStamp() first where that matters.
qint32 veskTOunix(double localDateTime, bool daylightSaving);

// Unix stamp to local date-time. Throws UnixTimeOverflow when the offset
// subtraction leaves the 32-bit range (stamps within the offset of the smallest
// 32-bit value).
double veskFROMunix(qint32 stamp, bool daylightSaving);

// Whether veskTOunix gives a real stamp for this local date-time: from
// 1901-12-13 20:45:52 to 2038-01-18 22:14:07 (23:14:07 with daylight saving).
bool hasUnixStamp(double localDateTime, bool daylightSaving);
// Whether veskFROMunix gives the stamp a local date-time: false only for stamps
// within the offset of the smallest 32-bit value.
bool hasLocalDateTime(qint32 stamp, bool daylightSaving);

class UnixTimeOverflow : public std::overflow_error
{
public:
    using std::overflow_error::overflow_error;
};

// Conversions between the day count and QDateTime (no time zone: the calendar
// date and time of day as they stand), to the millisecond. Before 1899-12-30 the
// whole part counts the days and the fraction's absolute value is the time, so
// 1899-12-29 06:00 is -1.25. toDayCount ignores the time zone setting of its argument
// and gives NaN for an invalid one; fromDayCount gives Qt::UTC date-times, so
// no daylight-saving gap of this machine can shift them, and an invalid
// QDateTime for a value that is not finite or lies outside the years 100 to 9999.
double toDayCount(const QDateTime& dateTime);
QDateTime fromDayCount(double dayCount);
