#include "data/FieldReader.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

class FieldReaderTest : public QObject
{
    Q_OBJECT

private:
    static QStringList readAll(const QByteArray& content)
    {
        FieldReader reader(content);
        QStringList fields;
        while (auto field = reader.next())
            fields << *field;
        return fields;
    }
    static void writeBytes(const QString& path, const QByteArray& bytes)
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        QCOMPARE(file.write(bytes), bytes.size());
    }

private slots:
    void splitsFieldsByTheSuiteRules_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QStringList>("fields");
        const auto L = [](std::initializer_list<const char*> items) {
            QStringList out;
            for (const char* i : items)
                out << QString::fromLatin1(i);
            return out;
        };
        QTest::newRow("comma and CR LF") << QByteArray("a,b\r\nc") << L({"a", "b", "c"});
        QTest::newRow("one per line") << QByteArray("a\r\nb\r\nc\r\n") << L({"a", "b", "c"});
        QTest::newRow("lone LF") << QByteArray("a\nb") << L({"a", "b"});
        QTest::newRow("lone CR") << QByteArray("a\rb") << L({"a", "b"});
        QTest::newRow("leading spaces") << QByteArray("   a,  b") << L({"a", "b"});
        QTest::newRow("leading tab") << QByteArray("\ta") << L({"a"});
        QTest::newRow("trailing blanks dropped")
            << QByteArray("a  \t,b  \r\nc ") << L({"a", "b", "c"});
        QTest::newRow("inner blanks kept") << QByteArray("Main  Street 5") << L({"Main  Street 5"});
        QTest::newRow("quoted with commas")
            << QByteArray("\"Smith, Jones and Co\",next") << L({"Smith, Jones and Co", "next"});
        QTest::newRow("quoted keeps its blanks")
            << QByteArray("\"  padded  \"") << L({"  padded  "});
        QTest::newRow("quoted after blanks") << QByteArray("  \"q,r\"") << L({"q,r"});
        QTest::newRow("text after closing quote dropped")
            << QByteArray("\"a\"junk,b") << L({"a", "b"});
        QTest::newRow("text after closing quote up to comma")
            << QByteArray("\"a\" junk, more\r\nb") << L({"a", "more", "b"});
        QTest::newRow("quote inside unquoted field kept")
            << QByteArray("12\" chain") << L({"12\" chain"});
        QTest::newRow("empty quoted field") << QByteArray("a,\"\",b") << L({"a", "", "b"});
        QTest::newRow("unterminated quote stops at line end")
            << QByteArray("\"open, still\r\nb") << L({"open, still", "b"});
        QTest::newRow("empty line is one field") << QByteArray("a\r\n\r\nb") << L({"a", "", "b"});
        QTest::newRow("blank line is one field")
            << QByteArray("a\r\n   \r\nb") << L({"a", "", "b"});
        QTest::newRow("two empty lines") << QByteArray("a\r\n\r\n\r\nb") << L({"a", "", "", "b"});
        QTest::newRow("only a line end") << QByteArray("\r\n") << L({""});
        QTest::newRow("two lone CRs") << QByteArray("\r\r") << L({"", ""});
        QTest::newRow("LF then CR is two line ends") << QByteArray("a\n\rb") << L({"a", "", "b"});
        QTest::newRow("empty input") << QByteArray() << QStringList();
        QTest::newRow("double comma") << QByteArray("a,,b") << L({"a", "", "b"});
        QTest::newRow("leading comma") << QByteArray(",b") << L({"", "b"});
        QTest::newRow("comma ends line") << QByteArray("a,\r\nb") << L({"a", "b"});
        QTest::newRow("comma and blanks end line") << QByteArray("a,  \r\nb") << L({"a", "b"});
        QTest::newRow("comma ends input") << QByteArray("a,") << L({"a"});
        QTest::newRow("comma line then empty line")
            << QByteArray("a,\r\n\r\nb") << L({"a", "", "b"});
        QTest::newRow("quoted then comma at line end")
            << QByteArray("\"a,b\",\r\nc") << L({"a,b", "c"});
    }
    void splitsFieldsByTheSuiteRules()
    {
        QFETCH(QByteArray, content);
        QFETCH(QStringList, fields);
        QCOMPARE(readAll(content), fields);
    }

    void decodesWindows1252_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("first");
        QTest::newRow("German store")
            << QByteArray("Bijouterie M\xFCller,x") << QString::fromUtf8("Bijouterie Müller");
        QTest::newRow("Danish store quoted") << QByteArray("\"Sm\xF8rrebr\xF8"
                                                           "d, K\xF8"
                                                           "benhavn\"")
                                             << QString::fromUtf8("Smørrebrød, København");
        QTest::newRow("euro and dash")
            << QByteArray("\x80 5 \x96 6") << QString::fromUtf8("€ 5 – 6");
    }
    void decodesWindows1252()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, first);
        FieldReader reader(content);
        QCOMPARE(reader.next(), std::optional<QString>(first));
    }

    void atEndAgreesWithNext_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<int>("count");
        QTest::newRow("trailing line end") << QByteArray("a\r\nb\r\n") << 2;
        QTest::newRow("no trailing line end") << QByteArray("a\r\nb") << 2;
        QTest::newRow("trailing comma") << QByteArray("a,b,") << 2;
        QTest::newRow("empty") << QByteArray() << 0;
        QTest::newRow("empty line") << QByteArray("\n") << 1;
    }
    void atEndAgreesWithNext()
    {
        QFETCH(QByteArray, content);
        QFETCH(int, count);
        FieldReader reader(content);
        for (int i = 0; i < count; ++i) {
            QVERIFY(!reader.atEnd());
            QVERIFY(reader.next().has_value());
        }
        QVERIFY(reader.atEnd());
        QVERIFY(!reader.next().has_value());
        QVERIFY(!reader.next().has_value());
    }

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
        QTemporaryDir dir;
        const QString path = dir.filePath("userid.ini");
        if (content == "<folder>")
            QVERIFY(QDir(dir.path()).mkdir("userid.ini"));
        else if (content != "<none>")
            writeBytes(path, content);
        const auto field = readFirstField(path);
        QCOMPARE(field.has_value(), found);
        if (found)
            QCOMPARE(*field, first);
    }

    void openFailsOnMissingFile()
    {
        QTemporaryDir dir;
        QVERIFY(!FieldReader::open(dir.filePath("setup.dic")).has_value());
        QVERIFY(!FieldReader::open(QString()).has_value());
    }
};

QTEST_GUILESS_MAIN(FieldReaderTest)
#include "tst_fieldreader.moc"
