#include "data/LeadingNumber.h"

#include <QtTest>

#include <limits>

namespace {
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr qint32 kMin = std::numeric_limits<qint32>::min();
} // namespace

class tst_LeadingNumber : public QObject
{
    Q_OBJECT

private slots:
    void readsLeadingNumber_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("value");
        QTest::newRow("blanks between digits") << " 1 2 3" << 123.0;
        QTest::newRow("trailing letters") << "12abc" << 12.0;
        QTest::newRow("empty") << "" << 0.0;
        QTest::newRow("leading point and exponent") << ".5e1" << 5.0;
        QTest::newRow("blank after sign") << "- 5" << -5.0;
        QTest::newRow("negative exponent") << "25e-2" << 0.25;
        QTest::newRow("blanks inside exponent") << "1 E +2" << 100.0;
        QTest::newRow("exponent sign without digits") << "1e+x" << 1.0;
        QTest::newRow("second point ends number") << "1.2.3" << 1.2;
        QTest::newRow("comma ends number") << "1,000" << 1.0;
        QTest::newRow("two signs") << "+-5" << 0.0;
        QTest::newRow("tab and line feed inside") << "1\t2\n3" << 123.0;
        QTest::newRow("carriage return ends number") << "1\r2" << 1.0;
        QTest::newRow("non-breaking space ends number") << QStringLiteral("1\u00a02") << 1.0;
        QTest::newRow("arabic-indic digit is not read") << QStringLiteral("\u0661") << 0.0;
        QTest::newRow("beyond 32 bits") << "99999999999" << 99999999999.0;
        QTest::newRow("huge exponent") << "-1e400" << -kInf;
    }
    void readsLeadingNumber()
    {
        QFETCH(QString, text);
        QFETCH(double, value);
        QCOMPARE(leadingNumber(text), value);
    }

    void readsNumberWhateverTheDefaultLocale()
    {
        const QLocale previous;
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        const double point = leadingNumber(QStringLiteral("1.5"));
        const double comma = leadingNumber(QStringLiteral("1,5"));
        QLocale::setDefault(previous);
        QCOMPARE(point, 1.5);
        QCOMPARE(comma, 1.0);
    }

    // An expected 0 with "fits" false: no 32-bit value.
    void roundsToInt32HalfEven_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<bool>("fits");
        QTest::addColumn<qint32>("expected");
        QTest::newRow("half to even down") << 2.5 << true << 2;
        QTest::newRow("half to even up") << 3.5 << true << 4;
        QTest::newRow("half above largest rounds out") << 2147483647.5 << false << 0;
        QTest::newRow("smallest") << -2147483648.0 << true << kMin;
        QTest::newRow("half below smallest rounds in") << -2147483648.5 << true << kMin;
        QTest::newRow("below smallest") << -2147483649.0 << false << 0;
        QTest::newRow("infinity") << kInf << false << 0;
        QTest::newRow("not a number") << std::numeric_limits<double>::quiet_NaN() << false << 0;
    }
    void roundsToInt32HalfEven()
    {
        QFETCH(double, value);
        QFETCH(bool, fits);
        QFETCH(qint32, expected);
        QCOMPARE(toInt32HalfEven(value), fits ? std::optional<qint32>(expected) : std::nullopt);
    }
};

QTEST_APPLESS_MAIN(tst_LeadingNumber)
#include "tst_leadingnumber.moc"
