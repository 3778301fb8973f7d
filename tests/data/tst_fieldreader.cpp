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
        row("comma and CR LF", "a,b\r\nc", {"a", "b", "c"});
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
        row("unterminated quote stops at line end", "\"open, still\r\nb", {"open, still", "b"});
        row("empty and blank lines are one field each", "a\r\n\r\n  \r\nb", {"a", "", "", "b"});
        row("only a line end", "\r\n", {""});
        row("empty input", "", {});
        row("double and leading comma", ",a,,b", {"", "a", "", "b"});
        row("comma and blanks end a line", "a,  \r\nb", {"a", "b"});
        row("comma ends input", "a,", {"a"});
        row("comma line then empty line", "a,\r\n\r\nb", {"a", "", "b"});
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

    // "<none>" stands for no file, "<folder>" for a folder in its place.
    void readsFirstFieldOfAFile_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<bool>("found");
        QTest::addColumn<QString>("first");
        QTest::newRow("store id") << QByteArray("JW0042\r\n") << true << "JW0042";
        QTest::newRow("quoted with comma")
            << QByteArray("\"Store 7, Main St\",x\r\n") << true << "Store 7, Main St";
        QTest::newRow("empty file") << QByteArray() << false << "";
        QTest::newRow("empty first line") << QByteArray("\r\nsecond") << true << "";
        QTest::newRow("missing file") << QByteArray("<none>") << false << "";
        QTest::newRow("folder") << QByteArray("<folder>") << false << "";
    }
    void readsFirstFieldOfAFile()
    {
        QFETCH(QByteArray, content);
        QFETCH(bool, found);
        QFETCH(QString, first);
        vesktest::TestInstallation inst;
        if (content == "<folder>")
            QVERIFY(QDir(inst.dir()).mkdir("userid.ini"));
        else if (content != "<none>")
            inst.writeFile("userid.ini", content);
        QCOMPARE(readFirstField(inst.path("userid.ini")),
                 found ? std::optional<QString>(first) : std::nullopt);
        QVERIFY(!readFirstField(QString()).has_value());
    }
};

QTEST_GUILESS_MAIN(FieldReaderTest)
#include "tst_fieldreader.moc"
