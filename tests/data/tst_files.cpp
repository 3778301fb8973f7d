// The installation's small text files: fields, the handshake, progress words.

#include "data/FieldReader.h"
#include "data/FileRoutines.h"
#include "data/HandShakeSettings.h"

#include "TestSupport.h"

#include <QtTest>

namespace {
QByteArray readBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<none>");
}
} // namespace

class FilesTest : public QObject
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
        while (!reader.atEnd()) {
            const auto field = reader.next();
            QVERIFY(field.has_value());
            read << *field;
        }
        QTEST(read, "fields");
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
        for (const char* name : {"empty.ini", "folder.ini", "missing.ini"})
            QVERIFY2(!readFirstField(inst.path(name)).has_value(), name);
    }

    // "<none>": no file; "previous": the
    // picture folder kept from before.
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
        try {
            QVERIFY(!GetHandShakeSettings(inst.installation(), field));
            QVERIFY(!fails);
        } catch (const FileError& e) {
            QVERIFY2(fails, qPrintable(e.message()));
            VESK_VERIFY_CONTAINS(e.message(), "handshakesettings.ini");
        }
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
        for (const QString& path : {inst.path("sub"), inst.path("folderlink"),
                                    inst.path("dangling"), inst.path("none"), QString()})
            QVERIFY2(!FileExists(path), qPrintable(path));
    }

    // Whole content replaced, in Windows-1252; failures ignored, or named.
    void writesFilesWholeOrNamesTheFailure()
    {
        vesktest::TestInstallation inst;
        inst.writeFile("out.txt", "first line\r\nsecond line\r\n");
        WriteFile(inst.path("out.txt"), QString::fromUtf8("Müller €, Ω"));
        QCOMPARE(readBytes(inst.path("out.txt")), QByteArray("M\xFCller \x80, ?\r\n"));
        QVERIFY(QDir(inst.dir()).mkdir("sub"));
        WriteFile(inst.path("sub"), QStringLiteral("text"));
        WriteFile(inst.path("nowhere/out.txt"), QStringLiteral("text"));
        QVERIFY(QFileInfo(inst.path("sub")).isDir() && !QFileInfo::exists(inst.path("nowhere")));

        const QString path = QDir::toNativeSeparators(inst.path("nowhere/out.txt"));
        const QString line = vesktest::errorOf([&] { writeTextLine(path, "text"); });
        QVERIFY2(line.contains(path) && line.size() > path.size() + 16, qPrintable(line));
        inst.writeFile("vesk_error.ini", QByteArray("a\r\nb\r\n\x00\xff", 8));
        writeProgressWord(inst.installation(), QStringLiteral("userid"));
        QCOMPARE(readBytes(inst.path("vesk_error.ini")), QByteArray("userid\r\n"));
    }
};

QTEST_GUILESS_MAIN(FilesTest)
#include "tst_files.moc"
