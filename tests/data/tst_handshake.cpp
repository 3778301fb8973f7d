#include "data/FileRoutines.h"
#include "data/HandShakeSettings.h"

#include "TestSupport.h"

#include <QtTest>

class HandShakeTest : public QObject
{
    Q_OBJECT

private slots:
    // "<none>" stands for no file, "<folder>" for a folder in its place;
    // "previous" is the picture folder kept from before.
    void storesTheFourthField_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("pictureServer");
        QTest::addColumn<bool>("fails");
        QTest::newRow("one line, more ignored")
            << QByteArray("srv,db,user,\\\\pics\\items\\,more\r\n") << "\\\\pics\\items\\" << false;
        QTest::newRow("four lines")
            << QByteArray("srv\r\ndb\r\nuser\r\nP:\\pictures\\\r\n") << "P:\\pictures\\" << false;
        QTest::newRow("quoted fields with commas")
            << QByteArray("\"1,1\",b,c,\"P:\\Smith, Jones\\\"\r\n") << "P:\\Smith, Jones\\"
            << false;
        QTest::newRow("empty fourth line") << QByteArray("1\r\n2\r\n3\r\n\r\n5\r\n") << "" << false;
        QTest::newRow("missing file") << QByteArray("<none>") << "previous" << false;
        QTest::newRow("folder in its place") << QByteArray("<folder>") << "previous" << false;
        QTest::newRow("empty file") << QByteArray() << "previous" << true;
        QTest::newRow("three lines") << QByteArray("1\r\n2\r\n3\r\n") << "previous" << true;
        QTest::newRow("trailing comma opens an empty fourth field")
            << QByteArray("1,2,3,\r\n") << "" << false;
    }
    void storesTheFourthField()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, pictureServer);
        QFETCH(bool, fails);
        vesktest::TestInstallation inst;
        inst.writeFile("vesk_error.ini", "userid\r\n");
        if (content == "<folder>")
            QVERIFY(QDir(inst.dir()).mkdir("handshakesettings.ini"));
        else if (content != "<none>")
            inst.writeFile("handshakesettings.ini", content);
        QString field = QStringLiteral("previous");
        try {
            QVERIFY(!GetHandShakeSettings(inst.installation(), field));
            QVERIFY(!fails);
        } catch (const FileError& e) {
            QVERIFY2(fails, qPrintable(e.message()));
            QVERIFY2(e.message().contains("handshakesettings.ini"), qPrintable(e.message()));
        }
        QCOMPARE(field, pictureServer);
        QFile marker(inst.path("vesk_error.ini"));
        QVERIFY(marker.open(QIODevice::ReadOnly));
        QCOMPARE(marker.readAll(), QByteArray("handshakesettings\r\n"));
    }

    // A folder named like the marker file: the word cannot be written.
    void markerFailureStillReadsTheFile()
    {
        vesktest::TestInstallation inst;
        QVERIFY(QDir(inst.dir()).mkdir("vesk_error.ini"));
        inst.writeFile("handshakesettings.ini", "1,2,3,P:\\pictures\\\r\n");
        QString field = QStringLiteral("previous");
        const auto failure = GetHandShakeSettings(inst.installation(), field);
        QVERIFY(failure && failure->contains("vesk_error.ini"));
        QCOMPARE(field, QStringLiteral("P:\\pictures\\"));
    }
};

QTEST_GUILESS_MAIN(HandShakeTest)
#include "tst_handshake.moc"
