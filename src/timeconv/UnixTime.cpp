#include "timeconv/UnixTime.h"

#include "numeric/HalfEven.h"

#include <cmath>
#include <limits>

namespace {
constexpr double kUnixEpochDay = 25569.0;
constexpr double kSecondsPerDay = 86400.0;
constexpr qint64 kMsPerDay = 86400000;
// Platform date values span the years 100 to 9999.
constexpr double kFirstDay = -657434.0;
constexpr double kDayAfterLast = 2958466.0;

qint32 offsetSeconds(bool daylightSaving)
{
    return daylightSaving ? 14400 : 18000;
}

bool fitsInt32(double v)
{
    return v >= double(std::numeric_limits<qint32>::min()) &&
           v <= double(std::numeric_limits<qint32>::max());
}

// Seconds of the local date-time read as UTC, rounded half to even; false when
// they leave the 32-bit range.
bool localSeconds(double localDateTime, qint32& seconds)
{
    const std::optional<qint32> whole =
        toInt32HalfEven((localDateTime - kUnixEpochDay) * kSecondsPerDay);
    if (!whole)
        return false;
    seconds = *whole;
    return true;
}

bool addOverflows(qint32 a, qint32 b, qint32& sum)
{
    const qint64 wide = qint64(a) + qint64(b);
    if (!fitsInt32(double(wide)))
        return true;
    sum = static_cast<qint32>(wide);
    return false;
}

QDate dayZero()
{
    return QDate(1899, 12, 30);
}
} // namespace

qint32 veskTOunix(double localDateTime, bool daylightSaving)
{
    qint32 result = 0;
    localSeconds(localDateTime, result);
    qint32 shifted = 0;
    if (!addOverflows(result, offsetSeconds(daylightSaving), shifted))
        result = shifted;
    return result;
}

bool hasLocalDateTime(qint32 stamp, bool daylightSaving)
{
    qint32 seconds = 0;
    return !addOverflows(stamp, -offsetSeconds(daylightSaving), seconds);
}

double veskFROMunix(qint32 stamp, bool daylightSaving)
{
    qint32 seconds = 0;
    if (addOverflows(stamp, -offsetSeconds(daylightSaving), seconds))
        throw UnixTimeOverflow("Unix time stamp " + std::to_string(stamp) +
                               " has no local date-time: subtracting the offset overflows");
    // Whole days and the second of the day separately, so the fraction carries
    // no error of the day part.
    qint64 days = seconds / 86400;
    qint64 secondOfDay = seconds % 86400;
    if (secondOfDay < 0) {
        secondOfDay += 86400;
        --days;
    }
    return kUnixEpochDay + double(days) + double(secondOfDay) / kSecondsPerDay;
}

bool hasUnixStamp(double localDateTime, bool daylightSaving)
{
    qint32 seconds = 0;
    qint32 shifted = 0;
    return localSeconds(localDateTime, seconds) &&
           !addOverflows(seconds, offsetSeconds(daylightSaving), shifted);
}

double toDayCount(const QDateTime& dateTime)
{
    if (!dateTime.isValid())
        return std::numeric_limits<double>::quiet_NaN();
    const qint64 days = dayZero().daysTo(dateTime.date());
    const double fraction = double(dateTime.time().msecsSinceStartOfDay()) / double(kMsPerDay);
    return days < 0 ? double(days) - fraction : double(days) + fraction;
}

QDateTime fromDayCount(double dayCount)
{
    // The bounds keep the cast below defined; the year test does the rest.
    if (!std::isfinite(dayCount) || dayCount <= kFirstDay - 1.0 || dayCount >= kDayAfterLast)
        return {};
    const double whole = std::trunc(dayCount);
    qint64 days = static_cast<qint64>(whole);
    qint64 ms = std::llround(std::fabs(dayCount - whole) * double(kMsPerDay));
    if (ms >= kMsPerDay) {
        ms -= kMsPerDay;
        ++days;
    }
    const QDate date = dayZero().addDays(days);
    if (date.year() < 100 || date.year() > 9999)
        return {};
    return QDateTime(date, QTime::fromMSecsSinceStartOfDay(int(ms)), Qt::UTC);
}
