// The window's start-up, its controls stretched to the screen, its boxes and
// when it lists again on coming back from another window.

#include "StartupFixture.h"
#include "auction/GetLeft.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QDateEdit>
#include <QDateTime>
#include <QDir>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTimer>

namespace {
enum class Interruption
{
    MessageBox,
    CalendarPopup,
    OtherApplication,
    AlwaysOnTopTicks,
    OtherProgramWindow,
};

// Waits until the program itself counts the window as active (the platform
// may say so before the program has been told).
bool activate(QWidget* window)
{
    window->activateWindow();
    return QTest::qWaitFor([window] { return QApplication::activeWindow() == window; });
}

// What the window system tells the program, without asking the platform.
void programActivates(QWidget* window)
{
    QT_WARNING_PUSH
    QT_WARNING_DISABLE_DEPRECATED
    QApplication::setActiveWindow(window);
    QT_WARNING_POP
    QCoreApplication::processEvents();
}

class HideCounter : public QObject
{
public:
    explicit HideCounter(QWidget* window) { window->installEventFilter(this); }
    int count = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        count += event->type() == QEvent::Hide ? 1 : 0;
        return false;
    }
};
} // namespace

Q_DECLARE_METATYPE(Interruption)

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
        QTest::newRow("tab pasted in the search") << false << "AB" << true << "C\tD" << control;
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

    void firstShowListsOnceWithCurrentPieces()
    {
        StartupFixture fx;
        frmVESKauction& w = fx.loadedWindow();
        // Start-up may show a message box before the window appears.
        QMessageBox box(QMessageBox::Warning, QString(), "progress");
        box.show();
        QVERIFY(activate(&box));
        box.accept();
        w.Option1->setChecked(true);

        w.show();
        QVERIFY(activate(&w));

        QTRY_COMPARE(w.listingRuns, 1);
        QVERIFY(w.optCurrent->isChecked());
        QCoreApplication::processEvents();
        QCOMPARE(w.listingRuns, 1);
    }

    void relistsOnlyWhenComingBackFromAnotherWindow_data()
    {
        QTest::addColumn<Interruption>("interruption");
        QTest::addColumn<bool>("relists");
        QTest::newRow("message box") << Interruption::MessageBox << false;
        QTest::newRow("date picker calendar") << Interruption::CalendarPopup << false;
        QTest::newRow("other application") << Interruption::OtherApplication << false;
        QTest::newRow("always-on-top ticks") << Interruption::AlwaysOnTopTicks << false;
        QTest::newRow("other program window") << Interruption::OtherProgramWindow << true;
    }
    void relistsOnlyWhenComingBackFromAnotherWindow()
    {
        QFETCH(Interruption, interruption);
        QFETCH(bool, relists);
        StartupFixture fx;
        QVERIFY(fx.showLoaded());
        frmVESKauction& w = fx.window();
        QVERIFY(activate(&w));
        QTRY_COMPARE(w.listingRuns, 1);
        // The clerk has picked another filter; a relist would reset it.
        w.Option1->setChecked(true);

        switch (interruption) {
        case Interruption::MessageBox: {
            QMessageBox box(QMessageBox::Information, QString(), "Saved.", QMessageBox::Ok, &w);
            box.show();
            QVERIFY(activate(&box));
            QTest::keyClick(&box, Qt::Key_Return);
            QVERIFY(!box.isVisible());
            break;
        }
        case Interruption::CalendarPopup: {
            w.dtDate->show();
            QTest::mouseClick(w.dtDate, Qt::LeftButton, {},
                              QPoint(w.dtDate->width() - 6, w.dtDate->height() / 2));
            QWidget* popup = QApplication::activePopupWidget();
            QVERIFY(popup && QTest::qWaitForWindowExposed(popup));
            QTest::keyClick(popup, Qt::Key_Escape);
            QTRY_VERIFY(!QApplication::activePopupWidget());
            break;
        }
        case Interruption::OtherApplication:
            // The program has no active window in between.
            programActivates(nullptr);
            programActivates(&w);
            break;
        case Interruption::AlwaysOnTopTicks: {
            QVERIFY(!Platform::isTopmost(&w)); // on top from the first tick, not before
            // The first tick re-shows the window with the new placement, and
            // the window system activates it again; later ticks must not flicker.
            w.timerx_Timer();
            QVERIFY(Platform::isTopmost(&w));
            programActivates(&w);
            HideCounter hides(&w);
            w.timerx_Timer();
            w.timerx_Timer();
            QCOMPARE(hides.count, 0);
            QVERIFY(w.isVisible() && w.timerx->isActive());
            break;
        }
        case Interruption::OtherProgramWindow: {
            QWidget other;
            other.show();
            QVERIFY(activate(&other));
            QVERIFY(activate(&w));
            break;
        }
        }
        if (QApplication::activeWindow() != &w)
            QVERIFY(activate(&w));
        QCoreApplication::processEvents();

        QCOMPARE(w.listingRuns, relists ? 2 : 1);
        QCOMPARE(w.optCurrent->isChecked(), relists);
        QCOMPARE(w.Option1->isChecked(), !relists);
    }

    void getLeftKeepsMiddleAndStaysOnScreen()
    {
        QCOMPARE(GetLeft(100.0, 15360.0, 19200.0), 0.0);
        QCOMPARE(GetLeft(1000.0, 15360.0, 15375.0), 992.5);
    }

    void sizesWindowToScreen_data()
    {
        QTest::addColumn<int>("screenWidth");
        QTest::addColumn<double>("widthTwips");
        QTest::addColumn<double>("leftTwips");
        QTest::addColumn<int>("widthPixels");
        QTest::newRow("1024") << 1024 << 15360.0 << 0.0 << 1017;
        QTest::newRow("1280") << 1280 << 19200.0 << 0.0 << 1273;
        QTest::newRow("1920 capped") << 1920 << 20000.0 << 4400.0 << 1326;
    }
    void sizesWindowToScreen()
    {
        QFETCH(int, screenWidth);
        QFETCH(double, widthTwips);
        QFETCH(double, leftTwips);
        QFETCH(int, widthPixels);
        StartupFixture fx(screenWidth);
        frmVESKauction& w = fx.loadedWindow();
        QCOMPARE(w.twips().perPixelX(), 15.0);

        QCOMPARE(w.ScreenResolutionX, screenWidth);
        QCOMPARE(w.windowWidthTwips(), widthTwips);
        QCOMPARE(w.ScreenMultiplier, static_cast<float>(widthTwips / 15360));
        QCOMPARE(w.windowLeftTwips(), leftTwips);
        QCOMPARE(w.size(), QSize(widthPixels, 712));
        QCOMPARE(w.minimumSize(), w.maximumSize());
    }

    // Lefts and widths scale, rounded down; tops and heights stay; fonts below
    // 10 points become Verdana 9.
    void stretchesControls_data()
    {
        QTest::addColumn<int>("screenWidth");
        QTest::addColumn<QString>("control");
        QTest::addColumn<QRectF>("twips");
        QTest::addColumn<QRect>("pixels"); // null: not checked
        QTest::addColumn<QString>("font"); // empty: not checked
        QTest::newRow("1024 Flex") << 1024 << "Flex" << QRectF(240, 1800, 14775, 8055)
                                   << QRect(16, 120, 985, 537) << "MS Sans Serif 8.25";
        QTest::newRow("1024 chkDayLight")
            << 1024 << "chkDayLight" << QRectF(10920, 10200, 3975, 375) << QRect()
            << "MS Sans Serif 9.75 bold";
        QTest::newRow("1280 Flex") << 1280 << "Flex" << QRectF(300, 1800, 18468, 8055)
                                   << QRect(20, 120, 1231, 537) << "Verdana 9";
        QTest::newRow("1280 hidden dtDate")
            << 1280 << "dtDate" << QRectF(450, 120, 2718, 345) << QRect() << "Verdana 9";
        QTest::newRow("1920 Image1")
            << 1920 << "Image1" << QRectF(19062, 120, 625, 480) << QRect(1271, 8, 41, 32) << "";
    }
    void stretchesControls()
    {
        QFETCH(int, screenWidth);
        QFETCH(QString, control);
        QFETCH(QRectF, twips);
        QFETCH(QRect, pixels);
        QFETCH(QString, font);
        StartupFixture fx(screenWidth);
        frmVESKauction& w = fx.loadedWindow();
        const QWidget* widget = w.findChild<QWidget*>(control);
        QVERIFY(widget);

        const TwipsRect got = w.layout().geometry(widget);

        QCOMPARE(QRectF(got.left, got.top, got.width, got.height), twips);
        QVERIFY(w.rect().contains(widget->geometry()));
        if (!pixels.isNull())
            QCOMPARE(widget->geometry(), pixels);
        const QFont f = widget->font();
        if (!font.isEmpty())
            QCOMPARE(QStringLiteral("%1 %2%3")
                         .arg(f.family())
                         .arg(f.pointSizeF())
                         .arg(f.bold() ? " bold" : ""),
                     font);
    }
};

QTEST_MAIN(StartupTest)
#include "tst_startup.moc"
