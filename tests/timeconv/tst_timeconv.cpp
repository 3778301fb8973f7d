#include "timeconv/StoreClock.h"
#include "timeconv/TypedEnd.h"
#include "timeconv/UnixTime.h"

#include <QtTest>

#include <limits>

namespace {
constexpr qint32 kMin = std::numeric_limits<qint32>::min();
constexpr qint32 kMax = std::numeric_limits<qint32>::max();
const QString kFormat = QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz");

// "yyyy-MM-dd HH:mm:ss[.zzz]" as a date-time of no time zone.
QDateTime at(const QString& text)
{
    QDateTime dt = QDateTime::fromString(text.contains(u'.') ? text : text + ".000", kFormat);
    dt.setTimeSpec(Qt::UTC);
    return dt;
}
} // namespace

class TimeConvTest : public QObject
{
    Q_OBJECT
private slots:
    // A zone with daylight-saving gaps shows any use of the machine's local time.
    void initTestCase() { qputenv("TZ", "America/New_York"); }

    // Rows in whole seconds with a stamp are checked back from the stamp too.
    void convertsBetweenLocalAndStamp_data()
    {
        QTest::addColumn<QString>("local");
        QTest::addColumn<bool>("daylight");
        QTest::addColumn<qint32>("stamp");
        QTest::addColumn<bool>("hasStamp");
        const auto row = [](const char* local, bool daylight, qint32 stamp, bool hasStamp) {
            QTest::newRow(local) << QString(local) << daylight << stamp << hasStamp;
        };
        row("2026-12-24 18:00:00", false, 1798153200, true);
        row("2026-07-01 12:00:00", true, 1782921600, true);
        row("1969-12-31 20:00:00", true, 0, true);
        row("1970-01-01 00:05:37.500", false, 18338, true); // half to even
        row("1970-01-01 00:16:52.500", false, 19012, true);
        row("2038-01-18 23:14:07", true, kMax, true);
        row("2038-01-18 22:14:08", false, 2147465648, false); // the offset would overflow
        row("2038-01-19 03:14:08", true, 14400, false);       // beyond 32 bits
        row("1901-12-13 20:45:52", false, kMin + 18000, true);
        row("1901-12-13 20:45:51", false, 18000, false);
    }
    void convertsBetweenLocalAndStamp()
    {
        QFETCH(QString, local);
        QFETCH(bool, daylight);
        QFETCH(qint32, stamp);
        const double dayCount = toDayCount(at(local));
        QTEST(veskTOunix(dayCount, daylight), "stamp");
        QTEST(hasUnixStamp(dayCount, daylight), "hasStamp");
        if (hasUnixStamp(dayCount, daylight) && !local.contains(u'.'))
            QCOMPARE(fromDayCount(veskFROMunix(stamp, daylight)), at(local));
    }

    void roundTripsEveryStampAndReportsOverflow()
    {
        QVERIFY_THROWS_EXCEPTION(UnixTimeOverflow, veskFROMunix(kMin + 17999, false));
        QVERIFY_THROWS_EXCEPTION(UnixTimeOverflow, veskFROMunix(kMin + 14399, true));
        QVERIFY(!hasLocalDateTime(kMin + 14399, true) && hasLocalDateTime(kMin + 14400, true));
        QVERIFY(!hasLocalDateTime(kMin + 17999, false) && hasLocalDateTime(kMin + 18000, false));
        for (const bool daylight : {false, true}) {
            // A step prime to a day meets every second of the day somewhere.
            for (qint64 s = qint64(kMin) + (daylight ? 14400 : 18000); s < kMax;
                 s += 7 * 86400 - 1) {
                const auto stamp = static_cast<qint32>(s);
                const double local = veskFROMunix(stamp, daylight);
                QCOMPARE(veskTOunix(local, daylight), stamp);
                QCOMPARE(veskTOunix(toDayCount(fromDayCount(local)), daylight), stamp);
            }
        }
        QCOMPARE(veskTOunix(veskFROMunix(kMax, true), true), kMax);
        // Neither the date-time's zone setting nor a gap of the machine's zone moves a value.
        const QDateTime gap(QDate(2026, 3, 8), QTime(2, 30), Qt::UTC);
        QCOMPARE(fromDayCount(toDayCount(gap)), gap);
        const QDateTime localNoon(QDate(2026, 7, 1), QTime(12, 0), Qt::LocalTime);
        QCOMPARE(veskTOunix(toDayCount(localNoon), true), 1782921600);
        for (const char* text : {"1066-10-14 09:30:15.123", "9999-12-31 23:59:59.999"})
            QCOMPARE(fromDayCount(toDayCount(at(text))), at(text));
    }

