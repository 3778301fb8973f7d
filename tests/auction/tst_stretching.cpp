#include "StartupFixture.h"

#include "auction/GetLeft.h"

#include <QFont>
#include <QTableWidget>

class StretchingTest : public QObject
{
    Q_OBJECT
private slots:
    void getLeftKeepsMiddleAndStaysOnScreen_data()
    {
        QTest::addColumn<double>("left");
        QTest::addColumn<double>("oldWidth");
        QTest::addColumn<double>("newWidth");
        QTest::addColumn<double>("expected");
        QTest::newRow("1280 screen, half growth equals left")
            << 1920.0 << 15360.0 << 19200.0 << 0.0;
        QTest::newRow("1920 screen, capped width") << 6720.0 << 15360.0 << 20000.0 << 4400.0;
        QTest::newRow("growth beyond left edge") << 100.0 << 15360.0 << 19200.0 << 0.0;
        QTest::newRow("window at the edge") << 0.0 << 15360.0 << 16000.0 << 0.0;
        QTest::newRow("just fits") << 1001.0 << 15360.0 << 17360.0 << 1.0;
        QTest::newRow("no change") << 5000.0 << 15360.0 << 15360.0 << 5000.0;
        QTest::newRow("narrower moves right") << 3000.0 << 20000.0 << 15360.0 << 5320.0;
        QTest::newRow("odd growth") << 1000.0 << 15360.0 << 15375.0 << 992.5;
    }
    void getLeftKeepsMiddleAndStaysOnScreen()
    {
        QFETCH(double, left);
        QFETCH(double, oldWidth);
        QFETCH(double, newWidth);
        QFETCH(double, expected);
        QCOMPARE(GetLeft(left, oldWidth, newWidth), expected);
    }

    void sizesWindowToScreen_data()
    {
        QTest::addColumn<int>("screenWidth");
        QTest::addColumn<double>("windowWidth");
        QTest::addColumn<double>("multiplier");
        QTest::addColumn<double>("windowLeft");
        QTest::addColumn<int>("clientPixels");
        QTest::newRow("800") << 800 << 15360.0 << 1.0 << 0.0 << 1017;
        QTest::newRow("1024") << 1024 << 15360.0 << 1.0 << 0.0 << 1017;
        QTest::newRow("1100") << 1100 << 16500.0 << 16500.0 / 15360 << 0.0 << 1093;
        QTest::newRow("1280") << 1280 << 19200.0 << 1.25 << 0.0 << 1273;
        QTest::newRow("1600 capped") << 1600 << 20000.0 << 20000.0 / 15360 << 2000.0 << 1326;
        QTest::newRow("1920 capped") << 1920 << 20000.0 << 20000.0 / 15360 << 4400.0 << 1326;
        QTest::newRow("2560 capped") << 2560 << 20000.0 << 20000.0 / 15360 << 9200.0 << 1326;
    }
    void sizesWindowToScreen()
    {
        QFETCH(int, screenWidth);
        QFETCH(double, windowWidth);
        QFETCH(double, multiplier);
        QFETCH(double, windowLeft);
        QFETCH(int, clientPixels);
        StartupFixture fx(screenWidth);
        frmVESKauction& w = fx.loadedWindow();
        QCOMPARE(w.twipsPerPixelX(), 15.0);

        QCOMPARE(w.ScreenResolutionX, screenWidth);
        QCOMPARE(w.windowWidthTwips(), windowWidth);
        QCOMPARE(w.ScreenMultiplier, static_cast<float>(multiplier));
        QCOMPARE(w.windowLeftTwips(), windowLeft);
        QCOMPARE(w.width(), clientPixels);
        QCOMPARE(w.height(), 712);
        QCOMPARE(w.minimumSize(), w.maximumSize());
    }

