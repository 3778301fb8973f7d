#include "data/LeadingNumber.h"

#include <QtTest>

#include <cmath>
#include <limits>

namespace {
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
} // namespace

class tst_LeadingNumber : public QObject
{
    Q_OBJECT

private slots:
    void readsLeadingNumber_data();
    void readsLeadingNumber();
    void readsNumberWhateverTheDefaultLocale();
    void roundsToInt32HalfEven_data();
    void roundsToInt32HalfEven();
};

void tst_LeadingNumber::readsLeadingNumber_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("value");

    QTest::newRow("digits") << "123" << 123.0;
    QTest::newRow("blanks between digits") << " 1 2 3" << 123.0;
    QTest::newRow("trailing letters") << "12abc" << 12.0;
    QTest::newRow("letters") << "abc" << 0.0;
    QTest::newRow("empty") << "" << 0.0;
    QTest::newRow("only blanks") << "   " << 0.0;
    QTest::newRow("negative") << "-5" << -5.0;
    QTest::newRow("explicit plus") << "+7" << 7.0;
    QTest::newRow("blank after sign") << "- 5" << -5.0;
    QTest::newRow("exponent") << "1.5e3" << 1500.0;
    QTest::newRow("capital exponent") << "2E2" << 200.0;
    QTest::newRow("negative exponent") << "25e-2" << 0.25;
    QTest::newRow("signed exponent") << "3e+2x" << 300.0;
    QTest::newRow("exponent without digits") << "1e" << 1.0;
    QTest::newRow("exponent sign without digits") << "1e+" << 1.0;
    QTest::newRow("exponent followed by letter") << "4ex" << 4.0;
    QTest::newRow("exponent without mantissa") << "e5" << 0.0;
    QTest::newRow("point and exponent without mantissa digits") << ".e5" << 0.0;
    QTest::newRow("leading point") << ".5" << 0.5;
    QTest::newRow("sign and point only") << "+." << 0.0;
    QTest::newRow("sign only") << "-" << 0.0;
    QTest::newRow("trailing point") << "7." << 7.0;
    QTest::newRow("point then exponent") << "1.e2" << 100.0;
    QTest::newRow("second point ends number") << "1.2.3" << 1.2;
    QTest::newRow("comma ends number") << "1,000" << 1.0;
    QTest::newRow("hexadecimal is not read") << "0x10" << 0.0;
    QTest::newRow("two signs") << "+-5" << 0.0;
    QTest::newRow("leading zeros") << "007" << 7.0;
    QTest::newRow("tab inside") << "1\t2" << 12.0;
    QTest::newRow("line feed inside") << "4\n2" << 42.0;
    QTest::newRow("blank inside exponent") << "1 e 2" << 100.0;
    QTest::newRow("carriage return ends number") << "1\r2" << 1.0;
    QTest::newRow("non-breaking space ends number") << QStringLiteral("1\u00a02") << 1.0;
    QTest::newRow("arabic-indic digit is not read") << QStringLiteral("\u0661") << 0.0;
    QTest::newRow("stamp") << "1798153200" << 1798153200.0;
    QTest::newRow("beyond 32 bits") << "99999999999" << 99999999999.0;
    QTest::newRow("huge exponent") << "1e400" << kInf;
    QTest::newRow("huge negative exponent") << "-1e400" << -kInf;
    QTest::newRow("tiny exponent") << "1e-400" << 0.0;
}

void tst_LeadingNumber::readsLeadingNumber()
{
    QFETCH(QString, text);
    QFETCH(double, value);
    QCOMPARE(leadingNumber(text), value);
}

void tst_LeadingNumber::readsNumberWhateverTheDefaultLocale()
{
    const QLocale previous;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    const double point = leadingNumber(QStringLiteral("1.5"));
    const double comma = leadingNumber(QStringLiteral("1,5"));
    QLocale::setDefault(previous);
    QCOMPARE(point, 1.5);
    QCOMPARE(comma, 1.0);
}

void tst_LeadingNumber::roundsToInt32HalfEven_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<bool>("fits");
    QTest::addColumn<qint32>("expected");

    QTest::newRow("whole") << 42.0 << true << 42;
    QTest::newRow("half to even down") << 2.5 << true << 2;
    QTest::newRow("half to even up") << 3.5 << true << 4;
    QTest::newRow("negative half to even") << -2.5 << true << -2;
    QTest::newRow("below half") << 2.49 << true << 2;
    QTest::newRow("above half") << 2.51 << true << 3;
    QTest::newRow("largest") << 2147483647.0 << true << 2147483647;
    QTest::newRow("half above largest rounds out") << 2147483647.5 << false << 0;
    QTest::newRow("above largest") << 2147483648.0 << false << 0;
    QTest::newRow("smallest") << -2147483648.0 << true << std::numeric_limits<qint32>::min();
    QTest::newRow("half below smallest rounds in")
        << -2147483648.5 << true << std::numeric_limits<qint32>::min();
    QTest::newRow("below smallest") << -2147483649.0 << false << 0;
    QTest::newRow("infinity") << kInf << false << 0;
    QTest::newRow("minus infinity") << -kInf << false << 0;
    QTest::newRow("not a number") << kNaN << false << 0;
}

void tst_LeadingNumber::roundsToInt32HalfEven()
{
    QFETCH(double, value);
    QFETCH(bool, fits);
    QFETCH(qint32, expected);

    const std::optional<qint32> result = toInt32HalfEven(value);
    QCOMPARE(result.has_value(), fits);
    if (fits)
        QCOMPARE(*result, expected);
}

QTEST_APPLESS_MAIN(tst_LeadingNumber)
#include "tst_leadingnumber.moc"
