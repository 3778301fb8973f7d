#include "data/ListingQuery.h"
#include "sqlconv/ConvertSQL.h"

#include <QtTest>

#include <limits>

namespace {
const QLocale kUs(QLocale::English, QLocale::UnitedStates);
const QLocale kGerman(QLocale::German, QLocale::Germany);
} // namespace

// The statement, grid and colours are checked on a real window (tests/auction);
// these are the cases a window cannot reach easily.
class ListingQueryTest : public QObject
{
    Q_OBJECT
private slots:
    void translationKeepsTypedTextAsTyped_data()
    {
        QTest::addColumn<QString>("body");
        QTest::addColumn<bool>("touchedByTranslation");
        for (const char* special :
             {"[A]", "a  b", "len(Str(int(x", "format'0.00'", "=TRUE False '$'&", "%  %"})
            QTest::addRow("kept: %s", special) << special << true;
        QTest::newRow("kept: private-use character") << QString(QChar(0xE000)) << true;
        for (const char* ordinary : {"", "AB", "O''Brien", "%_%"})
            QTest::addRow("ordinary: %s", ordinary) << ordinary << false;
    }
    void translationKeepsTypedTextAsTyped()
    {
        QFETCH(QString, body);
        QFETCH(bool, touchedByTranslation);
        ListingFilters filters;
        filters.free = true;
        const QString statement =
            listingBasePiece(body) + listingFilterPieces(filters, 1700000000).join(QString());
        QCOMPARE(convertSqlKeepingLiteral(statement, listingStatementHead().size(), body.size()),
                 touchedByTranslation
                     ? listingStatementHead() + body + "%' AND auction_until_unix = 0 "
                     : ConvertSQL(statement));
    }

    void formatsCellsWithLocaleSeparatorsAndMonths()
    {
        QCOMPARE(formatRetail(1234567.891, kUs), QStringLiteral("1,234,567.89"));
        QCOMPARE(formatRetail(-1234.5, kUs), QStringLiteral("-1,234.50"));
        QCOMPARE(formatRetail(-0.001, kUs), QStringLiteral("0.00")); // no "-0.00"
        QCOMPARE(formatRetail(1234.5, kGerman), QStringLiteral("1.234,50"));
        QCOMPARE(formatAuctionDate(QDate(2026, 3, 9), kGerman), QStringLiteral("März-9-2026"));
        QCOMPARE(formatAuctionTime(QTime(8, 1, 59), kGerman), QStringLiteral("08:01:00"));
    }

    void scalesTwipsHalfToEvenInSinglePrecision()
    {
        QCOMPARE(scaledTwips(5500, float(20000.0 / 15360.0)), 7161); // the capped window
        QCOMPARE(scaledTwips(3, 1.5f), 4);
        QCOMPARE(scaledTwips(5, 1.5f), 8);
    }

    // Values an SQLite table may hold although the item table declares numbers.
    void makesCellsOfOddValues_data()
    {
        QTest::addColumn<QVariant>("itemId");
        QTest::addColumn<QVariant>("retail");
        QTest::addColumn<QVariant>("stamp");
        // item|picture item (- for none)|retail|stamp|date|time|listed stamp|state
        QTest::addColumn<QString>("expected");
        using V = QVariant;
        QTest::newRow("item number beyond 32 bits")
            << V(5000000000LL) << V(5) << V(0) << "5000000000|-|5.00|0|Dec-31-1969|19:00:00|0|0";
        QTest::newRow("numbers as text")
            << V("17") << V("2.5") << V("1600000000")
            << "17|17|2.50|1600000000|Sep-13-2020|07:26:00|1600000000|1";
        QTest::newRow("price that is no number")
            << V(3) << V("abc") << V(0) << "3|3||0|Dec-31-1969|19:00:00|0|0";
        QTest::newRow("stamp beyond 32 bits")
            << V(3) << V(1) << V(5000000000LL) << "3|3|1.00|5000000000|||5000000000|2";
        QTest::newRow("smallest stamp") << V(3) << V(1) << V(std::numeric_limits<qint32>::min())
                                        << "3|3|1.00|-2147483648|||-2147483648|1";
        QTest::newRow("whole stamp stored as real")
            << V(3) << V(1) << V(1700000000.0)
            << "3|3|1.00|1700000000|Nov-14-2023|17:13:00|1700000000|2";
        QTest::newRow("stamp that is no number")
            << V(3) << V(1) << V("soon") << "3|3|1.00|soon|||NULL|0";
    }
    void makesCellsOfOddValues()
    {
        QFETCH(QVariant, itemId);
        QFETCH(QVariant, retail);
        QFETCH(QVariant, stamp);
        QFETCH(QString, expected);
        const ListingRow row = listingRow(itemId, QStringLiteral("R-1"), QVariant(), retail, stamp,
                                          1650000000, false, kUs);
        const QString picture = row.pictureItem ? QString::number(*row.pictureItem) : "-";
        const QString listed = row.listedStamp.isNull() ? "NULL" : row.listedStamp.toString();
        QCOMPARE(QStringList({row.itemId, picture, row.retail, row.stamp, row.date, row.time,
                              listed, QString::number(int(row.state))})
                     .join('|'),
                 expected);
    }
};

QTEST_APPLESS_MAIN(ListingQueryTest)
#include "tst_listingquery.moc"
