#include "data/FileRoutines.h"
#include "data/Installation.h"
#include "timeconv/DaylightSetting.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

class DaylightSettingTest : public QObject
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
    void onlyExactTrueTicksTheBox_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<bool>("ticked");
        QTest::newRow("true") << QByteArray("true\r\n") << true;
        QTest::newRow("true without line end") << QByteArray("true") << true;
        QTest::newRow("true with lone LF") << QByteArray("true\n") << true;
        QTest::newRow("true then comma and more") << QByteArray("true,more\r\n") << true;
        QTest::newRow("blanks before true") << QByteArray("  true\r\n") << true;
        QTest::newRow("tab before true") << QByteArray("\ttrue\r\n") << true;
        QTest::newRow("quoted true") << QByteArray("\"true\"\r\n") << true;
        QTest::newRow("true with trailing blank") << QByteArray("true \r\n") << true;
        QTest::newRow("false") << QByteArray("false\r\n") << false;
        QTest::newRow("True") << QByteArray("True\r\n") << false;
        QTest::newRow("TRUE") << QByteArray("TRUE\r\n") << false;
        QTest::newRow("truex") << QByteArray("truex\r\n") << false;
        QTest::newRow("true on second line") << QByteArray("\r\ntrue\r\n") << false;
        QTest::newRow("quoted with blank inside") << QByteArray("\" true\"\r\n") << false;
        QTest::newRow("empty file") << QByteArray() << false;
        QTest::newRow("missing file") << QByteArray("<none>") << false;
    }
    void onlyExactTrueTicksTheBox()
    {
        QFETCH(QByteArray, content);
        QFETCH(bool, ticked);
        QTemporaryDir dir;
        const Installation installation(dir.path());
        if (content != "<none>")
            writeBytes(installation.daylightSavingsFile(), content);
        QCOMPARE(readDaylightSetting(installation), ticked);
        // Reading never writes the file.
        QCOMPARE(readBytes(installation.daylightSavingsFile()),
                 content == "<none>" ? QByteArray("<missing>") : content);
    }

    void folderInPlaceOfFileReadsUnticked()
    {
        QTemporaryDir dir;
        const Installation installation(dir.path());
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("veskdaylightsavings.ini")));
        QVERIFY(!readDaylightSetting(installation));
    }

    void writesExactBytes_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<bool>("ticked");
        QTest::addColumn<QByteArray>("after");
        QTest::newRow("tick, no file") << QByteArray("<none>") << true << QByteArray("true\r\n");
        QTest::newRow("untick, no file")
            << QByteArray("<none>") << false << QByteArray("false\r\n");
        QTest::newRow("tick over false")
            << QByteArray("false\r\n") << true << QByteArray("true\r\n");
        QTest::newRow("untick over long content")
            << QByteArray("true,and,much,more\r\nsecond line\r\n") << false
            << QByteArray("false\r\n");
    }
    void writesExactBytes()
    {
        QFETCH(QByteArray, before);
        QFETCH(bool, ticked);
        QFETCH(QByteArray, after);
        QTemporaryDir dir;
        const Installation installation(dir.path());
        if (before != "<none>")
            writeBytes(installation.daylightSavingsFile(), before);
        writeDaylightSetting(installation, ticked);
        QCOMPARE(readBytes(installation.daylightSavingsFile()), after);
        QCOMPARE(readDaylightSetting(installation), ticked);
    }

    void writeFailureNamesTheFile()
    {
        QTemporaryDir dir;
        const Installation installation(dir.filePath(QStringLiteral("corvandel")));
        try {
            writeDaylightSetting(installation, true);
            QFAIL("no FileError");
        } catch (const FileError& e) {
            QVERIFY2(e.message().contains(QStringLiteral("veskdaylightsavings.ini")),
                     qPrintable(e.message()));
        }
    }
};

QTEST_GUILESS_MAIN(DaylightSettingTest)
#include "tst_daylightsetting.moc"
