#include "timeconv/TypedEnd.h"

#include <QLocale>
#include <QRegularExpression>
#include <QStringList>

namespace {
const char* const kMonths[] = {"january",   "february", "march",    "april",
                               "may",       "june",     "july",     "august",
                               "september", "october",  "november", "december"};
const char* const kWeekdays[] = {"monday", "tuesday",  "wednesday", "thursday",
                                 "friday", "saturday", "sunday"};

const QString kForms =
    QStringLiteral("type e.g. Dec-24-2026, 24.12.2026, 2026-12-24, +7d or fri, then a time 20:00");

// 1 to 12 for a month name of at least three letters, 0 for none.
int monthNumber(const QString& name)
{
    const QString lower = name.toLower();
    const QLocale locale;
    for (int m = 1; m <= 12; ++m) {
        if (lower.size() >= 3 && QString::fromLatin1(kMonths[m - 1]).startsWith(lower))
            return m;
        if (lower == locale.monthName(m, QLocale::ShortFormat).toLower().remove('.'))
            return m;
    }
    return 0;
}

// 1 (Monday) to 7 for a weekday name of at least three letters, 0 for none.
int weekdayNumber(const QString& name)
{
    const QString lower = name.toLower();
    for (int d = 1; d <= 7; ++d) {
        if (lower.size() >= 3 && QString::fromLatin1(kWeekdays[d - 1]).startsWith(lower))
            return d;
    }
    return 0;
}

TypedEnd failure(const QString& why)
{
    TypedEnd end;
    end.error = why;
    return end;
}

TypedEnd readDate(const QString& word, const QDate& today)
{
    static const QRegularExpression named(QStringLiteral("^([A-Za-z]+)-(\\d{1,2})-(\\d{4})$"));
    static const QRegularExpression dotted(QStringLiteral("^(\\d{1,2})\\.(\\d{1,2})\\.(\\d{4})$"));
    static const QRegularExpression iso(QStringLiteral("^(\\d{4})-(\\d{1,2})-(\\d{1,2})$"));
    static const QRegularExpression relative(QStringLiteral("^\\+(\\d{1,4})([dDwW])$"));

    int year = 0;
    int month = 0;
    int day = 0;
    QRegularExpressionMatch m;
    if ((m = relative.match(word)).hasMatch()) {
        const int count = m.captured(1).toInt();
        TypedEnd end;
        end.date = today.addDays(m.captured(2).toLower() == "w" ? 7 * count : count);
        return end;
    }
    if (const int weekday = weekdayNumber(word)) {
        TypedEnd end;
        end.date = today.addDays((weekday - today.dayOfWeek() + 6) % 7 + 1);
        return end;
    }
    if ((m = named.match(word)).hasMatch()) {
        month = monthNumber(m.captured(1));
        if (month == 0)
            return failure(QStringLiteral("\"%1\" is not a month").arg(m.captured(1)));
        day = m.captured(2).toInt();
        year = m.captured(3).toInt();
    } else if ((m = dotted.match(word)).hasMatch()) {
        day = m.captured(1).toInt();
        month = m.captured(2).toInt();
        year = m.captured(3).toInt();
    } else if ((m = iso.match(word)).hasMatch()) {
        year = m.captured(1).toInt();
        month = m.captured(2).toInt();
        day = m.captured(3).toInt();
    } else {
        return failure(QStringLiteral("\"%1\" is not a date: %2").arg(word, kForms));
    }
    const QDate date(year, month, day);
    if (!date.isValid())
        return failure(QStringLiteral("\"%1\" is no day of the calendar").arg(word));
    TypedEnd end;
    end.date = date;
    return end;
}
} // namespace

TypedEnd parseTypedEnd(const QString& text, const QDateTime& now)
{
    const QStringList words = text.simplified().split(' ', Qt::SkipEmptyParts);
    if (words.isEmpty())
        return failure(QStringLiteral("Nothing typed: %1").arg(kForms));
    if (words.size() > 2)
        return failure(
            QStringLiteral("\"%1\" is more than a date and a time").arg(text.simplified()));

    TypedEnd end = readDate(words[0], now.date());
    if (!end.isValid() || words.size() == 1)
        return end;

    static const QRegularExpression clock(QStringLiteral("^(\\d{1,2}):(\\d{2})(?::(\\d{2}))?$"));
    const QRegularExpressionMatch m = clock.match(words[1]);
    const QTime time = m.hasMatch() ? QTime(m.captured(1).toInt(), m.captured(2).toInt(),
                                            m.captured(3).isEmpty() ? 0 : m.captured(3).toInt())
                                    : QTime();
    if (!time.isValid())
        return failure(
            QStringLiteral("\"%1\" is not a time of day: type 00:00 to 23:59").arg(words[1]));
    end.time = time;
    return end;
}
