// The installation's small text files (fields, the handshake, progress words)
// and values read from typed text or written for the export.

#include "data/ExportRoutines.h"
#include "data/FieldReader.h"
#include "data/FileRoutines.h"
#include "data/HandShakeSettings.h"
#include "data/LeadingNumber.h"

#include "TestSupport.h"

#include <QtTest>

#include <limits>

namespace {
QByteArray readBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<none>");
}
} // namespace

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

    // "<none>": no file; "previous": the picture folder kept from before.
    void handshakeGivesTheFourthField_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("pictureServer");
        QTest::addColumn<bool>("fails");
        QTest::newRow("one line, more ignored")
            << QByteArray("srv,db,user,\\\\pics\\items\\,more\r\n") << "\\\\pics\\items\\" << false;
        QTest::newRow("quoted, four lines")
            << QByteArray("1\r\n2\r\n3\r\n\"P:\\Smith, Jones\\\"\r\n") << "P:\\Smith, Jones\\"
            << false;
        QTest::newRow("missing file") << QByteArray("<none>") << "previous" << false;
        QTest::newRow("three lines") << QByteArray("1\r\n2\r\n3\r\n") << "previous" << true;
    }
    void handshakeGivesTheFourthField()
    {
        QFETCH(QByteArray, content);
        QFETCH(bool, fails);
        vesktest::TestInstallation inst;
        inst.writeFile("vesk_error.ini", "userid\r\n");
        if (content != "<none>")
            inst.writeFile("handshakesettings.ini", content);
        QString field = QStringLiteral("previous");
        const QString error =
            vesktest::errorOf([&] { QVERIFY(!GetHandShakeSettings(inst.installation(), field)); });
        QCOMPARE(error.isEmpty(), !fails);
        QCOMPARE(error.contains("handshakesettings.ini"), fails);
        QTEST(field, "pictureServer");
        QCOMPARE(readBytes(inst.path("vesk_error.ini")), QByteArray("handshakesettings\r\n"));
    }

    void fileExistsOnlyForFiles()
    {
        vesktest::TestInstallation inst;
        inst.writeFile("a.ini", "x\r\n");
        QVERIFY(QDir(inst.dir()).mkdir("sub"));
        QVERIFY(QFile::link(inst.path("a.ini"), inst.path("filelink")));
        QVERIFY(QFile::link(inst.path("sub"), inst.path("folderlink")));
        QVERIFY(QFile::link(inst.path("gone.ini"), inst.path("dangling")));
        QVERIFY(FileExists(inst.path("a.ini")) && FileExists(inst.path("filelink")));
        for (const char* name : {"sub", "folderlink", "dangling", "none"})
            QVERIFY2(!FileExists(inst.path(name)), name);
        QVERIFY(!FileExists(QString()));
    }

    // Whole content replaced, in Windows-1252; a failure named with its file.
    void writesFilesWholeOrNamesTheFailure()
    {
        vesktest::TestInstallation inst;
        inst.writeFile("out.txt", "first line\r\nsecond line\r\n");
        WriteFile(inst.path("out.txt"), QString::fromUtf8("Müller €, Ω"));
        QCOMPARE(readBytes(inst.path("out.txt")), QByteArray("M\xFCller \x80, ?\r\n"));
        const QString path = QDir::toNativeSeparators(inst.path("nowhere/out.txt"));
        const QString line = vesktest::errorOf([&] { writeTextLine(path, "text"); });
        QVERIFY2(line.contains(path) && line.size() > path.size() + 16, qPrintable(line));
        inst.writeFile("vesk_error.ini", QByteArray("a\r\nb\r\n\x00\xff", 8));
        writeProgressWord(inst.installation(), QStringLiteral("userid"));
        QCOMPARE(readBytes(inst.path("vesk_error.ini")), QByteArray("userid\r\n"));
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

    void roundsToInt32HalfEven()
    {
        QCOMPARE(toInt32HalfEven(2.5), 2);
        QCOMPARE(toInt32HalfEven(3.5), 4);
        QCOMPARE(toInt32HalfEven(-2147483648.5), std::numeric_limits<qint32>::min());
        for (const double outside : {2147483647.5, -2147483649.0, qQNaN()})
            QVERIFY(!toInt32HalfEven(outside));
    }

    void cleansTextForExport()
    {
        QCOMPARE(CleanStringForExport("a\r\nb\nc\rd\n\re\r\r\nf"), "a ||| b c d  e  ||| f");
        QCOMPARE(CleanStringForExport("a\"b,c it's\t"), "a''b;c it's\t");
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
