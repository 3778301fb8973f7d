#include "data/FieldReader.h"

#include "TestSupport.h"

#include <QtTest>

class FieldReaderTest : public QObject
{
    Q_OBJECT

private slots:
    void splitsFieldsBySequentialInputRules_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QStringList>("fields");
        const auto row = [](const char* name, const QByteArray& content,
                            const QStringList& fields) {
            QTest::newRow(name) << content << fields;
        };
        row("comma and CR LF, last line end opens nothing", "a,b\r\nc\r\n", {"a", "b", "c"});
        row("lone LF, lone CR", "a\nb\rc", {"a", "b", "c"});
        row("LF then CR is two line ends", "a\n\rb", {"a", "", "b"});
        row("leading blanks skipped", "   a,\t b", {"a", "b"});
        row("trailing blanks dropped", "a  \t,b  \r\nc ", {"a", "b", "c"});
        row("inner blanks kept", "Main  Street 5", {"Main  Street 5"});
        row("quoted with commas", "\"Smith, Jones and Co\",next", {"Smith, Jones and Co", "next"});
        row("quoted keeps its blanks", "  \"  padded  \"", {"  padded  "});
        row("text after closing quote dropped", "\"a\" junk, more\r\nb", {"a", "more", "b"});
        row("quote inside unquoted field kept", "12\" chain", {"12\" chain"});
        row("empty quoted field", "a,\"\",b", {"a", "", "b"});
        row("quoted over line ends keeps them", "\"12 Main St\r\nUnit 3\",\"a\nb\"\r\nc",
            {"12 Main St\r\nUnit 3", "a\nb", "c"});
        row("unclosed quote runs to the end", "\"open, still\r\nb\r\n", {"open, still\r\nb\r\n"});
        row("empty and blank lines are one field each", "a\r\n\r\n  \r\nb", {"a", "", "", "b"});
        row("only a line end", "\r\n", {""});
        row("empty input", "", {});
        row("double and leading comma", ",a,,b", {"", "a", "", "b"});
        row("comma before a line end: one empty field", "a,  \r\nb", {"a", "", "b"});
        row("comma ends input", "a,", {"a", ""});
        row("comma line then empty line", "a,\r\n\r\nb", {"a", "", "", "b"});
        row("Windows-1252", "M\xFCller,\x80 5 \x96 6", {QString::fromUtf8("Müller"), "€ 5 – 6"});
    }
    void splitsFieldsBySequentialInputRules()
    {
        QFETCH(QByteArray, content);
        QFETCH(QStringList, fields);
        FieldReader reader(content);
        QStringList read;
        while (!reader.atEnd()) {
            const auto field = reader.next();
            QVERIFY(field.has_value());
            read << *field;
        }
        QCOMPARE(read, fields);
        QVERIFY(!reader.next().has_value());
    }

    void readsFirstFieldOfAFile()
    {
        vesktest::TestInstallation inst;
        inst.writeFile("userid.ini", "\"Store 7, Main St\",x\r\n");
        inst.writeFile("emptyline.ini", "\r\nsecond");
        inst.writeFile("empty.ini", "");
        QVERIFY(QDir(inst.dir()).mkdir("folder.ini"));
        QCOMPARE(readFirstField(inst.path("userid.ini")), QStringLiteral("Store 7, Main St"));
        QCOMPARE(readFirstField(inst.path("emptyline.ini")), QString());
        for (const QString& path :
             {inst.path("empty.ini"), inst.path("folder.ini"), inst.path("missing.ini"), QString()})
            QVERIFY2(!readFirstField(path).has_value(), qPrintable(path));
    }
};

QTEST_GUILESS_MAIN(FieldReaderTest)
#include "tst_fieldreader.moc"
