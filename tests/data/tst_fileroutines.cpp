#include "data/Cp1252.h"
#include "data/FileRoutines.h"

#include "TestSupport.h"

#include <QtTest>

namespace {
QByteArray readBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<none>");
}
} // namespace

class FileRoutinesTest : public QObject
{
    Q_OBJECT

private slots:
    void fileExistsOnlyForFiles_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("expected");
        QTest::newRow("plain file") << "a.ini" << true;
        QTest::newRow("read-only file") << "readonly.ini" << true;
        QTest::newRow("hidden file") << ".hidden.ini" << true;
        QTest::newRow("folder") << "sub" << false;
        QTest::newRow("missing file") << "none.ini" << false;
        QTest::newRow("link to file") << "filelink" << true;
        QTest::newRow("link to folder") << "folderlink" << false;
        QTest::newRow("dangling link") << "dangling" << false;
        QTest::newRow("empty path") << "" << false;
    }
    void fileExistsOnlyForFiles()
    {
        QFETCH(QString, path);
        QFETCH(bool, expected);
        vesktest::TestInstallation inst;
        for (const char* name : {"a.ini", "readonly.ini", ".hidden.ini"})
            inst.writeFile(name, "x\r\n");
        QVERIFY(QFile::setPermissions(inst.path("readonly.ini"), QFileDevice::ReadOwner));
        QVERIFY(QDir(inst.dir()).mkdir("sub"));
        QVERIFY(QFile::link(inst.path("a.ini"), inst.path("filelink")));
        QVERIFY(QFile::link(inst.path("sub"), inst.path("folderlink")));
        QVERIFY(QFile::link(inst.path("gone.ini"), inst.path("dangling")));
        QCOMPARE(FileExists(path.isEmpty() ? QString() : inst.path(path)), expected);
    }

    void writeFileReplacesWholeContent()
    {
        vesktest::TestInstallation inst;
        const QString path = inst.path("out.txt");
        WriteFile(path, QStringLiteral("hello"));
        QCOMPARE(readBytes(path), QByteArray("hello\r\n"));
        inst.writeFile("out.txt", "first line\r\nsecond line\r\n");
        WriteFile(path, QString::fromUtf8("Müller €, Ω"));
        QCOMPARE(readBytes(path), QByteArray("M\xFCller \x80, ?\r\n"));
    }

    void writeFileIgnoresFailures()
    {
        vesktest::TestInstallation inst;
        QVERIFY(QDir(inst.dir()).mkdir("sub"));
        for (const QString& path : {inst.path("nowhere/out.txt"), inst.path("sub"), QString()})
            WriteFile(path, QStringLiteral("text"));
        QVERIFY(!QFileInfo::exists(inst.path("nowhere")));
        QVERIFY(QFileInfo(inst.path("sub")).isDir());
    }

    void writeFailuresNameTheFile()
    {
        const auto failure = [](const std::function<void()>& write) {
            try {
                write();
            } catch (const FileError& e) {
                return e.message();
            }
            return QStringLiteral("no FileError");
        };
        vesktest::TestInstallation inst;
        const QString path = QDir::toNativeSeparators(inst.path("nowhere/out.txt"));
        const QString line = failure([&] { writeTextLine(path, QStringLiteral("text")); });
        // The file and the reason.
        QVERIFY2(line.contains(path) && line.size() > path.size() + 16, qPrintable(line));
        const QString word = failure([&] {
            writeProgressWord(Installation(inst.path("corvandel")), QStringLiteral("setup"));
        });
        QVERIFY2(word.contains("vesk_error.ini"), qPrintable(word));
        QVERIFY(!QFileInfo::exists(inst.path("corvandel")));
    }

    void progressWordLeavesExactlyOneLine()
    {
        vesktest::TestInstallation inst;
        const QString marker = inst.installation().progressMarkerFile();
        writeProgressWord(inst.installation(), QStringLiteral("setup"));
        QCOMPARE(readBytes(marker), QByteArray("setup\r\n"));
        inst.writeFile("vesk_error.ini", QByteArray("a\r\nb\r\n\x00\xff", 8));
        writeProgressWord(inst.installation(), QStringLiteral("userid"));
        QCOMPARE(readBytes(marker), QByteArray("userid\r\n"));
    }

    void cp1252CodesEveryByteAndMarksTheRest()
    {
        QByteArray all;
        for (int b = 0; b < 256; ++b)
            all.append(static_cast<char>(b));
        const QString decoded = decodeCp1252(all);
        QCOMPARE(encodeCp1252(decoded), all);
        QCOMPARE(decoded.mid(0x80, 2), QStringLiteral("\u20AC\u0081"));
        QCOMPARE(decoded.mid(0x9D, 4), QStringLiteral("\u009D\u017E\u0178\u00A0"));
        // A C1 control that 0x80 does not stand for; one mark outside the BMP.
        QCOMPARE(encodeCp1252(QString::fromUtf8("\u03A9\u0080a\U0001F48Eb")), QByteArray("??a?b"));
    }
};

QTEST_GUILESS_MAIN(FileRoutinesTest)
#include "tst_fileroutines.moc"
