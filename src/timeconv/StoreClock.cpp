#include "timeconv/StoreClock.h"

#include "timeconv/UnixTime.h"
#include "timeconv/UsDaylightSaving.h"

#include <limits>

namespace {
// The stamp's wall date and time at one offset; invalid when it has none.
QDateTime wallAt(qint64 stamp, bool summerTime)
{
    if (stamp < std::numeric_limits<qint32>::min() || stamp > std::numeric_limits<qint32>::max() ||
        !hasLocalDateTime(qint32(stamp), summerTime))
        return QDateTime();
    return fromDayCount(veskFROMunix(qint32(stamp), summerTime));
}
} // namespace

bool stampInSummerTime(qint64 stamp)
{
    // Read at both offsets, the daylight rules agree only where the moment lies
    // in summer time: in March the winter reading reaches 2:00 first, in
    // November the summer reading does.
    const QDateTime winter = wallAt(stamp, false);
    const QDateTime summer = wallAt(stamp, true);
    return winter.isValid() && summer.isValid() && usDaylightSaving(winter.date(), winter.time()) &&
           usDaylightSaving(summer.date(), summer.time());
}

EndOnClocks endOnClocks(qint64 stamp, bool boxSummerTime)
{
    EndOnClocks end;
    end.onBox = wallAt(stamp, boxSummerTime);
    if (!end.onBox.isValid())
        return end;
    end.ownSummerTime = stampInSummerTime(stamp);
    end.ownWall = wallAt(stamp, end.ownSummerTime);
    // At the edge of the stamps only the box's clock may have a reading.
    if (!end.ownWall.isValid()) {
        end.ownSummerTime = boxSummerTime;
        end.ownWall = end.onBox;
    }
    end.otherSide = end.ownSummerTime != boxSummerTime;
    return end;
}
