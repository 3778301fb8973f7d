#include "StartupFixture.h"

#include <QCheckBox>
#include <QDateTime>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTimer>

namespace {
const QString kNoStoreId = QStringLiteral(
    "The store indentifier has not been setup, please start this program from the computer you "
    "do the kestrabin upload from!");
} // namespace

class StartupTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }

    void fillsStoreIdFromFirstField_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("storeId");
        QTest::newRow("plain line") << QByteArray("S042\r\n") << "S042";
        QTest::newRow("further fields ignored") << QByteArray("7,Main Street\r\n") << "7";
        QTest::newRow("quoted") << QByteArray("\"S 1, west\"\r\n") << "S 1, west";
    }
    void fillsStoreIdFromFirstField()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, storeId);
        StartupFixture fx;
        fx.writeFile(QStringLiteral("userid.ini"), content);
        frmVESKauction& w = fx.window();
        QSignalSpy ended(&w, &frmVESKauction::programEnded);

        QVERIFY(w.Form_Load());

        QCOMPARE(w.txtStoreID->text(), storeId);
        QCOMPARE(fx.messages.calls.size(), 0);
        QCOMPARE(ended.count(), 0);
        QCOMPARE(w.listingRuns, 0);
        QVERIFY(w.Check4->isChecked());
        QVERIFY(w.timerx->isActive());
        QVERIFY(!w.Timer1->isActive());
    }

    void endsWithoutStoreId_data()
    {
        QTest::addColumn<bool>("fileExists");
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("no file") << false << QByteArray();
        QTest::newRow("empty file") << true << QByteArray("");
        QTest::newRow("empty first line") << true << QByteArray("\r\nS042\r\n");
        QTest::newRow("empty first field") << true << QByteArray(",S042\r\n");
        QTest::newRow("empty quotes") << true << QByteArray("\"\"\r\n");
    }
    void endsWithoutStoreId()
    {
        QFETCH(bool, fileExists);
        QFETCH(QByteArray, content);
        StartupFixture fx;
        if (fileExists)
            fx.writeFile(QStringLiteral("userid.ini"), content);
        frmVESKauction& w = fx.window();
        QSignalSpy ended(&w, &frmVESKauction::programEnded);
        QSignalSpy listed(&w, &frmVESKauction::listingStarted);

        QVERIFY(!w.Form_Load());

        QCOMPARE(fx.messages.calls.size(), 1);
        const MessageBox::Call& call = fx.messages.calls.constFirst();
        QCOMPARE(call.text, kNoStoreId);
        QCOMPARE(call.icon, QMessageBox::Information);
        QCOMPARE(call.title, QString());
        QCOMPARE(call.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
        QCOMPARE(ended.count(), 1);
        QCoreApplication::processEvents();
        QCOMPARE(listed.count(), 0);
        QCOMPARE(w.listingRuns, 0);
        QVERIFY(!w.Check4->isChecked());
        QVERIFY(!w.timerx->isActive());
        QVERIFY(!Platform::isTopmost(&w));
    }

    void writesProgressWordsInOrder()
    {
        StartupFixture fx;
        fx.writeFile(QStringLiteral("veskdaylightsavings.ini"), "true\r\n");
        frmVESKauction& w = fx.window();
        QByteArray markerWhileDaylightWritten;
        connect(w.chkDayLight, &QCheckBox::toggled, this, [&] {
            markerWhileDaylightWritten = fx.readFile(QStringLiteral("vesk_error.ini"));
        });
        fx.writeFile(QStringLiteral("userid.ini"), "S042\r\n");

        QVERIFY(w.Form_Load());

        QCOMPARE(markerWhileDaylightWritten, QByteArray("veskdaylightsavings\r\n"));
        QCOMPARE(fx.readFile(QStringLiteral("vesk_error.ini")), QByteArray("userid\r\n"));
    }

    void readsDaylightSetting_data()
    {
        QTest::addColumn<QByteArray>("content"); // null: no file
        QTest::addColumn<bool>("ticked");
        QTest::addColumn<QByteArray>("fileAfter"); // null: still no file
        QTest::newRow("true") << QByteArray("true\r\n") << true << QByteArray("true\r\n");
        QTest::newRow("true without line end")
            << QByteArray("true") << true << QByteArray("true\r\n");
        QTest::newRow("true and more fields")
            << QByteArray("true,since 2019\r\n") << true << QByteArray("true\r\n");
        QTest::newRow("blanks before true")
            << QByteArray("  true\r\n") << true << QByteArray("true\r\n");
        QTest::newRow("True") << QByteArray("True\r\n") << false << QByteArray("True\r\n");
        QTest::newRow("TRUE") << QByteArray("TRUE\r\n") << false << QByteArray("TRUE\r\n");
        QTest::newRow("false") << QByteArray("false\r\n") << false << QByteArray("false\r\n");
        QTest::newRow("empty file") << QByteArray("") << false << QByteArray("");
        QTest::newRow("no file") << QByteArray() << false << QByteArray();
    }
    void readsDaylightSetting()
    {
        QFETCH(QByteArray, content);
        QFETCH(bool, ticked);
        QFETCH(QByteArray, fileAfter);
        StartupFixture fx;
        if (!content.isNull())
            fx.writeFile(QStringLiteral("veskdaylightsavings.ini"), content);

        frmVESKauction& w = fx.loadedWindow();

        QCOMPARE(w.chkDayLight->isChecked(), ticked);
        QCOMPARE(w.daylightSaving(), ticked);
        QCOMPARE(fx.readFile(QStringLiteral("veskdaylightsavings.ini")), fileAfter);
        QCOMPARE(fx.messages.calls.size(), 0);
    }

    void clickingDaylightBoxRewritesFile()
    {
        StartupFixture fx;
        frmVESKauction& w = fx.loadedWindow();
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));

        QTest::mouseClick(w.chkDayLight, Qt::LeftButton);
        QVERIFY(w.chkDayLight->isChecked());
        QCOMPARE(fx.readFile(QStringLiteral("veskdaylightsavings.ini")), QByteArray("true\r\n"));

        QTest::mouseClick(w.chkDayLight, Qt::LeftButton);
        QVERIFY(!w.chkDayLight->isChecked());
        QCOMPARE(fx.readFile(QStringLiteral("veskdaylightsavings.ini")), QByteArray("false\r\n"));
        QCOMPARE(fx.messages.calls.size(), 0);
    }

    void unsavableDaylightSettingIsReportedAndBoxKept()
    {
        StartupFixture fx;
        frmVESKauction& w = fx.loadedWindow();
        // A folder in the file's place cannot be written as a file.
        QVERIFY(QDir(fx.dir.path()).mkdir(QStringLiteral("veskdaylightsavings.ini")));
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));

        QTest::mouseClick(w.chkDayLight, Qt::LeftButton);

        QVERIFY(w.chkDayLight->isChecked());
        QCOMPARE(fx.messages.calls.size(), 1);
        QCOMPARE(fx.messages.calls.constFirst().icon, QMessageBox::Warning);
        QVERIFY2(
            fx.messages.calls.constFirst().text.contains(QStringLiteral("veskdaylightsavings.ini")),
            qPrintable(fx.messages.calls.constFirst().text));
    }

    void showsProgramDateAsVersion_data()
    {
        QTest::addColumn<QDate>("modified"); // invalid: no program file
        QTest::addColumn<QString>("label");
        QTest::newRow("May 2018") << QDate(2018, 5, 7) << "exe File (LIVE) Version: May 7, 2018";
        QTest::newRow("two-digit day")
            << QDate(2015, 10, 14) << "exe File (LIVE) Version: Oct 14, 2015";
        QTest::newRow("no program file") << QDate() << "......";
    }
    void showsProgramDateAsVersion()
    {
        QFETCH(QDate, modified);
        QFETCH(QString, label);
        StartupFixture fx;
        if (modified.isValid()) {
            fx.writeFile(QStringLiteral("cv_veskauction.exe"), "MZ");
            QFile program(fx.installation.programFile());
            QVERIFY(program.open(QIODevice::ReadWrite));
            QVERIFY(program.setFileTime(QDateTime(modified, QTime(12, 0)),
                                        QFileDevice::FileModificationTime));
        }

        frmVESKauction& w = fx.loadedWindow();

        QCOMPARE(w.lblBuild->text(), label);
    }

    void missingInstallationFolderIsReportedOnce()
    {
        StartupFixture fx;
        const Installation missing(fx.dir.filePath(QStringLiteral("no such folder")));
        frmadoHelper helper(missing);
        frmVESKauction w(helper);
        QSignalSpy ended(&w, &frmVESKauction::programEnded);

        QVERIFY(!w.Form_Load());

        // One word about the progress file, then the missing store identifier.
        QCOMPARE(fx.messages.calls.size(), 2);
        const MessageBox::Call& progress = fx.messages.calls.at(0);
        QCOMPARE(progress.icon, QMessageBox::Warning);
        QVERIFY2(progress.text.contains(QStringLiteral("vesk_error.ini")),
                 qPrintable(progress.text));
        QCOMPARE(fx.messages.calls.at(1).text, kNoStoreId);
        QCOMPARE(ended.count(), 1);
        QVERIFY(!QFileInfo::exists(missing.progressMarkerFile()));
    }

    void closeIconEndsProgram()
    {
        StartupFixture fx;
        frmVESKauction& w = fx.loadedWindow();
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QSignalSpy ended(&w, &frmVESKauction::programEnded);

        QTest::mouseClick(w.Image1, Qt::LeftButton, {}, QPoint(16, 16));

        QCOMPARE(ended.count(), 1);
        QCOMPARE(fx.messages.calls.size(), 0);
    }

    void doubleClickTogglesAlwaysOnTop_data()
    {
        QTest::addColumn<QString>("target"); // empty: a free spot of the window
        QTest::addColumn<bool>("toggles");
        QTest::newRow("free spot") << QString() << true;
        QTest::newRow("on a label") << "Label1" << false;
        QTest::newRow("on the version label") << "lblBuild" << false;
    }
    void doubleClickTogglesAlwaysOnTop()
    {
        QFETCH(QString, target);
        QFETCH(bool, toggles);
        StartupFixture fx;
        frmVESKauction& w = fx.loadedWindow();
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        w.timerx_Timer(); // the first tick puts the window on top
        QVERIFY(Platform::isTopmost(&w));
        QWidget* widget = &w;
        QPoint at(600, 20); // right of the option buttons, above the buttons
        if (!target.isEmpty()) {
            widget = w.findChild<QWidget*>(target);
            QVERIFY(widget);
            at = QPoint(4, 4);
        } else {
            QCOMPARE(w.childAt(at), nullptr);
        }

        QTest::mouseDClick(widget, Qt::LeftButton, {}, at);

        QCOMPARE(w.Check4->isChecked(), !toggles);
        QCOMPARE(w.timerx->isActive(), !toggles);
        QCOMPARE(Platform::isTopmost(&w), !toggles);
        if (!toggles)
            return;

        QTest::mouseDClick(widget, Qt::LeftButton, {}, at);

        QVERIFY(w.Check4->isChecked());
        QVERIFY(w.timerx->isActive());
        QVERIFY(Platform::isTopmost(&w));
        QVERIFY(w.isVisible());
    }
};

QTEST_MAIN(StartupTest)
#include "tst_startup.moc"
