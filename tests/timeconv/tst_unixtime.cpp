#include "timeconv/UnixTime.h"
#include "timeconv/UsDaylightSaving.h"

#include <QtTest>

#include <cmath>
#include <limits>

namespace {
constexpr qint32 kMin = std::numeric_limits<qint32>::min();
constexpr qint32 kMax = std::numeric_limits<qint32>::max();
const QString kFormat = QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz");

// "yyyy-MM-dd HH:mm:ss[.zzz]" as a date-time of no time zone.
QDateTime at(QString text)
{
    if (!text.contains(u'.'))
        text += QStringLiteral(".000");
    QDateTime dt = QDateTime::fromString(text, kFormat);
    dt.setTimeSpec(Qt::UTC);
    return dt;
}

QString shown(double dayCount)
{
    return fromDayCount(dayCount).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}
} // namespace

class tst_UnixTime : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        // A zone with daylight-saving gaps, so any use of the machine's local
        // time in the day-count conversions shows up.
        qputenv("TZ", "America/New_York");
    }

    // Rows in whole seconds with a stamp are checked back from the stamp too.
    void convertsBetweenLocalAndStamp_data()
    {
        QTest::addColumn<QString>("local");
        QTest::addColumn<bool>("daylight");
        QTest::addColumn<qint32>("stamp");
        QTest::addColumn<bool>("hasStamp");
        const auto row = [](const char* name, const char* local, bool daylight, qint32 stamp,
                            bool hasStamp) {
            QTest::newRow(name) << QString::fromLatin1(local) << daylight << stamp << hasStamp;
        };
        row("winter evening", "2026-12-24 18:00:00", false, 1798153200, true);
        row("summer noon, ticked", "2026-07-01 12:00:00", true, 1782921600, true);
        row("ticked stamp shown unticked", "2026-07-01 11:00:00", false, 1782921600, true);
        row("stamp zero", "1969-12-31 19:00:00", false, 0, true);
        row("stamp zero, ticked", "1969-12-31 20:00:00", true, 0, true);
        row("0.6 s rounds up", "2026-12-24 18:00:00.600", false, 1798153201, true);
        row("337.5 s to even 338", "1970-01-01 00:05:37.500", false, 18338, true);
        row("1012.5 s to even 1012", "1970-01-01 00:16:52.500", false, 19012, true);
        row("latest local", "2038-01-18 22:14:07", false, kMax, true);
        row("latest local, ticked", "2038-01-18 23:14:07", true, kMax, true);
        // The offset would overflow: the unshifted seconds are kept.
        row("one past latest", "2038-01-18 22:14:08", false, 2147465648, false);
        // Seconds beyond 32 bits: only the offset is left.
        row("beyond 32 bits, ticked", "2038-01-19 03:14:08", true, 14400, false);
        row("earliest local", "1901-12-13 20:45:52", false, kMin + 18000, true);
        row("earliest local, ticked", "1901-12-13 20:45:52", true, kMin + 14400, true);
        row("one before earliest", "1901-12-13 20:45:51", false, 18000, false);
        row("not a number", "", false, 18000, false);
    }
    void convertsBetweenLocalAndStamp()
    {
        QFETCH(QString, local);
        QFETCH(bool, daylight);
        QFETCH(qint32, stamp);
        QFETCH(bool, hasStamp);
        const double dayCount = toDayCount(at(local));
        QCOMPARE(veskTOunix(dayCount, daylight), stamp);
        QCOMPARE(hasUnixStamp(dayCount, daylight), hasStamp);
        if (hasStamp && !local.contains(u'.'))
            QCOMPARE(shown(veskFROMunix(stamp, daylight)), local);
    }

    void reportsOverflowOfOffsetSubtraction()
    {
        QCOMPARE(shown(veskFROMunix(kMin + 17999, true)), QStringLiteral("1901-12-13 21:45:51"));
        QVERIFY_THROWS_EXCEPTION(UnixTimeOverflow, veskFROMunix(kMin + 17999, false));
        QVERIFY_THROWS_EXCEPTION(UnixTimeOverflow, veskFROMunix(kMin + 14399, true));
    }

    void roundTripsEveryStampInRange()
    {
        for (const bool daylight : {false, true}) {
            // A step prime to a day meets every second of the day somewhere.
            QList<qint64> stamps;
            for (qint64 s = qint64(kMin) + (daylight ? 14400 : 18000); s < kMax; s += 7 * 86400 - 1)
                stamps << s;
            stamps << kMax;
            for (const qint64 s : std::as_const(stamps)) {
                const auto stamp = static_cast<qint32>(s);
                const double local = veskFROMunix(stamp, daylight);
                QCOMPARE(veskTOunix(local, daylight), stamp);
                // Through a QDateTime too, as the date and time pickers hold it.
                QCOMPARE(veskTOunix(toDayCount(fromDayCount(local)), daylight), stamp);
            }
        }
    }

    // "exact": the date-time gives this day count back.
    void convertsBetweenDayCountAndDateTime_data()
    {
        QTest::addColumn<double>("dayCount");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<bool>("exact");
        const auto row = [](const char* name, double dayCount, const char* shown, bool exact) {
            QTest::newRow(name) << dayCount << QString::fromLatin1(shown) << exact;
        };
        row("day zero", 0.0, "1899-12-30 00:00:00.000", true);
        // Before day zero the fraction counts forward from the day's start.
        row("morning before day zero", -1.25, "1899-12-29 06:00:00.000", true);
        row("minus half is noon of day zero", -0.5, "1899-12-30 12:00:00.000", false);
        row("near a whole day rolls over", 25569.9999999999, "1970-01-02 00:00:00.000", false);
        row("negative near a whole day rolls over", -1.9999999999, "1899-12-30 00:00:00.000",
            false);
        row("first platform day", -657434.0, "0100-01-01 00:00:00.000", true);
        row("last platform moment", 2958465.99999999, "9999-12-31 23:59:59.999", false);
        row("past last platform day", 2958466.0, "", false);
        row("before first platform day", -657435.0, "", false);
        row("huge", 1e300, "", false);
        row("not a number", std::numeric_limits<double>::quiet_NaN(), "", false);
    }
    void convertsBetweenDayCountAndDateTime()
    {
        QFETCH(double, dayCount);
        QFETCH(QString, shown);
        QFETCH(bool, exact);
        const QDateTime dt = fromDayCount(dayCount);
        QCOMPARE(dt.isValid(), !shown.isEmpty());
        QCOMPARE(dt.toString(kFormat), shown);
        if (exact)
            QCOMPARE(toDayCount(dt), dayCount);
    }

    void keepsMillisecondsThroughDayCount()
    {
        for (const char* text : {"2038-01-18 23:59:59.999", "1066-10-14 09:30:15.123",
                                 "0100-01-01 00:00:00.001", "9999-12-31 23:59:59.999"})
            QCOMPARE(fromDayCount(toDayCount(at(text))), at(text));
    }

    void ignoresTimeSpecAndMachineDaylightSaving()
    {
        // 02:30 on this day does not exist in the test's local zone.
        const QDateTime gap(QDate(2026, 3, 8), QTime(2, 30), Qt::UTC);
        QCOMPARE(fromDayCount(toDayCount(gap)), gap);
        const QDateTime localNoon(QDate(2026, 7, 1), QTime(12, 0), Qt::LocalTime);
        QCOMPARE(veskTOunix(toDayCount(localNoon), true), 1782921600);
        QVERIFY(std::isnan(toDayCount(QDateTime())));
    }

    // Either side of the changes at 2:00 wall-clock time, and the Sundays next to them.
    void tellsUsDaylightSavingOfWallClockTime_data()
    {
        QTest::addColumn<QString>("local");
        QTest::addColumn<bool>("daylight");
        const auto row = [](const char* local, bool daylight) {
            QTest::newRow(local) << QString::fromLatin1(local) << daylight;
        };
        row("2026-03-08 01:59:59", false);
        row("2026-03-08 02:00:00", true);
        row("2026-11-01 01:59:59", true);
        row("2026-11-01 02:00:00", false);
        row("2023-03-05 12:00:00", false);
        row("2023-03-12 03:00:00", true);
        row("2023-10-29 12:00:00", true);
        row("2023-11-05 01:30:00", true);
        row("2023-11-05 02:00:00", false);
        row("2026-12-24 18:00:00", false);
    }
    void tellsUsDaylightSavingOfWallClockTime()
    {
        QFETCH(QString, local);
        QFETCH(bool, daylight);
        QCOMPARE(usDaylightSaving(at(local).date(), at(local).time()), daylight);
    }
};

QTEST_APPLESS_MAIN(tst_UnixTime)
#include "tst_unixtime.moc"