    void scalesLeftsAndWidthsOnly_data()
    {
        QTest::addColumn<int>("screenWidth");
        QTest::addColumn<QString>("control");
        QTest::addColumn<double>("left");
        QTest::addColumn<double>("top");
        QTest::addColumn<double>("width");
        QTest::addColumn<double>("height");
        QTest::newRow("1024 Flex") << 1024 << "Flex" << 240.0 << 1800.0 << 14775.0 << 8055.0;
        QTest::newRow("1024 chkDayLight")
            << 1024 << "chkDayLight" << 10920.0 << 10200.0 << 3975.0 << 375.0;
        QTest::newRow("1024 Image1") << 1024 << "Image1" << 14640.0 << 120.0 << 480.0 << 480.0;
        QTest::newRow("1100 Flex") << 1100 << "Flex" << 257.0 << 1800.0 << 15871.0 << 8055.0;
        QTest::newRow("1280 Flex") << 1280 << "Flex" << 300.0 << 1800.0 << 18468.0 << 8055.0;
        QTest::newRow("1280 chkDayLight")
            << 1280 << "chkDayLight" << 13650.0 << 10200.0 << 4968.0 << 375.0;
        QTest::newRow("1280 chkLimit") << 1280 << "chkLimit" << 9000.0 << 960.0 << 1368.0 << 195.0;
        QTest::newRow("1280 Command1")
            << 1280 << "Command1" << 14100.0 << 1080.0 << 4668.0 << 495.0;
        QTest::newRow("1280 Image1") << 1280 << "Image1" << 18300.0 << 120.0 << 600.0 << 480.0;
        QTest::newRow("1280 Bar") << 1280 << "Bar" << 300.0 << 10080.0 << 18468.0 << 75.0;
        QTest::newRow("1280 shpWait") << 1280 << "shpWait" << 150.0 << 1680.0 << 18768.0 << 8295.0;
        QTest::newRow("1280 hidden dtDate")
            << 1280 << "dtDate" << 450.0 << 120.0 << 2718.0 << 345.0;
        QTest::newRow("1920 Flex") << 1920 << "Flex" << 312.0 << 1800.0 << 19238.0 << 8055.0;
        QTest::newRow("1920 chkDayLight")
            << 1920 << "chkDayLight" << 14218.0 << 10200.0 << 5175.0 << 375.0;
        QTest::newRow("1920 Image1") << 1920 << "Image1" << 19062.0 << 120.0 << 625.0 << 480.0;
        QTest::newRow("1920 optCurrent")
            << 1920 << "optCurrent" << 3437.0 << 480.0 << 4166.0 << 315.0;
    }
    void scalesLeftsAndWidthsOnly()
    {
        QFETCH(int, screenWidth);
        QFETCH(QString, control);
        QFETCH(double, left);
        QFETCH(double, top);
        QFETCH(double, width);
        QFETCH(double, height);
        StartupFixture fx(screenWidth);
        frmVESKauction& w = fx.loadedWindow();
        const QWidget* widget = w.findChild<QWidget*>(control);
        QVERIFY(widget);

        const frmVESKauction::TwipsRect twips = w.twipsGeometry(widget);

        QCOMPARE(twips.left, left);
        QCOMPARE(twips.top, top);
        QCOMPARE(twips.width, width);
        QCOMPARE(twips.height, height);
    }

    void placesControlsInPixels_data()
    {
        QTest::addColumn<int>("screenWidth");
        QTest::addColumn<QString>("control");
        QTest::addColumn<QRect>("pixels");
        QTest::newRow("1024 Flex") << 1024 << "Flex" << QRect(16, 120, 985, 537);
        QTest::newRow("1024 Image1") << 1024 << "Image1" << QRect(976, 8, 32, 32);
        QTest::newRow("1024 bottom line") << 1024 << "Line1_1" << QRect(0, 710, 1016, 2);
        QTest::newRow("1280 Flex") << 1280 << "Flex" << QRect(20, 120, 1231, 537);
        QTest::newRow("1280 Image1") << 1280 << "Image1" << QRect(1220, 8, 40, 32);
    }
    void placesControlsInPixels()
    {
        QFETCH(int, screenWidth);
        QFETCH(QString, control);
        QFETCH(QRect, pixels);
        StartupFixture fx(screenWidth);
        frmVESKauction& w = fx.loadedWindow();
        const QWidget* widget = w.findChild<QWidget*>(control);
        QVERIFY(widget);
        QCOMPARE(widget->geometry(), pixels);
        QVERIFY(w.rect().contains(widget->geometry()));
    }

    void setsSmallFontsToVerdanaNine_data()
    {
        QTest::addColumn<int>("screenWidth");
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("family");
        QTest::addColumn<double>("pointSize");
        QTest::addColumn<bool>("bold");
        const QString design = QStringLiteral("MS Sans Serif");
        const QString verdana = QStringLiteral("Verdana");
        QTest::newRow("1024 chkDayLight") << 1024 << "chkDayLight" << design << 9.75 << true;
        QTest::newRow("1024 optPast") << 1024 << "optPast" << design << 8.25 << true;
        QTest::newRow("1024 Flex") << 1024 << "Flex" << design << 8.25 << false;
        QTest::newRow("1280 chkDayLight") << 1280 << "chkDayLight" << verdana << 9.0 << true;
        QTest::newRow("1280 Command1") << 1280 << "Command1" << verdana << 9.0 << true;
        QTest::newRow("1280 optPast") << 1280 << "optPast" << verdana << 9.0 << true;
        QTest::newRow("1280 Option1") << 1280 << "Option1" << verdana << 9.0 << false;
        QTest::newRow("1280 Flex") << 1280 << "Flex" << verdana << 9.0 << false;
        QTest::newRow("1280 txtStoreID") << 1280 << "txtStoreID" << verdana << 9.0 << false;
        QTest::newRow("1280 dtDate") << 1280 << "dtDate" << verdana << 9.0 << false;
        QTest::newRow("1920 lblBuild") << 1920 << "lblBuild" << verdana << 9.0 << false;
    }
    void setsSmallFontsToVerdanaNine()
    {
        QFETCH(int, screenWidth);
        QFETCH(QString, control);
        QFETCH(QString, family);
        QFETCH(double, pointSize);
        QFETCH(bool, bold);
        StartupFixture fx(screenWidth);
        frmVESKauction& w = fx.loadedWindow();
        const QWidget* widget = w.findChild<QWidget*>(control);
        QVERIFY(widget);

        QCOMPARE(widget->font().family(), family);
        QCOMPARE(widget->font().pointSizeF(), pointSize);
        QCOMPARE(widget->font().bold(), bold);
    }
};

QTEST_MAIN(StretchingTest)
#include "tst_stretching.moc"