    void convertsDayCountToDateTime_data()
    {
        QTest::addColumn<double>("dayCount");
        QTest::addColumn<QString>("shown");
        // Before day zero the fraction counts forward from the day's start.
        QTest::newRow("before day zero") << -1.25 << "1899-12-29 06:00:00.000";
        QTest::newRow("minus half") << -0.5 << "1899-12-30 12:00:00.000";
        QTest::newRow("rolls over") << 25569.9999999999 << "1970-01-02 00:00:00.000";
        QTest::newRow("past last day") << 2958466.0 << "";
    }
    void convertsDayCountToDateTime()
    {
        QFETCH(double, dayCount);
        QTEST(fromDayCount(dayCount).toString(kFormat), "shown");
    }

    // The grid shows the box's clock and marks an end whose own date keeps the
    // other one; the moment of the change decides, not the wall reading.
    void readsEndOnBothClocks_data()
    {
        QTest::addColumn<qint64>("stamp");
        QTest::addColumn<bool>("box");
        QTest::addColumn<QString>("onBox"); // empty: no local date
        QTest::addColumn<QString>("own");
        QTest::addColumn<bool>("otherSide");
        const auto row = [](const char* tag, qint64 stamp, bool box, const char* onBox,
                            const char* own, bool otherSide) {
            QTest::newRow(tag) << stamp << box << QString(onBox) << QString(own) << otherSide;
        };
        row("summer end, box unticked", 1807401600, false, "2027-04-10 19:00:00",
            "2027-04-10 20:00:00", true);
        row("a second before summer time", 1772953199, false, "2026-03-08 01:59:59",
            "2026-03-08 01:59:59", false);
        row("summer time begins", 1772953200, false, "2026-03-08 02:00:00", "2026-03-08 03:00:00",
            true);
        row("last second of summer time", 1793512799, true, "2026-11-01 01:59:59",
            "2026-11-01 01:59:59", false);
        row("winter time again", 1793512800, true, "2026-11-01 02:00:00", "2026-11-01 01:00:00",
            true);
        row("beyond 32 bits", qint64(kMax) + 1, false, "", "", false);
    }
    void readsEndOnBothClocks()
    {
        QFETCH(qint64, stamp);
        QFETCH(bool, box);
        const EndOnClocks end = endOnClocks(stamp, box);
        const auto text = [](const QDateTime& t) { return t.toString("yyyy-MM-dd HH:mm:ss"); };
        QTEST(text(end.onBox), "onBox");
        QTEST(text(end.ownWall), "own");
        QTEST(end.otherSide, "otherSide");
        // The own clock is the one whose offset gives the stamp back.
        if (end.ownWall.isValid())
            QCOMPARE(veskTOunix(toDayCount(end.ownWall), end.ownSummerTime), qint32(stamp));
    }

    // Read on Tuesday 2023-11-14 10:15:37; an empty error: read.
    void readsTypedEndOrSaysWhyNot_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QDate>("date");
        QTest::addColumn<QTime>("time"); // invalid: none typed
        QTest::addColumn<QString>("error");
        const auto end = [](const char* text, const QDate& date, const QTime& time = {}) {
            QTest::newRow(text) << QString(text) << date << time << QString();
        };
        const auto refused = [](const char* text, const char* error) {
            QTest::newRow(text) << QString(text) << QDate() << QTime() << QString(error);
        };
        const QDate eve(2026, 12, 24);
        end("24.12.2026 20:00", eve, QTime(20, 0));
        end("  DECEMBER-24-2026   8:05:30 ", eve, QTime(8, 5, 30));
        end("Feb-29-2024", QDate(2024, 2, 29));
        end("+2W", QDate(2023, 11, 28));
        end("Monday", QDate(2023, 11, 20));
        end("+3d 20:00", QDate(2023, 11, 17), QTime(20, 0));
        refused("", "Nothing typed");
        refused("24/12/2026 20:00", "\"24/12/2026\" is not a date");
        refused("31.11.2026", "\"31.11.2026\" is no day of the calendar");
        refused("2026-12-24 24:00", "\"24:00\" is not a time of day");
        refused("+7", "\"+7\" is not a date");
    }
    void readsTypedEndOrSaysWhyNot()
    {
        QFETCH(QString, text);
        QFETCH(QString, error);
        const TypedEnd got = parseTypedEnd(text, QDateTime(QDate(2023, 11, 14), QTime(10, 15, 37)));
        QVERIFY2(error.isEmpty() ? got.isValid() : got.error.contains(error),
                 qPrintable(got.error));
        QTEST(got.date, "date");
        QTEST(got.time, "time");
    }
};

QTEST_GUILESS_MAIN(TimeConvTest)
#include "tst_timeconv.moc"
