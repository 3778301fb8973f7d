#include "data/ListingQuery.h"
#include "sqlconv/ConvertSQL.h"

#include <QtTest>

#include <limits>

namespace {
const QLocale kUs(QLocale::English, QLocale::UnitedStates);
const QLocale kGerman(QLocale::German, QLocale::Germany);

QString freeItemsLike(const QString& body)
{
    ListingFilters filters;
    filters.free = true;
    return listingBasePiece(body) + listingFilterPieces(filters, 1700000000).join(QString());
}
} // namespace

// The statement itself, the grid and the colours are checked on a real window
// (tests/auction); these are the cases a window cannot reach easily.
class ListingQueryTest : public QObject
{
    Q_OBJECT
private slots:
    void translationKeepsTypedTextAsTyped_data()
    {
        QTest::addColumn<QString>("body");
        QTest::addColumn<QString>("expected"); // empty: as ConvertSQL of the whole statement
        const QString tail = QStringLiteral("%' AND auction_until_unix = 0 ");
        const QString head = QStringLiteral("SELECT * FROM item WHERE SKU LIKE '");
        QTest::newRow("brackets") << "[A]" << head + "[A]" + tail;
        QTest::newRow("double blanks") << "a  b" << head + "a  b" + tail;
        QTest::newRow("function names") << "len(Str(int(x" << head + "len(Str(int(x" + tail;
        QTest::newRow("format word and pattern") << "format'0.00'" << head + "format'0.00'" + tail;
        QTest::newRow("booleans, currency")
            << "=TRUE False '$'&" << head + "=TRUE False '$'&" + tail;
        QTest::newRow("blank pattern") << "%  %" << head + "%  %" + tail;
        QTest::newRow("private-use character")
            << QString(QChar(0xE000)) << head + QChar(0xE000) + tail;
        for (const char* ordinary : {"", "AB", "R-100", "O''Brien", "%_%", "a\\\\b"})
            QTest::addRow("ordinary %s", ordinary) << ordinary << QString();
    }
    void translationKeepsTypedTextAsTyped()
    {
        QFETCH(QString, body);
        QFETCH(QString, expected);
        const QString statement = freeItemsLike(body);
        QCOMPARE(convertSqlKeepingLiteral(statement, listingStatementHead().size(), body.size()),
                 expected.isEmpty() ? ConvertSQL(statement) : expected);
    }

    void formatsRetailWithLocaleSeparators_data()
    {
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("expected");
        QTest::newRow("millions") << kUs << 1234567.891 << "1,234,567.89";
        QTest::newRow("below a thousand") << kUs << 999.0 << "999.00";
        QTest::newRow("negative") << kUs << -1234.5 << "-1,234.50";
        QTest::newRow("tiny negative shows no sign") << kUs << -0.001 << "0.00";
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

    void formatsEndWithLocaleMonth()
    {
        const QDateTime end(QDate(2026, 3, 9), QTime(8, 1, 59));
        QCOMPARE(formatAuctionDate(end.date(), kUs), QStringLiteral("Mar-9-2026"));
        QCOMPARE(formatAuctionDate(end.date(), kGerman), QStringLiteral("März-9-2026"));
        QCOMPARE(formatAuctionTime(end.time(), kGerman), QStringLiteral("08:01:00"));
    }

    void scalesTwipsHalfToEven_data()
    {
        QTest::addColumn<int>("twips");
        QTest::addColumn<float>("multiplier");
        QTest::addColumn<int>("expected");
        QTest::newRow("capped window") << 5500 << float(20000.0 / 15360.0) << 7161;
        QTest::newRow("half down to even") << 3 << 1.5f << 4;
        QTest::newRow("half up to even") << 5 << 1.5f << 8;
    }
    void scalesTwipsHalfToEven()
    {
        QFETCH(int, twips);
        QFETCH(float, multiplier);
        QFETCH(int, expected);
        QCOMPARE(scaledTwips(twips, multiplier), expected);
    }

    // Values an SQLite table may hold although the item table declares numbers.
    void makesCellsOfOddValues_data()
    {
        QTest::addColumn<QVariant>("itemId");
        QTest::addColumn<QVariant>("retail");
        QTest::addColumn<QVariant>("stamp");
        // item|picture item (- for none)|retail|stamp|date|time|listed stamp|state
        QTest::addColumn<QString>("expected");
        QTest::newRow("item number beyond 32 bits")
            << QVariant(5000000000LL) << QVariant(5) << QVariant(0)
            << "5000000000|-|5.00|0|Dec-31-1969|19:00:00|0|0";
        QTest::newRow("numbers as text")
            << QVariant("17") << QVariant("2.5") << QVariant("1600000000")
            << "17|17|2.50|1600000000|Sep-13-2020|07:26:00|1600000000|1";
        QTest::newRow("price that is no number")
            << QVariant(3) << QVariant("abc") << QVariant(0) << "3|3||0|Dec-31-1969|19:00:00|0|0";
        QTest::newRow("stamp beyond 32 bits")
            << QVariant(3) << QVariant(1) << QVariant(5000000000LL)
            << "3|3|1.00|5000000000|||5000000000|2";
        QTest::newRow("smallest stamp")
            << QVariant(3) << QVariant(1) << QVariant(std::numeric_limits<qint32>::min())
            << "3|3|1.00|-2147483648|||-2147483648|1";
        QTest::newRow("whole stamp stored as real")
            << QVariant(3) << QVariant(1) << QVariant(1700000000.0)
            << "3|3|1.00|1700000000|Nov-14-2023|17:13:00|1700000000|2";
        QTest::newRow("stamp that is no number")
            << QVariant(3) << QVariant(1) << QVariant("soon") << "3|3|1.00|soon|||NULL|0";
    }
    void makesCellsOfOddValues()
    {
        QFETCH(QVariant, itemId);
        QFETCH(QVariant, retail);
        QFETCH(QVariant, stamp);
        QFETCH(QString, expected);
        const ListingRow row = listingRow(itemId, QStringLiteral("R-1"), QVariant(), retail, stamp,
                                          1650000000, false, kUs);
        const QStringList cells{
            row.itemId,
            row.pictureItem ? QString::number(*row.pictureItem) : QStringLiteral("-"),
            row.retail,
            row.stamp,
            row.date,
            row.time,
            row.listedStamp.isNull() ? QStringLiteral("NULL") : row.listedStamp.toString(),
            QString::number(int(row.state))};
        QCOMPARE(cells.join(QLatin1Char('|')), expected);
    }
};

QTEST_APPLESS_MAIN(ListingQueryTest)
#include "tst_listingquery.moc"
