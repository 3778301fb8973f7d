// Values read from typed text and written for the grid and the export.

#include "data/Cp1252.h"
#include "data/ExportRoutines.h"
#include "data/LeadingNumber.h"
#include "auction_core/ListingQuery.h"

#include "TestSupport.h"

#include <QtTest>

#include <limits>
#include <stdexcept>

namespace {
constexpr double kInf = std::numeric_limits<double>::infinity();
const QLocale kUs(QLocale::English, QLocale::UnitedStates);
const QLocale kGerman(QLocale::German, QLocale::Germany);

QString chars(std::initializer_list<char16_t> codes)
{
    return QString::fromUtf16(codes.begin(), qsizetype(codes.size()));
}
} // namespace

class ValuesTest : public QObject
{
    Q_OBJECT
private slots:
    void readsLeadingNumber_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("value");
        QTest::newRow("blanks, tab and line feed between digits") << " 1 2\t3\n4" << 1234.0;
        QTest::newRow("trailing letters") << "12abc" << 12.0;
        QTest::newRow("leading point and exponent") << ".5e1" << 5.0;
        QTest::newRow("blanks after sign and in exponent") << "- 2 E -2" << -0.02;
        QTest::newRow("second point ends number") << "1.2.3" << 1.2;
        QTest::newRow("comma ends number, whatever the locale") << "1,5" << 1.0;
        QTest::newRow("non-breaking space ends number") << QStringLiteral("1\u00a02") << 1.0;
        QTest::newRow("huge exponent") << "-1e400" << -kInf;
    }
    void readsLeadingNumber()
    {
        QFETCH(QString, text);
        const QLocale previous;
        QLocale::setDefault(kGerman);
        const double value = leadingNumber(text);
        QLocale::setDefault(previous);
        QTEST(value, "value");
    }

    void roundsToInt32HalfEven()
    {
        QCOMPARE(toInt32HalfEven(2.5), 2);
        QCOMPARE(toInt32HalfEven(3.5), 4);
        QCOMPARE(toInt32HalfEven(-2147483648.5), std::numeric_limits<qint32>::min());
        for (const double outside :
             {2147483647.5, -2147483649.0, kInf, std::numeric_limits<double>::quiet_NaN()})
            QVERIFY(!toInt32HalfEven(outside));
    }

    void cleansTextForExport()
    {
        QCOMPARE(CleanStringForExport("a\r\nb\nc\rd\n\re\r\r\nf"), "a ||| b c d  e  ||| f");
        QCOMPARE(CleanStringForExport("a\"b,c it's\t"), "a''b;c it's\t");
    }

    // Both ways, unless the scrambled text begins or ends with a blank.
    void shiftsPasswordCodesByTwenty_data()
    {
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("scrambled");
        QTest::newRow("letters") << "abc?"
                                 << "uvwS";
        QTest::newRow("to and from the euro sign")
            << QStringLiteral("l\u20AC") << QStringLiteral("\u20AC\u201D");
        QTest::newRow("highest and lowest code") << chars({0xEB, 0}) << chars({0xFF, 20});
        QTest::newRow("code 12 becomes a blank") << chars({12, u'a'}) << " u";
    }
    void shiftsPasswordCodesByTwenty()
    {
        QFETCH(QString, password);
        QFETCH(QString, scrambled);
        QCOMPARE(EncryptPassword(password), scrambled);
        if (!scrambled.startsWith(u' ') && !scrambled.endsWith(u' '))
            QCOMPARE(DecryptPassword(scrambled), password);
        QByteArray everyCode("a");
        for (int code = 0; code <= 235; ++code)
            everyCode.append(static_cast<char>(code));
        const QString all = decodeCp1252(everyCode + 'a');
        QCOMPARE(DecryptPassword(EncryptPassword(all)), all);
    }

    void rejectsUnshiftablePassword_data()
    {
        QTest::addColumn<bool>("encrypt");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("messagePart");
        QTest::newRow("trailing blank") << true << "abc "
                                        << "leading or trailing blanks";
        QTest::newRow("code 236") << true << "ab\u00EC"
                                  << "(code 236) at position 3 would become code 256";
        QTest::newRow("code 19") << false << chars({u'a', 19}) << "U+0013 (code 19) at position 2";
        QTest::newRow("outside the code page") << true << "a\u0100"
                                               << "'\u0100' (U+0100) at position 2 has no";
    }
    void rejectsUnshiftablePassword()
    {
        QFETCH(bool, encrypt);
        QFETCH(QString, password);
        QFETCH(QString, messagePart);
        try {
            const QString result = encrypt ? EncryptPassword(password) : DecryptPassword(password);
            QFAIL(qPrintable("no error, result " + result));
        } catch (const std::invalid_argument& e) {
            VESK_VERIFY_CONTAINS(QString::fromStdString(e.what()), messagePart);
        }
    }

    void formatsCellsWithLocaleSeparatorsAndMonths()
    {
        QCOMPARE(formatRetail(-1234567.891, kUs), QStringLiteral("-1,234,567.89"));
        QCOMPARE(formatRetail(-0.001, kUs), QStringLiteral("0.00")); // no "-0.00"
        QCOMPARE(formatRetail(1234.5, kGerman), QStringLiteral("1.234,50"));
        QCOMPARE(formatAuctionDate(QDate(2026, 3, 9), kGerman), QStringLiteral("März-9-2026"));
        QCOMPARE(formatAuctionTime(QTime(8, 1, 59), kGerman), QStringLiteral("08:01:00"));
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
        QTest::newRow("stamp beyond 32 bits")
            << V(3) << V(1) << V(5000000000LL) << "3|3|1.00|5000000000|||5000000000|2";
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
        const ListingRow row = listingRow(itemId, QStringLiteral("R-1"), QVariant(), retail, stamp,
                                          1650000000, false, kUs);
        const QString picture = row.pictureItem ? QString::number(*row.pictureItem) : "-";
        const QString listed = row.listedStamp.isNull() ? "NULL" : row.listedStamp.toString();
        QTEST(QStringList({row.itemId, picture, row.retail, row.stamp, row.date, row.time, listed,
                           QString::number(int(row.state))})
                  .join('|'),
              "expected");
    }
};

QTEST_GUILESS_MAIN(ValuesTest)
#include "tst_values.moc"
