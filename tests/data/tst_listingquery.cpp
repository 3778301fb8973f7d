#include "data/ListingQuery.h"
#include "sqlconv/ConvertSQL.h"

#include <QtTest>

#include <limits>
#include <stdexcept>

Q_DECLARE_METATYPE(AuctionState)

namespace {
const QLocale kUs(QLocale::English, QLocale::UnitedStates);
const QLocale kGerman(QLocale::German, QLocale::Germany);

QString assembled(const QString& body, const ListingFilters& filters, qint32 now)
{
    return listingBasePiece(body) + listingFilterPieces(filters, now).join(QString());
}

ListingFilters filtersOf(const QString& option, bool limit)
{
    ListingFilters f;
    f.past = option == QLatin1String("past");
    f.current = option == QLatin1String("current");
    f.free = option == QLatin1String("free");
    f.limit = limit;
    return f;
}
} // namespace

class ListingQueryTest : public QObject
{
    Q_OBJECT
private slots:
    void assemblesStatementPieceByPiece_data()
    {
        QTest::addColumn<QString>("body");
        QTest::addColumn<QString>("option");
        QTest::addColumn<bool>("limit");
        QTest::addColumn<int>("now");
        QTest::addColumn<QString>("expected");
        QTest::newRow("current, limited")
            << "AB"
            << "current" << true << 1700000000
            << "SELECT * FROM item WHERE SKU LIKE 'AB%'   AND auction_until_unix >1700000000 AND "
               "auction_until_unix<>0  LIMIT 50 ";
        QTest::newRow("current") << "AB"
                                 << "current" << false << 1700000000
                                 << "SELECT * FROM item WHERE SKU LIKE 'AB%'   AND "
                                    "auction_until_unix >1700000000 AND auction_until_unix<>0 ";
        QTest::newRow("past, limited")
            << "AB"
            << "past" << true << 1700000000
            << "SELECT * FROM item WHERE SKU LIKE 'AB%'   AND auction_until_unix <1700000000 AND "
               "auction_until_unix<>0  LIMIT 50 ";
        QTest::newRow("free, limited") << "AB"
                                       << "free" << true << 1700000000
                                       << "SELECT * FROM item WHERE SKU LIKE 'AB%'   AND "
                                          "auction_until_unix = 0  LIMIT 50 ";
        QTest::newRow("any, limited")
            << "AB"
            << "any" << true << 1700000000 << "SELECT * FROM item WHERE SKU LIKE 'AB%'   LIMIT 50 ";
        QTest::newRow("any, empty search: base text only")
            << ""
            << "any" << false << 1700000000 << "SELECT * FROM item WHERE SKU LIKE '%'  ";
        QTest::newRow("negative stamp keeps its sign")
            << ""
            << "past" << false << -5
            << "SELECT * FROM item WHERE SKU LIKE '%'   AND auction_until_unix <-5 AND "
               "auction_until_unix<>0 ";
        QTest::newRow("largest stamp, no separators")
            << ""
            << "current" << false << std::numeric_limits<qint32>::max()
            << "SELECT * FROM item WHERE SKU LIKE '%'   AND auction_until_unix >2147483647 AND "
               "auction_until_unix<>0 ";
    }
    void assemblesStatementPieceByPiece()
    {
        QFETCH(QString, body);
        QFETCH(QString, option);
        QFETCH(bool, limit);
        QFETCH(int, now);
        QFETCH(QString, expected);
        QCOMPARE(assembled(body, filtersOf(option, limit), now), expected);
        QVERIFY(expected.startsWith(listingStatementHead()));
    }

