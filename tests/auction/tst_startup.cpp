#include "StartupFixture.h"

#include <QCheckBox>
#include <QClipboard>
#include <QDateTime>
#include <QDir>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTimer>

class StartupTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }

    void startsOnlyWithStoreId_data()
    {
        QTest::addColumn<QByteArray>("content"); // null: no file
        QTest::addColumn<QString>("storeId");    // empty: the program ends
        QTest::newRow("plain line") << QByteArray("S042\r\n") << "S042";
        QTest::newRow("no file") << QByteArray() << "";
        QTest::newRow("empty first field") << QByteArray(",S042\r\n") << "";
    }
    void startsOnlyWithStoreId()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, storeId);
        StartupFixture fx;
        if (!content.isNull())
            fx.writeFile("userid.ini", content);
        frmVESKauction& w = fx.window();
        QSignalSpy ended(&w, &frmVESKauction::programEnded);
        const bool starts = !storeId.isEmpty();

        QCOMPARE(w.Form_Load(), starts);
        QCoreApplication::processEvents();

        QCOMPARE(w.txtStoreID->text(), storeId);
        QCOMPARE(w.listingRuns, 0);
        QCOMPARE(ended.count(), starts ? 0 : 1);
        QCOMPARE(w.Check4->isChecked(), starts);
        QCOMPARE(w.timerx->isActive(), starts);
        QCOMPARE(Platform::isTopmost(&w), false);
        QCOMPARE(fx.messages.size(), starts ? 0 : 1);
        if (starts)
            return;
        const MessageBox::Call& call = fx.messages.constFirst();
        QCOMPARE(call.text, QStringLiteral("The store indentifier has not been setup, please "
                                           "start this program from the computer you do the "
                                           "kestrabin upload from!"));
        QCOMPARE(call.icon, QMessageBox::Information);
        // Blank, not empty: an empty title would show the program's name.
        QCOMPARE(call.title, QStringLiteral(" "));
        QCOMPARE(call.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    }

    // Typed or pasted, control characters and text over the limit are refused
    // with a message and the box keeps what it held.
    void boxesRefuseControlCharactersAndOverlongText_data()
    {
        QTest::addColumn<bool>("storeBox"); // else the search box
        QTest::addColumn<QString>("before");
        QTest::addColumn<bool>("pasted"); // else typed
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("refusal"); // empty: taken
        const QString control = "box does not take control characters";
        QTest::newRow("NUL typed in the search")
            << false << "AB" << false << QString(QChar(0)) << "SKU# search " + control;
        QTest::newRow("control typed in the store")
            << true << "S1" << false << QString(QChar(1)) << "StoreID " + control;
        QTest::newRow("tab pasted in the search") << false << "AB" << true << "C\tD" << control;
        QTest::newRow("line end pasted in the store") << true << "S1" << true << "2\r\n" << control;
        QTest::newRow("search pasted over 255")
            << false << "AB" << true << QString(254, 'x')
            << "SKU# search box takes at most 255 characters; this text has 256.";
        QTest::newRow("store typed over 64")
            << true << QString(64, 's') << false << "t"
            << "StoreID box takes at most 64 characters; this text has 65.";
        QTest::newRow("search pasted up to 255")
            << false << "AB" << true << QString(253, 'x') << "";
    }
    void boxesRefuseControlCharactersAndOverlongText()
    {
        QFETCH(bool, storeBox);
        QFETCH(QString, before);
        QFETCH(bool, pasted);
        QFETCH(QString, input);
        QFETCH(QString, refusal);
        StartupFixture fx;
        frmVESKauction& w = fx.window();
        QLineEdit* box = storeBox ? w.txtStoreID : w.txtSearch;
        box->setText(before);

        if (pasted) {
            QGuiApplication::clipboard()->setText(input);
            QTest::keyClick(box, Qt::Key_V, Qt::ControlModifier);
        } else {
            for (const QChar c : input)
                QTest::sendKeyEvent(QTest::Click, box, Qt::Key_unknown, QString(c), {});
        }

        QCOMPARE(box->text(), refusal.isEmpty() ? before + input : before);
        QCOMPARE(fx.messages.size(), refusal.isEmpty() ? 0 : 1);
        if (!refusal.isEmpty())
            QVERIFY2(fx.messages[0].text.contains(refusal), qPrintable(fx.messages[0].text));
    }

    // Only "true" ticks the box; a click writes the file the next start reads.
    void daylightSettingRoundTripsThroughTheBox()
    {
        StartupFixture fx;
        fx.writeFile("veskdaylightsavings.ini", "True\r\n");
        QVERIFY(fx.showLoaded());
        QCheckBox* box = fx.window().chkDayLight;
        QVERIFY(!box->isChecked() && !fx.window().daylightSaving());

        QTest::mouseClick(box, Qt::LeftButton);
        QCOMPARE(fx.readFile("veskdaylightsavings.ini"), QByteArray("true\r\n"));
        frmadoHelper helper(fx.installation);
        frmVESKauction next(helper);
        QVERIFY(next.Form_Load());
        QVERIFY(next.chkDayLight->isChecked() && next.daylightSaving());
        QTest::mouseClick(box, Qt::LeftButton);
        QCOMPARE(fx.readFile("veskdaylightsavings.ini"), QByteArray("false\r\n"));
        QVERIFY(fx.messages.isEmpty());

        // A folder in the file's place cannot be written as a file.
        QVERIFY(QFile::remove(fx.installation.filePath("veskdaylightsavings.ini")));
        QVERIFY(QDir(fx.dir.path()).mkdir("veskdaylightsavings.ini"));
        QTest::mouseClick(box, Qt::LeftButton);
        QVERIFY(box->isChecked());
        QCOMPARE(fx.messages.size(), 1);
        QCOMPARE(fx.messages[0].icon, QMessageBox::Warning);
        QVERIFY2(fx.messages[0].text.contains("veskdaylightsavings.ini"),
                 qPrintable(fx.messages[0].text));
    }

    void showsProgramDateAsVersion()
    {
        StartupFixture fx;
        fx.writeFile("cv_veskauction.exe", "MZ");
        QFile program(fx.installation.programFile());
        QVERIFY(program.open(QIODevice::ReadWrite));
        QVERIFY(program.setFileTime(QDateTime(QDate(2018, 5, 7), QTime(12, 0)),
                                    QFileDevice::FileModificationTime));
        QCOMPARE(fx.loadedWindow().lblBuild->text(),
                 QStringLiteral("exe File (LIVE) Version: May 7, 2018"));
    }

    void missingInstallationFolderIsReportedOnce()
    {
        StartupFixture fx;
        const Installation missing(fx.dir.filePath("no such folder"));
        frmadoHelper helper(missing);
        frmVESKauction w(helper);
        QSignalSpy ended(&w, &frmVESKauction::programEnded);

        QVERIFY(!w.Form_Load());

        // One word about the progress file, then the missing store identifier.
        QCOMPARE(fx.messages.size(), 2);
        QCOMPARE(fx.messages[0].icon, QMessageBox::Warning);
        QVERIFY2(fx.messages[0].text.contains("vesk_error.ini"), qPrintable(fx.messages[0].text));
        QVERIFY(fx.messages[1].text.startsWith("The store indentifier"));
        QCOMPARE(ended.count(), 1);
    }

    void closeIconEndsProgram()
    {
        StartupFixture fx;
        QVERIFY(fx.showLoaded());
        QSignalSpy ended(&fx.window(), &frmVESKauction::programEnded);

        QTest::mouseClick(fx.window().Image1, Qt::LeftButton, {}, QPoint(16, 16));

        QCOMPARE(ended.count(), 1);
        QVERIFY(fx.messages.isEmpty());
    }

    void doubleClickOnFreeSpotTogglesAlwaysOnTop()
    {
        StartupFixture fx;
        QVERIFY(fx.showLoaded());
        frmVESKauction& w = fx.window();
        w.timerx_Timer(); // the first tick puts the window on top
        const QPoint freeSpot(600, 20);
        QVERIFY(Platform::isTopmost(&w) && !w.childAt(freeSpot));

        for (const bool onTop : {false, true}) {
            QTest::mouseDClick(&w, Qt::LeftButton, {}, freeSpot);
            QCOMPARE(w.Check4->isChecked(), onTop);
            QCOMPARE(w.timerx->isActive(), onTop);
            QCOMPARE(Platform::isTopmost(&w), onTop);
        }
        QVERIFY(w.isVisible());
    }
};

QTEST_MAIN(StartupTest)
#include "tst_startup.moc"
