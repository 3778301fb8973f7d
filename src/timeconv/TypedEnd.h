#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QTime>

// An auction end as the clerk types it, read against "now" (the store's clock).
struct TypedEnd
{
    QDate date;
    // Invalid when the text gives no time: the end keeps the time already picked.
    QTime time;
    // Why the text is no end; empty when it is one.
    QString error;

    bool isValid() const { return error.isEmpty(); }
};

// Reads a date with an optional time ("H:mm" or "H:mm:ss") after a blank. Dates:
// "Dec-24-2026" (English month names or the system's abbreviations, any case),
// "24.12.2026", "2026-12-24", "+7d" or "+2w" (days or weeks after today), and a
// weekday "fri" or "friday" (the next one after today: typed on a Friday, the
// Friday of next week). Blanks around the text do not count.
TypedEnd parseTypedEnd(const QString& text, const QDateTime& now);
