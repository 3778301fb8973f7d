#include "data/Cp1252.h"
#include "data/FileRoutines.h"
#include "data/Installation.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

class FileRoutinesTest : public QObject
{
    Q_OBJECT

private:
    static void writeBytes(const QString& path, const QByteArray& bytes)
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        QCOMPARE(file.write(bytes), bytes.size());
    }
    static QByteArray readBytes(const QString& path)
    {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return "<missing>";
        return file.readAll();
    }

private slots:
    void fileExistsAnswersByKindOfPath_data()
    {
        QTest::addColumn<QString>("setup");
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("expected");
        QTest::newRow("plain file") << "file"
                                    << "a.ini" << true;
        QTest::newRow("read-only file") << "readonly"
                                        << "a.ini" << true;
        QTest::newRow("hidden file") << "hidden"
                                     << ".a.ini" << true;
        QTest::newRow("empty file") << "emptyfile"
                                    << "a.ini" << true;
        QTest::newRow("folder") << "folder"
                                << "sub" << false;
        QTest::newRow("folder with separator") << "folder"
                                               << "sub/" << false;
        QTest::newRow("missing file") << ""
                                      << "none.ini" << false;
        QTest::newRow("file in missing folder") << ""
                                                << "nowhere/a.ini" << false;
        QTest::newRow("file used as folder") << "file"
                                             << "a.ini/x" << false;
        QTest::newRow("link to file") << "filelink"
                                      << "link" << true;
        QTest::newRow("link to folder") << "folderlink"
                                        << "link" << false;
        QTest::newRow("dangling link") << "dangling"
                                       << "link" << false;
        QTest::newRow("empty path") << ""
                                    << "<empty>" << false;
    }
    void fileExistsAnswersByKindOfPath()
    {
        QFETCH(QString, setup);
        QFETCH(QString, path);
        QFETCH(bool, expected);
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString base = dir.path() + QLatin1Char('/');
        if (setup == QLatin1String("file") || setup == QLatin1String("readonly") ||
            setup == QLatin1String("filelink")) {
            writeBytes(base + "a.ini", "x\r\n");
        } else if (setup == QLatin1String("emptyfile")) {
            writeBytes(base + "a.ini", QByteArray());
        } else if (setup == QLatin1String("hidden")) {
            writeBytes(base + ".a.ini", "x\r\n");
        } else if (setup == QLatin1String("folder") || setup == QLatin1String("folderlink")) {
            QVERIFY(QDir(base).mkdir("sub"));
        }
        if (setup == QLatin1String("readonly"))
            QVERIFY(QFile::setPermissions(base + "a.ini", QFileDevice::ReadOwner));
        if (setup == QLatin1String("filelink"))
            QVERIFY(QFile::link(base + "a.ini", base + "link"));
        if (setup == QLatin1String("folderlink"))
            QVERIFY(QFile::link(base + "sub", base + "link"));
        if (setup == QLatin1String("dangling"))
            QVERIFY(QFile::link(base + "gone.ini", base + "link"));

        const QString full = path == QLatin1String("<empty>") ? QString() : base + path;
        QCOMPARE(FileExists(full), expected);
    }

    void writeFileReplacesWholeContent_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("after");
        QTest::newRow("new file") << QByteArray("<none>") << "hello" << QByteArray("hello\r\n");
        QTest::newRow("longer content cut")
            << QByteArray("first line\r\nsecond line\r\nthird\r\n") << "x" << QByteArray("x\r\n");
        QTest::newRow("empty text") << QByteArray("old\r\n") << "" << QByteArray("\r\n");
        QTest::newRow("Windows-1252 text")
            << QByteArray("<none>") << QString::fromUtf8("Bijouterie Müller €5")
            << QByteArray("Bijouterie M\xFCller \x80"
                          "5\r\n");
        QTest::newRow("unmappable character")
            << QByteArray("<none>") << QString::fromUtf8("Ω ok") << QByteArray("? ok\r\n");
    }
    void writeFileReplacesWholeContent()
    {
        QFETCH(QByteArray, before);
        QFETCH(QString, text);
        QFETCH(QByteArray, after);
        QTemporaryDir dir;
        const QString path = dir.filePath("out.txt");
        if (before != "<none>")
            writeBytes(path, before);
        WriteFile(path, text);
        QCOMPARE(readBytes(path), after);
    }

    void writeFileIgnoresFailures_data()
    {
        QTest::addColumn<QString>("target");
        QTest::newRow("missing folder") << "nowhere/out.txt";
        QTest::newRow("path is a folder") << "sub";
        QTest::newRow("empty path") << "<empty>";
    }
    void writeFileIgnoresFailures()
    {
        QFETCH(QString, target);
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir("sub"));
        const QString path = target == QLatin1String("<empty>") ? QString() : dir.filePath(target);
        WriteFile(path, QStringLiteral("text"));
        QVERIFY(!QFileInfo::exists(dir.filePath("nowhere")));
        QVERIFY(QFileInfo(dir.filePath("sub")).isDir());
    }

    void writeTextLineReportsFailureNamingTheFile_data()
    {
        QTest::addColumn<QString>("target");
        QTest::newRow("missing folder") << "nowhere/out.txt";
        QTest::newRow("path is a folder") << "sub";
    }
    void writeTextLineReportsFailureNamingTheFile()
    {
        QFETCH(QString, target);
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir("sub"));
        const QString path = dir.filePath(target);
        try {
            writeTextLine(path, QStringLiteral("text"));
            QFAIL("no FileError");
        } catch (const FileError& e) {
            QVERIFY2(e.message().contains(QDir::toNativeSeparators(path)), qPrintable(e.message()));
            QVERIFY2(e.message().size() > QDir::toNativeSeparators(path).size() + 16,
                     "the message should give the reason too");
        }
    }

    void progressWordLeavesExactlyOneLine_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QString>("word");
        QTest::newRow("no file yet") << QByteArray("<none>") << "setup";
        QTest::newRow("shorter word") << QByteArray("veskdaylightsavings\r\n") << "userid";
        QTest::newRow("many lines") << QByteArray("a\r\nb\r\nc\r\nd\r\n") << "camerachoice";
        QTest::newRow("binary junk") << QByteArray("\x00\xff\x80zz", 5) << "handshakesettings";
    }
    void progressWordLeavesExactlyOneLine()
    {
        QFETCH(QByteArray, before);
        QFETCH(QString, word);
        QTemporaryDir dir;
        const Installation installation(dir.path());
        if (before != "<none>")
            writeBytes(installation.progressMarkerFile(), before);
        writeProgressWord(installation, word);
        QCOMPARE(readBytes(installation.progressMarkerFile()), word.toLatin1() + "\r\n");
    }

    void progressWordFailsWhenInstallationFolderIsMissing()
    {
        QTemporaryDir dir;
        const Installation installation(dir.filePath("corvandel"));
        try {
            writeProgressWord(installation, QStringLiteral("setup"));
            QFAIL("no FileError");
        } catch (const FileError& e) {
            QVERIFY2(e.message().contains(QStringLiteral("vesk_error.ini")),
                     qPrintable(e.message()));
        }
        QVERIFY(!QFileInfo::exists(dir.filePath("corvandel")));
    }

    void cp1252DecodesEveryByte_data()
    {
        QTest::addColumn<int>("byte");
        QTest::addColumn<int>("codePoint");
        QTest::newRow("ASCII letter") << 0x41 << 0x41;
        QTest::newRow("euro") << 0x80 << 0x20AC;
        QTest::newRow("undefined 81") << 0x81 << 0x81;
        QTest::newRow("low quote") << 0x82 << 0x201A;
        QTest::newRow("ellipsis") << 0x85 << 0x2026;
        QTest::newRow("S caron") << 0x8A << 0x160;
        QTest::newRow("undefined 8D") << 0x8D << 0x8D;
        QTest::newRow("Z caron") << 0x8E << 0x17D;
        QTest::newRow("undefined 8F") << 0x8F << 0x8F;
        QTest::newRow("undefined 90") << 0x90 << 0x90;
        QTest::newRow("left single quote") << 0x91 << 0x2018;
        QTest::newRow("em dash") << 0x97 << 0x2014;
        QTest::newRow("trade mark") << 0x99 << 0x2122;
        QTest::newRow("undefined 9D") << 0x9D << 0x9D;
        QTest::newRow("Y diaeresis") << 0x9F << 0x178;
        QTest::newRow("no-break space") << 0xA0 << 0xA0;
        QTest::newRow("u umlaut") << 0xFC << 0xFC;
        QTest::newRow("y diaeresis") << 0xFF << 0xFF;
    }
    void cp1252DecodesEveryByte()
    {
        QFETCH(int, byte);
        QFETCH(int, codePoint);
        const QString decoded = decodeCp1252(QByteArray(1, static_cast<char>(byte)));
        QCOMPARE(decoded.size(), 1);
        QCOMPARE(int(decoded.at(0).unicode()), codePoint);
        QCOMPARE(encodeCp1252(decoded), QByteArray(1, static_cast<char>(byte)));
    }

    void cp1252RoundTripsAllBytes()
    {
        QByteArray all;
        for (int b = 0; b < 256; ++b)
            all.append(static_cast<char>(b));
        QCOMPARE(encodeCp1252(decodeCp1252(all)), all);
    }

    void cp1252ReplacesUnmappableCharacters_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("Greek") << QString::fromUtf8("Ωmega") << QByteArray("?mega");
        QTest::newRow("C1 control that 0x80 does not stand for")
            << QString(QChar(0x80)) << QByteArray("?");
        QTest::newRow("character outside the BMP is one mark")
            << QString::fromUtf8("a\U0001F48Eb") << QByteArray("a?b");
        QTest::newRow("Danish") << QString::fromUtf8("Smørrebrød")
                                << QByteArray("Sm\xF8rrebr\xF8"
                                              "d");
    }
    void cp1252ReplacesUnmappableCharacters()
    {
        QFETCH(QString, text);
        QFETCH(QByteArray, bytes);
        QCOMPARE(encodeCp1252(text), bytes);
    }
};

QTEST_GUILESS_MAIN(FileRoutinesTest)
#include "tst_fileroutines.moc"
