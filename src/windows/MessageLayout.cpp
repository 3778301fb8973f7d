#include "windows/MessageLayout.h"

#include <algorithm>
#include <limits>

namespace MessageLayout {

int timerInterval(qsizetype length)
{
    const qint64 interval = qint64(length) * 10;
    if (interval < MinimumInterval)
        return ShortTextInterval;
    return int(std::min<qint64>(interval, std::numeric_limits<int>::max()));
}

qint64 labelHeight(qsizetype length)
{
    const qint64 lines = std::max<qint64>(1, qint64(length) / CharactersPerLine);
    return lines * LineHeight;
}

qint64 windowHeight(qint64 labelHeight, double availableHeight)
{
    const qint64 wanted = labelHeight + PictureRoom;
    if (availableHeight > 0 && double(wanted) > availableHeight)
        return qint64(availableHeight);
    return wanted;
}

} // namespace MessageLayout