    void makesLikePatternBody_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("backslashEscapes");
        QTest::addColumn<QString>("expected");
        QTest::newRow("plain") << "AB" << true << "AB";
        QTest::newRow("wildcards stay") << "A%_" << true << "A%_";
        QTest::newRow("backslash doubled where it escapes") << "a\\b" << true << "a\\\\b";
        QTest::newRow("trailing backslash doubled") << "a\\" << true << "a\\\\";
        QTest::newRow("backslash kept where it is literal") << "a\\b" << false << "a\\b";
        QTest::newRow("quote left to literal escaping") << "O'B" << true << "O'B";
    }
    void makesLikePatternBody()
    {
        QFETCH(QString, typed);
        QFETCH(bool, backslashEscapes);
        QFETCH(QString, expected);
        QCOMPARE(likePatternBody(typed, backslashEscapes), expected);
    }

    void translationKeepsTypedTextAsTyped_data()
    {
        QTest::addColumn<QString>("body");
        QTest::addColumn<QString>("option");
        QTest::addColumn<QString>("expected");
        QTest::newRow("brackets")
            << "[A]"
            << "free"
            << "SELECT * FROM item WHERE SKU LIKE '[A]%' AND auction_until_unix = 0 ";
        QTest::newRow("double blanks")
            << "a  b"
            << "free"
            << "SELECT * FROM item WHERE SKU LIKE 'a  b%' AND auction_until_unix = 0 ";
        QTest::newRow("function names") << "len(Str(int(x"
                                        << "any"
                                        << "SELECT * FROM item WHERE SKU LIKE 'len(Str(int(x%' ";
        QTest::newRow("format word with its pattern")
            << "format'0.00'"
            << "any"
            << "SELECT * FROM item WHERE SKU LIKE 'format'0.00'%' ";
        QTest::newRow("booleans and currency")
            << "=TRUE False '$'&"
            << "any"
            << "SELECT * FROM item WHERE SKU LIKE '=TRUE False '$'&%' ";
        QTest::newRow("blank pattern does not stop collapsing elsewhere")
            << "%  %"
            << "free"
            << "SELECT * FROM item WHERE SKU LIKE '%  %%' AND auction_until_unix = 0 ";
        QTest::newRow("alias opening") << "AS [x]"
                                       << "any"
                                       << "SELECT * FROM item WHERE SKU LIKE 'AS [x]%' ";
        QTest::newRow("private-use character typed")
            << QString(QChar(0xE000)) + "x"
            << "any"
            << "SELECT * FROM item WHERE SKU LIKE '" + QString(QChar(0xE000)) + "x%' ";
    }
    void translationKeepsTypedTextAsTyped()
    {
        QFETCH(QString, body);
        QFETCH(QString, option);
        QFETCH(QString, expected);
        const QString statement = assembled(body, filtersOf(option, false), 1700000000);
        QCOMPARE(convertSqlKeepingLiteral(statement, listingStatementHead().size(), body.size()),
                 expected);
    }

    void translationOfOrdinaryTextEqualsWholeTranslation_data()
    {
        QTest::addColumn<QString>("body");
        QTest::addColumn<QString>("option");
        QTest::addColumn<bool>("limit");
        for (const char* body : {"", "AB", "R-100", "O''Brien", "%_%", "a\\\\b"}) {
            for (const char* option : {"any", "past", "current", "free"}) {
                for (const bool limit : {false, true})
                    QTest::addRow("%s/%s/%d", body, option, int(limit)) << body << option << limit;
            }
        }
    }
    void translationOfOrdinaryTextEqualsWholeTranslation()
    {
        QFETCH(QString, body);
        QFETCH(QString, option);
        QFETCH(bool, limit);
        const QString statement = assembled(body, filtersOf(option, limit), 1700000000);
        QCOMPARE(convertSqlKeepingLiteral(statement, listingStatementHead().size(), body.size()),
                 ConvertSQL(statement));
    }

    void translationOfTheExampleCollapsesBlanks()
    {
        const QString statement =
            assembled(QStringLiteral("AB"), filtersOf("current", true), 1700000000);
        QCOMPARE(convertSqlKeepingLiteral(statement, listingStatementHead().size(), 2),
                 QStringLiteral("SELECT * FROM item WHERE SKU LIKE 'AB%' AND auction_until_unix "
                                ">1700000000 AND auction_until_unix<>0 LIMIT 50 "));
    }

    void rejectsLiteralOutsideStatement_data()
    {
        QTest::addColumn<int>("start");
        QTest::addColumn<int>("length");
        QTest::newRow("negative start") << -1 << 2;
        QTest::newRow("negative length") << 2 << -1;
        QTest::newRow("past the end") << 5 << 10;
    }
    void rejectsLiteralOutsideStatement()
    {
        QFETCH(int, start);
        QFETCH(int, length);
        QVERIFY_THROWS_EXCEPTION(
            std::out_of_range,
            convertSqlKeepingLiteral(QStringLiteral("SELECT 1 "), start, length));
    }

    void formatsRetailWithLocaleSeparators_data()
    {
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("expected");
        QTest::newRow("thousands") << kUs << 1234.5 << "1,234.50";
        QTest::newRow("millions") << kUs << 1234567.891 << "1,234,567.89";
        QTest::newRow("below a thousand") << kUs << 999.0 << "999.00";
        QTest::newRow("zero") << kUs << 0.0 << "0.00";
        QTest::newRow("small amount") << kUs << 0.5 << "0.50";
        QTest::newRow("negative") << kUs << -1234.5 << "-1,234.50";
        QTest::newRow("tiny negative shows no sign") << kUs << -0.001 << "0.00";
        QTest::newRow("rounds to cents") << kUs << 2.675 << "2.67";
        QTest::newRow("German separators") << kGerman << 1234.5 << "1.234,50";
        QTest::newRow("C locale still groups") << QLocale::c() << 1234.5 << "1,234.50";
    }
    void formatsRetailWithLocaleSeparators()
    {
        QFETCH(QLocale, locale);
        QFETCH(double, value);
        QFETCH(QString, expected);
        QCOMPARE(formatRetail(value, locale), expected);
    }

    void formatsAuctionEnd_data()
    {
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<QDateTime>("end");
        QTest::addColumn<QString>("date");
        QTest::addColumn<QString>("time");
        QTest::newRow("day without leading zero")
            << kUs << QDateTime(QDate(2026, 12, 4), QTime(14, 30, 59)) << "Dec-4-2026"
            << "14:30:00";
        QTest::newRow("two-digit day, morning")
            << kUs << QDateTime(QDate(2026, 1, 24), QTime(0, 5)) << "Jan-24-2026"
            << "00:05:00";
        QTest::newRow("evening, 24-hour clock")
            << kUs << QDateTime(QDate(1969, 12, 31), QTime(19, 0)) << "Dec-31-1969"
            << "19:00:00";
        QTest::newRow("locale's month abbreviation")
            << kGerman << QDateTime(QDate(2026, 3, 9), QTime(8, 1, 2))
            << kGerman.monthName(3, QLocale::ShortFormat) + "-9-2026"
            << "08:01:00";
    }
    void formatsAuctionEnd()
    {
        QFETCH(QLocale, locale);
        QFETCH(QDateTime, end);
        QFETCH(QString, date);
        QFETCH(QString, time);
        QCOMPARE(formatAuctionDate(end.date(), locale), date);
        QCOMPARE(formatAuctionTime(end.time(), locale), time);
    }

    void judgesAuctionState_data()
    {
        QTest::addColumn<qint64>("stamp");
        QTest::addColumn<int>("now");
        QTest::addColumn<AuctionState>("expected");
        QTest::newRow("past") << qint64(1699999999) << 1700000000 << AuctionState::Past;
        QTest::newRow("running") << qint64(1700000001) << 1700000000 << AuctionState::Running;
        QTest::newRow("ending exactly now")
            << qint64(1700000000) << 1700000000 << AuctionState::None;
        QTest::newRow("no auction") << qint64(0) << 1700000000 << AuctionState::None;
        QTest::newRow("negative stamp is past") << qint64(-5) << 1700000000 << AuctionState::Past;
        QTest::newRow("beyond 32 bits is running")
            << qint64(5000000000) << 1700000000 << AuctionState::Running;
        QTest::newRow("0 after a clock before 1970") << qint64(0) << -100 << AuctionState::Running;
    }
    void judgesAuctionState()
    {
        QFETCH(qint64, stamp);
        QFETCH(int, now);
        QFETCH(AuctionState, expected);
        QCOMPARE(auctionState(stamp, now), expected);
    }

    void coloursPastRedAndRunningGreen()
    {
        QCOMPARE(stateColour(AuctionState::Past), QColor(255, 0, 0));
        QCOMPARE(stateColour(AuctionState::Running), QColor(0, 255, 0));
        QVERIFY(!stateColour(AuctionState::None).isValid());
    }

    void scalesTwipsHalfToEven_data()
    {
        QTest::addColumn<int>("twips");
        QTest::addColumn<float>("multiplier");
        QTest::addColumn<int>("expected");
        QTest::newRow("design size") << 5500 << 1.0f << 5500;
        QTest::newRow("1280 pixels") << 1200 << 1.25f << 1500;
        QTest::newRow("capped width") << 1000 << float(20000.0 / 15360.0) << 1302;
        QTest::newRow("capped description") << 5500 << float(20000.0 / 15360.0) << 7161;
        QTest::newRow("half rounds down to even") << 3 << 1.5f << 4;
        QTest::newRow("half rounds up to even") << 5 << 1.5f << 8;
        QTest::newRow("another half to even") << 1 << 2.5f << 2;
    }
    void scalesTwipsHalfToEven()
    {
        QFETCH(int, twips);
        QFETCH(float, multiplier);
        QFETCH(int, expected);
        QCOMPARE(scaledTwips(twips, multiplier), expected);
    }

    void makesRowCells_data()
    {
        QTest::addColumn<QVariant>("itemId");
        QTest::addColumn<QVariant>("retail");
        QTest::addColumn<QVariant>("stamp");
        QTest::addColumn<bool>("daylight");
        // itemId|picture item or -|retail|stamp|date|time|listed or NULL
        QTest::addColumn<QString>("expected");
        QTest::addColumn<AuctionState>("state");
        const QVariant null;
        QTest::newRow("running") << QVariant(42) << QVariant(1234.5) << QVariant(1700000000)
                                 << false
                                 << "42|42|1,234.50|1700000000|Nov-14-2023|17:13:00|1700000000"
                                 << AuctionState::Running;
        QTest::newRow("daylight saving shows an hour later")
            << QVariant(42) << QVariant(10) << QVariant(1700000000) << true
            << "42|42|10.00|1700000000|Nov-14-2023|18:13:00|1700000000" << AuctionState::Running;
        QTest::newRow("no auction: eve of 1970")
            << QVariant(7) << QVariant(1.0) << QVariant(0) << false
            << "7|7|1.00|0|Dec-31-1969|19:00:00|0" << AuctionState::None;
        QTest::newRow("no auction with daylight saving")
            << QVariant(7) << QVariant(1.0) << QVariant(0) << true
            << "7|7|1.00|0|Dec-31-1969|20:00:00|0" << AuctionState::None;
        QTest::newRow("NULL retail") << QVariant(7) << null << QVariant(0) << false
                                     << "7|7||0|Dec-31-1969|19:00:00|0" << AuctionState::None;
        QTest::newRow("NULL stamp") << QVariant(7) << QVariant(5) << null << false
                                    << "7|7|5.00||||NULL" << AuctionState::None;
        QTest::newRow("NULL item number")
            << null << QVariant(5) << QVariant(0) << false << "|-|5.00|0|Dec-31-1969|19:00:00|0"
            << AuctionState::None;
        QTest::newRow("item number beyond 32 bits gets no picture")
            << QVariant(qlonglong(5000000000)) << QVariant(5) << QVariant(0) << false
            << "5000000000|-|5.00|0|Dec-31-1969|19:00:00|0" << AuctionState::None;
        QTest::newRow("item number as text")
            << QVariant(QStringLiteral("17")) << QVariant(QStringLiteral("2.5"))
            << QVariant(QStringLiteral("1600000000")) << false
            << "17|17|2.50|1600000000|Sep-13-2020|07:26:00|1600000000" << AuctionState::Past;
        QTest::newRow("price that is no number")
            << QVariant(3) << QVariant(QStringLiteral("abc")) << QVariant(0) << false
            << "3|3||0|Dec-31-1969|19:00:00|0" << AuctionState::None;
        QTest::newRow("stamp beyond 32 bits has no local date")
            << QVariant(3) << QVariant(1) << QVariant(qlonglong(5000000000)) << false
            << "3|3|1.00|5000000000|||5000000000" << AuctionState::Running;
        QTest::newRow("smallest stamp has no local date")
            << QVariant(3) << QVariant(1) << QVariant(std::numeric_limits<qint32>::min()) << false
            << "3|3|1.00|-2147483648|||-2147483648" << AuctionState::Past;
        QTest::newRow("whole stamp stored as a real")
            << QVariant(3) << QVariant(1) << QVariant(1700000000.0) << false
            << "3|3|1.00|1700000000|Nov-14-2023|17:13:00|1700000000" << AuctionState::Running;
        QTest::newRow("stamp that is no whole number")
            << QVariant(3) << QVariant(1) << QVariant(QStringLiteral("soon")) << false
            << "3|3|1.00|soon|||NULL" << AuctionState::None;
    }
    void makesRowCells()
    {
        QFETCH(QVariant, itemId);
        QFETCH(QVariant, retail);
        QFETCH(QVariant, stamp);
        QFETCH(bool, daylight);
        QFETCH(QString, expected);
        QFETCH(AuctionState, state);
        const qint32 now = 1650000000;
        const ListingRow row = listingRow(itemId, QStringLiteral("R-1"), QStringLiteral("ring"),
                                          retail, stamp, now, daylight, kUs);
        const QString picture = row.pictureItem ? QString::number(*row.pictureItem) : "-";
        const QString listed =
            row.listedStamp.isNull() ? "NULL" : QString::number(row.listedStamp.toLongLong());
        const QString actual =
            QStringList{row.itemId, picture, row.retail, row.stamp, row.date, row.time, listed}
                .join(QLatin1Char('|'));
        QCOMPARE(actual, expected);
        QCOMPARE(row.state, state);
        QCOMPARE(row.sku, QStringLiteral("R-1"));
        QCOMPARE(row.description, QStringLiteral("ring"));
    }

    void keepsNullTextsEmpty()
    {
        const ListingRow row = listingRow(QVariant(1), QVariant(), QVariant(), QVariant(1),
                                          QVariant(0), 100, false, kUs);
        QVERIFY(row.sku.isEmpty());
        QVERIFY(row.description.isEmpty());
    }
};

QTEST_APPLESS_MAIN(ListingQueryTest)
#include "tst_listingquery.moc"
