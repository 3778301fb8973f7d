#include "data/FileRoutines.h"
#include "data/HandShakeSettings.h"
#include "data/Installation.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

class HandShakeTest : public QObject
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
    void storesTheFourthField_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("pictureServer");
        QTest::newRow("one line") << QByteArray("srv,db,user,\\\\pics\\items\\\r\n")
                                  << "\\\\pics\\items\\";
        QTest::newRow("four lines")
            << QByteArray("srv\r\ndb\r\nuser\r\nP:\\pictures\\\r\n") << "P:\\pictures\\";
        QTest::newRow("quoted fourth with commas")
            << QByteArray("a,b,c,\"P:\\Smith, Jones\\pics\\\"\r\n") << "P:\\Smith, Jones\\pics\\";
        QTest::newRow("more than four fields") << QByteArray("1,2,3,four,five,six") << "four";
        QTest::newRow("quoted first field with commas") << QByteArray("\"1,1\",2,3,four") << "four";
        QTest::newRow("empty fourth line") << QByteArray("1\r\n2\r\n3\r\n\r\n5\r\n") << "";
        QTest::newRow("Windows-1252 folder") << QByteArray("1,2,3,P:\\Bilder M\xFCller\\")
                                             << QString::fromUtf8("P:\\Bilder Müller\\");
    }
    void storesTheFourthField()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, pictureServer);
        QTemporaryDir dir;
        const Installation installation(dir.path());
        writeBytes(installation.handshakeSettingsFile(), content);
        QString field = QStringLiteral("previous");
        GetHandShakeSettings(installation, field);
        QCOMPARE(field, pictureServer);
        QCOMPARE(readBytes(installation.progressMarkerFile()), QByteArray("handshakesettings\r\n"));
    }

    void tooFewFieldsFailsAndKeepsPictureServer_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("empty file") << QByteArray();
        QTest::newRow("three fields") << QByteArray("1,2,3\r\n");
        QTest::newRow("three lines") << QByteArray("1\r\n2\r\n3\r\n");
        QTest::newRow("trailing comma is no fourth field") << QByteArray("1,2,3,");
    }
    void tooFewFieldsFailsAndKeepsPictureServer()
    {
        QFETCH(QByteArray, content);
        QTemporaryDir dir;
        const Installation installation(dir.path());
        writeBytes(installation.handshakeSettingsFile(), content);
        QString field = QStringLiteral("previous");
        try {
            GetHandShakeSettings(installation, field);
            QFAIL("no FileError");
        } catch (const FileError& e) {
            QVERIFY2(e.message().contains(QStringLiteral("handshakesettings.ini")),
                     qPrintable(e.message()));
        }
        QCOMPARE(field, QStringLiteral("previous"));
        QCOMPARE(readBytes(installation.progressMarkerFile()), QByteArray("handshakesettings\r\n"));
    }

    void missingFileKeepsPictureServerButMarksProgress()
    {
        QTemporaryDir dir;
        const Installation installation(dir.path());
        writeBytes(installation.progressMarkerFile(), "userid\r\n");
        QString field = QStringLiteral("previous");
        GetHandShakeSettings(installation, field);
        QCOMPARE(field, QStringLiteral("previous"));
        QCOMPARE(readBytes(installation.progressMarkerFile()), QByteArray("handshakesettings\r\n"));
    }

    void settingsFolderInsteadOfFileKeepsPictureServer()
    {
        QTemporaryDir dir;
        const Installation installation(dir.path());
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("handshakesettings.ini")));
        QString field = QStringLiteral("previous");
        GetHandShakeSettings(installation, field);
        QCOMPARE(field, QStringLiteral("previous"));
    }

    void missingInstallationFolderFailsBeforeReading()
    {
        QTemporaryDir dir;
        const Installation installation(dir.filePath(QStringLiteral("corvandel")));
        QString field = QStringLiteral("previous");
        QVERIFY_THROWS_EXCEPTION(FileError, GetHandShakeSettings(installation, field));
        QCOMPARE(field, QStringLiteral("previous"));
    }
};

QTEST_GUILESS_MAIN(HandShakeTest)
#include "tst_handshake.moc"
