#pragma once

#include <QDateTime>
#include <QtGlobal>

// An end stamp read on the store's two clocks: the daylight box's, which the
// grid shows, and the one its own date keeps (summer time from the second
// Sunday of March to the first Sunday of November, winter time otherwise).
struct EndOnClocks
{
    // On the box's clock, held in UTC; invalid where the stamp has no local date.
    QDateTime onBox;
    // On the clock of its own date, held in UTC; invalid as above.
    QDateTime ownWall;
    bool ownSummerTime = false;
    // The end's own date keeps the other clock than the box: the grid marks it.
    bool otherSide = false;
};

// Whether the moment of the stamp lies in summer time: from 2:00 winter time on
// the second Sunday of March to 2:00 summer time on the first Sunday of November.
bool stampInSummerTime(qint64 stamp);

EndOnClocks endOnClocks(qint64 stamp, bool boxSummerTime);
