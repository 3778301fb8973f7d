#pragma once

#include <QString>

// A count with its noun in the right number, for every message that counts:
// "1 end", "3 ends". (The program ships no translations, so Qt's own plural
// forms would print "end(s)".)
inline QString counted(int count, const QString& one, const QString& many)
{
    return QString::number(count) + QLatin1Char(' ') + (count == 1 ? one : many);
}
