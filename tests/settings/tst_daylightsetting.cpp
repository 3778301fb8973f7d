#include "data/FileRoutines.h"
#include "settings/DaylightSetting.h"

#include "TestSupport.h"

#include <QtTest>

namespace {
const QString kFile = QStringLiteral("veskdaylightsavings.ini");

QByteArray readBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<none>");
}
} // namespace

class DaylightSettingTest : public QObject
{
    Q_OBJECT

private slots:
    // "<none>" stands for no file, "<folder>" for a folder in its place.
    void onlyExactTrueTicksTheBox_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<bool>("ticked");
        QTest::newRow("true") << QByteArray("true\r\n") << true;
        QTest::newRow("true then comma and more") << QByteArray("true,more\r\n") << true;
        QTest::newRow("blanks before true") << QByteArray("  true\r\n") << true;
        QTest::newRow("quoted true") << QByteArray("\"true\"\r\n") << true;
        QTest::newRow("false") << QByteArray("false\r\n") << false;
        QTest::newRow("True") << QByteArray("True\r\n") << false;
        QTest::newRow("TRUE") << QByteArray("TRUE\r\n") << false;
        QTest::newRow("true on second line") << QByteArray("\r\ntrue\r\n") << false;
        QTest::newRow("empty file") << QByteArray() << false;
        QTest::newRow("missing file") << QByteArray("<none>") << false;
        QTest::newRow("folder") << QByteArray("<folder>") << false;
    }
    void onlyExactTrueTicksTheBox()
    {
        QFETCH(QByteArray, content);
        QFETCH(bool, ticked);
        vesktest::TestInstallation inst;
        if (content == "<folder>")
            QVERIFY(QDir(inst.dir()).mkdir(kFile));
        else if (content != "<none>")
            inst.writeFile(kFile, content);
        QCOMPARE(readDaylightSetting(inst.installation()), ticked);
        // Reading never writes the file.
        if (content != "<folder>")
            QCOMPARE(readBytes(inst.path(kFile)), content);
    }

    void writesExactBytes()
    {
        vesktest::TestInstallation inst;
        writeDaylightSetting(inst.installation(), true);
        QCOMPARE(readBytes(inst.path(kFile)), QByteArray("true\r\n"));
        inst.writeFile(kFile, "true,and,more\r\nsecond line\r\n");
        writeDaylightSetting(inst.installation(), false);
        QCOMPARE(readBytes(inst.path(kFile)), QByteArray("false\r\n"));
    }

    void writeFailureNamesTheFile()
    {
        vesktest::TestInstallation inst;
        try {
            writeDaylightSetting(Installation(inst.path(QStringLiteral("corvandel"))), true);
            QFAIL("no FileError");
        } catch (const FileError& e) {
            QVERIFY2(e.message().contains(kFile), qPrintable(e.message()));
        }
    }
};

QTEST_GUILESS_MAIN(DaylightSettingTest)
#include "tst_daylightsetting.moc"
