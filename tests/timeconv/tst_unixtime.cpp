#include "timeconv/UnixTime.h"

#include <QtTest>

#include <cmath>
#include <limits>

namespace {
constexpr qint32 kMin = std::numeric_limits<qint32>::min();
constexpr qint32 kMax = std::numeric_limits<qint32>::max();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

QDateTime at(const char* text)
{
    const QString s = QString::fromLatin1(text);
    QDateTime dt = QDateTime::fromString(s, QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"));
    if (!dt.isValid())
        dt = QDateTime::fromString(s, QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    dt.setTimeSpec(Qt::UTC);
    return dt;
}

double day(const char* text)
{
    return toDayCount(at(text));
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
    void initTestCase();

    void convertsLocalToStamp_data();
    void convertsLocalToStamp();
    void convertsStampToLocal_data();
    void convertsStampToLocal();
    void reportsOverflowOfOffsetSubtraction_data();
    void reportsOverflowOfOffsetSubtraction();
    void roundTripsStampsAcrossRange_data();
    void roundTripsStampsAcrossRange();
    void roundTripsLocalSecondsAcrossRange();

    void convertsDateTimeToDayCount_data();
    void convertsDateTimeToDayCount();
    void readsDayCountAsDateTime_data();
    void readsDayCountAsDateTime();
    void keepsMillisecondsThroughDayCount_data();
    void keepsMillisecondsThroughDayCount();
    void ignoresTimeSpecAndMachineDaylightSaving();
    void givesNaNForInvalidDateTime();
};

void tst_UnixTime::initTestCase()
{
    // A zone with daylight-saving gaps, so any use of the machine's local time
    // in the day-count conversions shows up.
    qputenv("TZ", "America/New_York");
}

void tst_UnixTime::convertsLocalToStamp_data()
{
    QTest::addColumn<double>("local");
    QTest::addColumn<bool>("daylight");
    QTest::addColumn<qint32>("stamp");
    QTest::addColumn<bool>("hasStamp");

    QTest::newRow("winter evening") << day("2026-12-24 18:00:00") << false << 1798153200 << true;
    QTest::newRow("summer noon, ticked")
        << day("2026-07-01 12:00:00") << true << 1782921600 << true;
    QTest::newRow("ticked is one hour lower")
        << day("2026-12-24 18:00:00") << true << 1798149600 << true;
    QTest::newRow("epoch as local") << 25569.0 << false << 18000 << true;
    QTest::newRow("epoch as local, ticked") << 25569.0 << true << 14400 << true;

    QTest::newRow("0.4 s rounds down")
        << day("2026-12-24 18:00:00.400") << false << 1798153200 << true;
    QTest::newRow("0.6 s rounds up")
        << day("2026-12-24 18:00:00.600") << false << 1798153201 << true;
    QTest::newRow("0.999 s rounds up")
        << day("2026-12-24 18:00:59.999") << false << 1798153260 << true;
    // Day counts that are exact binary fractions make exact half seconds.
    QTest::newRow("337.5 s to even 338") << 25569.0 + 1.0 / 256 << false << 18338 << true;
    QTest::newRow("1012.5 s to even 1012") << 25569.0 + 3.0 / 256 << false << 19012 << true;
    QTest::newRow("1687.5 s to even 1688") << 25569.0 + 5.0 / 256 << false << 19688 << true;
    QTest::newRow("2362.5 s to even 2362") << 25569.0 + 7.0 / 256 << true << 16762 << true;
    QTest::newRow("-337.5 s to even -338") << 25569.0 - 1.0 / 256 << false << 17662 << true;

    QTest::newRow("latest local") << day("2038-01-18 22:14:07") << false << kMax << true;
    QTest::newRow("latest local, ticked") << day("2038-01-18 23:14:07") << true << kMax << true;
    // The offset would overflow: the unshifted seconds are kept.
    QTest::newRow("one past latest") << day("2038-01-18 22:14:08") << false << 2147465648 << false;
    QTest::newRow("one past latest, ticked")
        << day("2038-01-18 23:14:08") << true << 2147469248 << false;
    QTest::newRow("last 32-bit second") << day("2038-01-19 03:14:07") << false << kMax << false;
    // Seconds beyond 32 bits: only the offset is left.
    QTest::newRow("beyond 32 bits") << day("2038-01-19 03:14:08") << false << 18000 << false;
    QTest::newRow("beyond 32 bits, ticked") << day("2038-01-19 03:14:08") << true << 14400 << false;
    QTest::newRow("year 9999") << day("9999-12-31 23:59:59") << false << 18000 << false;

    QTest::newRow("earliest local") << day("1901-12-13 20:45:52") << false << kMin + 18000 << true;
    QTest::newRow("earliest local, ticked")
        << day("1901-12-13 20:45:52") << true << kMin + 14400 << true;
    QTest::newRow("one before earliest") << day("1901-12-13 20:45:51") << false << 18000 << false;
    QTest::newRow("day zero") << 0.0 << false << 18000 << false;
    QTest::newRow("before 1899") << day("1850-06-01 12:00:00") << true << 14400 << false;
    QTest::newRow("not a number") << kNaN << false << 18000 << false;
    QTest::newRow("infinity") << kInf << true << 14400 << false;
    QTest::newRow("minus infinity") << -kInf << false << 18000 << false;
}

void tst_UnixTime::convertsLocalToStamp()
{
    QFETCH(double, local);
    QFETCH(bool, daylight);
    QFETCH(qint32, stamp);
    QFETCH(bool, hasStamp);

    QCOMPARE(veskTOunix(local, daylight), stamp);
    QCOMPARE(hasUnixStamp(local, daylight), hasStamp);
}

void tst_UnixTime::convertsStampToLocal_data()
{
    QTest::addColumn<qint32>("stamp");
    QTest::addColumn<bool>("daylight");
    QTest::addColumn<QString>("local");

    QTest::newRow("winter evening") << 1798153200 << false << "2026-12-24 18:00:00";
    QTest::newRow("summer noon, ticked") << 1782921600 << true << "2026-07-01 12:00:00";
    QTest::newRow("ticked stamp shown unticked") << 1782921600 << false << "2026-07-01 11:00:00";
    QTest::newRow("zero") << 0 << false << "1969-12-31 19:00:00";
    QTest::newRow("zero, ticked") << 0 << true << "1969-12-31 20:00:00";
    QTest::newRow("one second before epoch") << -1 << false << "1969-12-31 18:59:59";
    QTest::newRow("one day before epoch") << -86400 << false << "1969-12-30 19:00:00";
    QTest::newRow("largest") << kMax << false << "2038-01-18 22:14:07";
    QTest::newRow("largest, ticked") << kMax << true << "2038-01-18 23:14:07";
    QTest::newRow("smallest allowed") << kMin + 18000 << false << "1901-12-13 20:45:52";
    QTest::newRow("smallest allowed, ticked") << kMin + 14400 << true << "1901-12-13 20:45:52";
    QTest::newRow("last second of a day") << 1798167599 << false << "2026-12-24 21:59:59";
}

void tst_UnixTime::convertsStampToLocal()
{
    QFETCH(qint32, stamp);
    QFETCH(bool, daylight);
    QFETCH(QString, local);

    QCOMPARE(shown(veskFROMunix(stamp, daylight)), local);
}

void tst_UnixTime::reportsOverflowOfOffsetSubtraction_data()
{
    QTest::addColumn<qint32>("stamp");
    QTest::addColumn<bool>("daylight");
    QTest::addColumn<bool>("overflows");

    QTest::newRow("smallest") << kMin << false << true;
    QTest::newRow("smallest, ticked") << kMin << true << true;
    QTest::newRow("one short of room") << kMin + 17999 << false << true;
    QTest::newRow("just enough room") << kMin + 18000 << false << false;
    QTest::newRow("one short of room, ticked") << kMin + 14399 << true << true;
    QTest::newRow("just enough room, ticked") << kMin + 14400 << true << false;
    QTest::newRow("room only when ticked") << kMin + 17999 << true << false;
    QTest::newRow("largest") << kMax << false << false;
}

void tst_UnixTime::reportsOverflowOfOffsetSubtraction()
{
    QFETCH(qint32, stamp);
    QFETCH(bool, daylight);
    QFETCH(bool, overflows);

    if (overflows) {
        QVERIFY_THROWS_EXCEPTION(UnixTimeOverflow, veskFROMunix(stamp, daylight));
    } else {
        const double local = veskFROMunix(stamp, daylight);
        QVERIFY(local > 713.0);
    }
}

void tst_UnixTime::roundTripsStampsAcrossRange_data()
{
    QTest::addColumn<bool>("daylight");
    QTest::newRow("unticked") << false;
    QTest::newRow("ticked") << true;
}

void tst_UnixTime::roundTripsStampsAcrossRange()
{
    QFETCH(bool, daylight);
    const qint64 first = qint64(kMin) + (daylight ? 14400 : 18000);
    // A step that is prime to a day meets every second of the day somewhere.
    for (qint64 s = first; s <= kMax; s += 86413 * 7 + 1) {
        const auto stamp = static_cast<qint32>(s);
        const qint32 back = veskTOunix(veskFROMunix(stamp, daylight), daylight);
        if (back != stamp)
            QFAIL(qPrintable(QStringLiteral("stamp %1 came back as %2").arg(stamp).arg(back)));
    }
    QCOMPARE(veskTOunix(veskFROMunix(kMax, daylight), daylight), kMax);
    QCOMPARE(veskTOunix(veskFROMunix(static_cast<qint32>(first), daylight), daylight),
             static_cast<qint32>(first));
}

void tst_UnixTime::roundTripsLocalSecondsAcrossRange()
{
    const QDateTime first = at("1901-12-13 20:45:52");
    const QDateTime last = at("2038-01-18 22:14:07");
    for (QDateTime local = first; local <= last; local = local.addSecs(86400 * 3 + 3607)) {
        for (const bool daylight : {false, true}) {
            const double back = veskFROMunix(veskTOunix(toDayCount(local), daylight), daylight);
            if (fromDayCount(back) != local)
                QFAIL(qPrintable(local.toString(Qt::ISODate) + " came back as " +
                                 fromDayCount(back).toString(Qt::ISODateWithMs)));
        }
    }
}

void tst_UnixTime::convertsDateTimeToDayCount_data()
{
    QTest::addColumn<QDateTime>("dateTime");
    QTest::addColumn<double>("dayCount");

    QTest::newRow("day zero") << at("1899-12-30 00:00:00") << 0.0;
    QTest::newRow("noon of day zero") << at("1899-12-30 12:00:00") << 0.5;
    QTest::newRow("epoch") << at("1970-01-01 00:00:00") << 25569.0;
    QTest::newRow("evening") << at("2026-12-24 18:00:00") << 46380.75;
    QTest::newRow("day before day zero") << at("1899-12-29 00:00:00") << -1.0;
    QTest::newRow("morning before day zero") << at("1899-12-29 06:00:00") << -1.25;
    QTest::newRow("evening before day zero") << at("1899-12-29 18:00:00") << -1.75;
    QTest::newRow("1800") << at("1800-01-01 18:00:00") << -36522.75;
    QTest::newRow("first platform day") << at("0100-01-01 00:00:00") << -657434.0;
    QTest::newRow("last platform day") << at("9999-12-31 00:00:00") << 2958465.0;
}

void tst_UnixTime::convertsDateTimeToDayCount()
{
    QFETCH(QDateTime, dateTime);
    QFETCH(double, dayCount);

    QCOMPARE(toDayCount(dateTime), dayCount);
    QCOMPARE(fromDayCount(dayCount), dateTime);
}

void tst_UnixTime::readsDayCountAsDateTime_data()
{
    QTest::addColumn<double>("dayCount");
    QTest::addColumn<QString>("shown");

    QTest::newRow("minus half is noon of day zero") << -0.5 << "1899-12-30 12:00:00";
    QTest::newRow("fraction near a whole day rolls over")
        << 25569.9999999999 << "1970-01-02 00:00:00";
    QTest::newRow("negative near a whole day rolls over") << -1.9999999999 << "1899-12-30 00:00:00";
    QTest::newRow("last platform moment") << 2958465.99999999 << "9999-12-31 23:59:59";
    QTest::newRow("past last platform day") << 2958466.0 << "";
    QTest::newRow("before first platform day") << -657435.0 << "";
    QTest::newRow("huge") << 1e300 << "";
    QTest::newRow("not a number") << kNaN << "";
    QTest::newRow("infinity") << kInf << "";
}

void tst_UnixTime::readsDayCountAsDateTime()
{
    QFETCH(double, dayCount);
    QFETCH(QString, shown);

    const QDateTime dt = fromDayCount(dayCount);
    QCOMPARE(dt.isValid(), !shown.isEmpty());
    QCOMPARE(::shown(dayCount), shown);
}

void tst_UnixTime::keepsMillisecondsThroughDayCount_data()
{
    QTest::addColumn<QDateTime>("dateTime");

    QTest::newRow("recent") << at("2026-12-24 18:00:00.001");
    QTest::newRow("end of a day") << at("2038-01-18 23:59:59.999");
    QTest::newRow("before day zero") << at("1899-12-29 23:59:59.999");
    QTest::newRow("long before day zero") << at("1066-10-14 09:30:15.123");
    QTest::newRow("first platform day") << at("0100-01-01 00:00:00.001");
    QTest::newRow("last platform moment") << at("9999-12-31 23:59:59.999");
}

void tst_UnixTime::keepsMillisecondsThroughDayCount()
{
    QFETCH(QDateTime, dateTime);
    QCOMPARE(fromDayCount(toDayCount(dateTime)), dateTime);
}

void tst_UnixTime::ignoresTimeSpecAndMachineDaylightSaving()
{
    // 02:30 on this day does not exist in the test's local zone.
    const QDate gapDay(2026, 3, 8);
    const double count = toDayCount(QDateTime(gapDay, QTime(2, 30), Qt::UTC));
    QCOMPARE(fromDayCount(count).time(), QTime(2, 30));
    QCOMPARE(fromDayCount(count).date(), gapDay);

    const QDateTime localNoon(QDate(2026, 7, 1), QTime(12, 0), Qt::LocalTime);
    const QDateTime utcNoon(QDate(2026, 7, 1), QTime(12, 0), Qt::UTC);
    QCOMPARE(toDayCount(localNoon), toDayCount(utcNoon));
    QCOMPARE(veskTOunix(toDayCount(localNoon), true), 1782921600);
}

void tst_UnixTime::givesNaNForInvalidDateTime()
{
    QVERIFY(std::isnan(toDayCount(QDateTime())));
    QVERIFY(!hasUnixStamp(toDayCount(QDateTime()), false));
}

QTEST_APPLESS_MAIN(tst_UnixTime)
#include "tst_unixtime.moc"
