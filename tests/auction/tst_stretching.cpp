#include "StartupFixture.h"

#include "auction/GetLeft.h"

class StretchingTest : public QObject
{
    Q_OBJECT
private slots:
    void getLeftKeepsMiddleAndStaysOnScreen_data()
    {
        QTest::addColumn<double>("left");
        QTest::addColumn<double>("newWidth");
        QTest::addColumn<double>("expected");
        QTest::newRow("1920 screen, capped width") << 6720.0 << 20000.0 << 4400.0;
        QTest::newRow("growth beyond left edge") << 100.0 << 19200.0 << 0.0;
        QTest::newRow("odd growth keeps the half") << 1000.0 << 15375.0 << 992.5;
    }
    void getLeftKeepsMiddleAndStaysOnScreen()
    {
        QFETCH(double, left);
        QFETCH(double, newWidth);
        QFETCH(double, expected);
        QCOMPARE(GetLeft(left, 15360.0, newWidth), expected);
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
        QCOMPARE(w.twipsPerPixelX(), 15.0);

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
        QTest::newRow("1024 bottom line")
            << 1024 << "Line1_1" << QRectF(0, 10655, 15240, 30) << QRect(0, 710, 1016, 2) << "";
        QTest::newRow("1280 Flex") << 1280 << "Flex" << QRectF(300, 1800, 18468, 8055)
                                   << QRect(20, 120, 1231, 537) << "Verdana 9";
        QTest::newRow("1280 chkDayLight")
            << 1280 << "chkDayLight" << QRectF(13650, 10200, 4968, 375) << QRect()
            << "Verdana 9 bold";
        QTest::newRow("1280 hidden dtDate")
            << 1280 << "dtDate" << QRectF(450, 120, 2718, 345) << QRect() << "Verdana 9";
        QTest::newRow("1920 Flex")
            << 1920 << "Flex" << QRectF(312, 1800, 19238, 8055) << QRect() << "Verdana 9";
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

        const frmVESKauction::TwipsRect got = w.twipsGeometry(widget);

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

QTEST_MAIN(StretchingTest)
#include "tst_stretching.moc"
