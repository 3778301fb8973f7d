// Values read from the installation's text files, from typed text, and the
// password scrambling.

#include "data/ExportRoutines.h"
#include "data/FieldReader.h"
#include "data/LeadingNumber.h"
#include "numeric/HalfEven.h"

#include "TestSupport.h"

#include <QtTest>

#include <limits>

class RoutinesTest : public QObject
{
    Q_OBJECT
private slots:
    void splitsFieldsBySequentialInputRules_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QStringList>("fields");
        const auto row = [](const char* name, const QByteArray& content, const QStringList& f) {
            QTest::newRow(name) << content << f;
        };
        row("CR LF, last line end opens nothing", "a,b\r\nc\r\n", {"a", "b", "c"});
        row("lone LF, lone CR, LF then CR", "a\nb\rc\n\rd", {"a", "b", "c", "", "d"});
        row("blanks around dropped, inside kept", "   a  b\t, c ", {"a  b", "c"});
        row("quoted with commas and blanks", "  \" x, y \",next", {" x, y ", "next"});
        row("text after closing quote dropped", "\"a\" junk, more\r\nb", {"a", "more", "b"});
        row("quote inside unquoted field kept", "12\" chain", {"12\" chain"});
        row("quoted over line ends", "\"1 Main\r\nUnit 3\",\"\"\r\nc",
            {"1 Main\r\nUnit 3", "", "c"});
        row("unclosed quote runs to the end", "\"open, still\r\nb\r\n", {"open, still\r\nb\r\n"});
        row("Windows-1252", "M\xFCller,\x80 5 \x96 6", {QString::fromUtf8("Müller"), "€ 5 – 6"});
    }
    void splitsFieldsBySequentialInputRules()
    {
        QFETCH(QByteArray, content);
        FieldReader reader(content);
        QStringList read;
        while (!reader.atEnd())
            read << reader.next().value_or("<no field>");
        QTEST(read, "fields");
        QVERIFY(!reader.next().has_value());
    }

    // Read with a German default locale: the number's own rules, not the locale's.
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
        QTest::newRow("huge exponent") << "-1e400" << -std::numeric_limits<double>::infinity();
    }
    void readsLeadingNumber()
    {
        QFETCH(QString, text);
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        const double value = leadingNumber(text);
        QLocale::setDefault(QLocale::c());
        QTEST(value, "value");
    }

    // One rounding for every layer; the ends of each whole-number range are where
    // a limit written as the type's maximum in a double goes wrong.
    void roundsHalvesToEvenWithinRange_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("int16"); // "-" when out of range
        QTest::addColumn<QString>("int32");
        QTest::addColumn<QString>("int64");
        const auto row = [](const char* name, double v, const char* a, const char* b,
                            const char* c) { QTest::newRow(name) << v << a << b << c; };
        row("2.5 down, 3.5 up", 2.5, "2", "2", "2");
        row("-2.5 to -2", -2.5, "-2", "-2", "-2");
        row("just above a half", 0.5000001, "1", "1", "1");
        row("int16 top half", 32767.5, "-", "32768", "32768");
        row("int16 bottom half", -32768.5, "-32768", "-32768", "-32768");
        row("int32 top", 2147483647.4, "-", "2147483647", "2147483647");
        row("int32 bottom half", -2147483648.5, "-", "-2147483648", "-2147483648");
        row("2^63", 9223372036854775808.0, "-", "-", "-");
        row("-2^63", -9223372036854775808.0, "-", "-", "-9223372036854775808");
        row("not a number", std::nan(""), "-", "-", "-");
    }
    void roundsHalvesToEvenWithinRange()
    {
        QFETCH(double, value);
        const auto text = [](auto whole) {
            return whole ? QString::number(*whole) : QStringLiteral("-");
        };
        QTEST(text(toIntHalfEven<qint16>(value)), "int16");
        QTEST(text(toInt32HalfEven(value)), "int32");
        QTEST(text(toIntHalfEven<qint64>(value)), "int64");
    }

    // Codes shifted by twenty in Windows-1252; or what stops the shift.
    void shiftsPasswordCodesByTwenty_data()
    {
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("scrambled"); // or a part of the refusal
        QTest::newRow("letters") << "abc?"
                                 << "uvwS";
        QTest::newRow("to and from the euro sign")
            << QStringLiteral("l\u20AC") << QStringLiteral("\u20AC\u201D");
        QTest::newRow("trailing blank") << "abc "
                                        << "leading or trailing blanks";
        QTest::newRow("code 236") << "ab\u00EC"
                                  << "(code 236) at position 3 would become code 256";
    }
    void shiftsPasswordCodesByTwenty()
    {
        QFETCH(QString, password);
        QFETCH(QString, scrambled);
        QString shifted;
        const QString error = vesktest::errorOf([&] { shifted = EncryptPassword(password); });
        VESK_VERIFY_CONTAINS(error.isEmpty() ? shifted : error, scrambled);
        if (error.isEmpty())
            QCOMPARE(DecryptPassword(scrambled), password);
    }
};

QTEST_GUILESS_MAIN(RoutinesTest)
#include "tst_routines.moc"
