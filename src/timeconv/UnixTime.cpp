#include "timeconv/UnixTime.h"

qint32 veskTOunix(double, bool) { return 0; }
double veskFROMunix(qint32, bool) { return 0; }
bool hasUnixStamp(double, bool) { return false; }
double toDayCount(const QDateTime&) { return 0; }
QDateTime fromDayCount(double) { return {}; }
