#include "data/PictureScaling.h"

#include <QtTest>

using namespace PictureScaling;

class TestPictureScaling : public QObject
{
    Q_OBJECT

private slots:
    void roundsHalvesToEven_data();
    void roundsHalvesToEven();
    void fitsHolderByItsLongerSide_data();
    void fitsHolderByItsLongerSide();
    void plansPaintedCopyAndCanvas_data();
    void plansPaintedCopyAndCanvas();
    void paintsNothingForEmptyInput_data();
    void paintsNothingForEmptyInput();
    void convertsTwipsToWholePixels_data();
    void convertsTwipsToWholePixels();
    void clipsCopyToCanvas_data();
    void clipsCopyToCanvas();
    void choosesDecoderReduction_data();
    void choosesDecoderReduction();
};

void TestPictureScaling::roundsHalvesToEven_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<double>("expected");
    QTest::newRow("0.5 down to 0") << 0.5 << 0.0;
    QTest::newRow("1.5 up to 2") << 1.5 << 2.0;
    QTest::newRow("2.5 down to 2") << 2.5 << 2.0;
    QTest::newRow("12.5 down to 12") << 12.5 << 12.0;
    QTest::newRow("37.5 up to 38") << 37.5 << 38.0;
    QTest::newRow("974.5 down to 974") << 974.5 << 974.0;
    QTest::newRow("just below half") << 2.4999 << 2.0;
    QTest::newRow("just above half") << 2.5001 << 3.0;
    QTest::newRow("negative half to even") << -2.5 << -2.0;
    QTest::newRow("negative odd half") << -3.5 << -4.0;
    QTest::newRow("whole stays") << 975.0 << 975.0;
}

void TestPictureScaling::roundsHalvesToEven()
{
    QFETCH(double, value);
    QFETCH(double, expected);
    QCOMPARE(roundHalfEven(value), expected);
}

void TestPictureScaling::fitsHolderByItsLongerSide_data()
{
    QTest::addColumn<QSizeF>("holder");
    QTest::addColumn<int>("picSize");
    QTest::addColumn<QSizeF>("expected");
    QTest::newRow("square sets the width") << QSizeF(1005, 1005) << 1300 << QSizeF(1300, 1300);
    QTest::newRow("400x300 px at 15 twips") << QSizeF(6000, 4500) << 1300 << QSizeF(1300, 975);
    QTest::newRow("tall sets the height") << QSizeF(4500, 6000) << 1300 << QSizeF(975, 1300);
    QTest::newRow("very tall") << QSizeF(150, 30000) << 1300 << QSizeF(6.5, 1300);
    QTest::newRow("small picture grows") << QSizeF(300, 150) << 1300 << QSizeF(1300, 650);
}

void TestPictureScaling::fitsHolderByItsLongerSide()
{
    QFETCH(QSizeF, holder);
    QFETCH(int, picSize);
    QFETCH(QSizeF, expected);
    const QSizeF fitted = fitHolder(holder, picSize);
    QVERIFY2(qAbs(fitted.width() - expected.width()) < 1e-9,
             qPrintable(QString::number(fitted.width())));
    QVERIFY2(qAbs(fitted.height() - expected.height()) < 1e-9,
             qPrintable(QString::number(fitted.height())));
}

void TestPictureScaling::plansPaintedCopyAndCanvas_data()
{
    QTest::addColumn<double>("maxSize");
    QTest::addColumn<double>("width");
    QTest::addColumn<double>("height");
    QTest::addColumn<double>("twips");
    QTest::addColumn<double>("ratio");
    QTest::addColumn<double>("newWidth");
    QTest::addColumn<double>("newHeight");
    QTest::addColumn<QSizeF>("canvas");

    // 400 x 300 px: W x y ratio = 1733.3 > 1300, so the x ratio; the canvas
    // 19500 x 14625 shrinks 14 times on its width only.
    QTest::newRow("400x300 px example") << 1300.0 << 6000.0 << 4500.0 << 15.0 << 1300.0 / 6000
                                        << 1300.0 << 975.0 << QSizeF(9509.6621, 7132.2466);
    // 14625 x 19500: 8 steps for the width leave the height at 12937, 6 more follow.
    QTest::newRow("tall picture shrinks on height too")
        << 1300.0 << 4500.0 << 6000.0 << 15.0 << 1300.0 / 6000 << 975.0 << 1300.0
        << QSizeF(7132.2466, 9509.6621);
    QTest::newRow("square picture uses the y ratio")
        << 1300.0 << 1500.0 << 1500.0 << 15.0 << 1300.0 / 1500 << 1300.0 << 1300.0
        << QSizeF(9509.6621, 9509.6621);
    QTest::newRow("small box needs no shrinking")
        << 600.0 << 6000.0 << 4500.0 << 15.0 << 0.1 << 600.0 << 450.0 << QSizeF(9000, 6750);
    QTest::newRow("canvas of exactly 10000 stays")
        << 1000.0 << 1500.0 << 1500.0 << 10.0 << 1000.0 / 1500 << 1000.0 << 1000.0
        << QSizeF(10000, 10000);
    QTest::newRow("small picture is enlarged") << 1300.0 << 600.0 << 450.0 << 15.0 << 1300.0 / 600
                                               << 1300.0 << 975.0 << QSizeF(9509.6621, 7132.2466);
    QTest::newRow("12 twips per pixel") << 1300.0 << 6000.0 << 4500.0 << 12.0 << 1300.0 / 6000
                                        << 1300.0 << 975.0 << QSizeF(9831.8908, 7373.9181);
    QTest::newRow("huge box shrinks 67 times")
        << 20000.0 << 6000.0 << 4500.0 << 15.0 << 20000.0 / 6000 << 20000.0 << 15000.0
        << QSizeF(9651.6777, 7238.7582);
    // 1040 x 10 at 1 twip per pixel: the height 12.5 rounds to 12, 37.5 to 38.
    QTest::newRow("half rounds down to even")
        << 1300.0 << 1040.0 << 10.0 << 1.0 << 1.25 << 1300.0 << 12.0 << QSizeF(1300, 12);
    QTest::newRow("half rounds up to even")
        << 1300.0 << 1040.0 << 30.0 << 1.0 << 1.25 << 1300.0 << 38.0 << QSizeF(1300, 38);
}

void TestPictureScaling::plansPaintedCopyAndCanvas()
{
    QFETCH(double, maxSize);
    QFETCH(double, width);
    QFETCH(double, height);
    QFETCH(double, twips);
    QFETCH(double, ratio);
    QFETCH(double, newWidth);
    QFETCH(double, newHeight);
    QFETCH(QSizeF, canvas);

    const PaintPlan plan = planPaint(maxSize, maxSize, width, height, twips, twips);
    QVERIFY2(qAbs(plan.ratio - ratio) < 1e-12, qPrintable(QString::number(plan.ratio, 'g', 17)));
    QCOMPARE(plan.newWidth, newWidth);
    QCOMPARE(plan.newHeight, newHeight);
    QVERIFY2(qAbs(plan.canvas.width() - canvas.width()) < 1e-3,
             qPrintable(QString::number(plan.canvas.width(), 'f', 4)));
    QVERIFY2(qAbs(plan.canvas.height() - canvas.height()) < 1e-3,
             qPrintable(QString::number(plan.canvas.height(), 'f', 4)));
}

void TestPictureScaling::paintsNothingForEmptyInput_data()
{
    QTest::addColumn<double>("maxSize");
    QTest::addColumn<double>("width");
    QTest::addColumn<double>("height");
    QTest::addColumn<double>("twips");
    QTest::newRow("zero box") << 0.0 << 6000.0 << 4500.0 << 15.0;
    QTest::newRow("negative box") << -1300.0 << 6000.0 << 4500.0 << 15.0;
    QTest::newRow("zero width picture") << 1300.0 << 0.0 << 4500.0 << 15.0;
    QTest::newRow("zero height picture") << 1300.0 << 6000.0 << 0.0 << 15.0;
    QTest::newRow("zero twips per pixel") << 1300.0 << 6000.0 << 4500.0 << 0.0;
    QTest::newRow("infinite twips per pixel")
        << 1300.0 << 6000.0 << 4500.0 << std::numeric_limits<double>::infinity();
}

void TestPictureScaling::paintsNothingForEmptyInput()
{
    QFETCH(double, maxSize);
    QFETCH(double, width);
    QFETCH(double, height);
    QFETCH(double, twips);
    const PaintPlan plan = planPaint(maxSize, maxSize, width, height, twips, twips);
    QCOMPARE(plan.newWidth, 0.0);
    QCOMPARE(plan.newHeight, 0.0);
    QVERIFY(plan.canvas.isEmpty());
    QVERIFY(visiblePixels(plan, 15, 15).isEmpty());
}

void TestPictureScaling::convertsTwipsToWholePixels_data()
{
    QTest::addColumn<QSizeF>("twips");
    QTest::addColumn<double>("twipsX");
    QTest::addColumn<double>("twipsY");
    QTest::addColumn<QSize>("pixels");
    QTest::newRow("1300x975 at 96 dpi") << QSizeF(1300, 975) << 15.0 << 15.0 << QSize(87, 65);
    QTest::newRow("1300x975 at 120 dpi") << QSizeF(1300, 975) << 12.0 << 12.0 << QSize(108, 81);
    QTest::newRow("halves to even") << QSizeF(975, 973) << 2.0 << 2.0 << QSize(488, 486);
    QTest::newRow("own factor per axis") << QSizeF(1300, 1300) << 15.0 << 10.0 << QSize(87, 130);
    QTest::newRow("under half a pixel") << QSizeF(7, 7) << 15.0 << 15.0 << QSize(0, 0);
}

void TestPictureScaling::convertsTwipsToWholePixels()
{
    QFETCH(QSizeF, twips);
    QFETCH(double, twipsX);
    QFETCH(double, twipsY);
    QFETCH(QSize, pixels);
    QCOMPARE(twipsToPixels(twips, twipsX, twipsY), pixels);
}

void TestPictureScaling::clipsCopyToCanvas_data()
{
    QTest::addColumn<double>("maxSize");
    QTest::addColumn<QSize>("painted");
    QTest::addColumn<QSize>("visible");
    QTest::newRow("listing size is whole") << 1300.0 << QSize(87, 65) << QSize(87, 65);
    // 20000 x 15000 twips painted on a canvas shrunk to 9652 x 7239.
    QTest::newRow("huge box is cut at the canvas")
        << 20000.0 << QSize(1333, 1000) << QSize(643, 483);
}

void TestPictureScaling::clipsCopyToCanvas()
{
    QFETCH(double, maxSize);
    QFETCH(QSize, painted);
    QFETCH(QSize, visible);
    const PaintPlan plan = planPaint(maxSize, maxSize, 6000, 4500, 15, 15);
    QCOMPARE(paintedPixels(plan, 15, 15), painted);
    QCOMPARE(visiblePixels(plan, 15, 15), visible);
}

void TestPictureScaling::choosesDecoderReduction_data()
{
    QTest::addColumn<QSize>("source");
    QTest::addColumn<QSize>("target");
    QTest::addColumn<QSize>("expected");
    QTest::newRow("12 MP to listing size: eighth")
        << QSize(4000, 3000) << QSize(87, 65) << QSize(500, 375);
    QTest::newRow("odd sizes round up") << QSize(4001, 3001) << QSize(87, 65) << QSize(501, 376);
    QTest::newRow("quarter when eighth is too small")
        << QSize(600, 450) << QSize(87, 65) << QSize(150, 113);
    QTest::newRow("half") << QSize(300, 200) << QSize(87, 65) << QSize(150, 100);
    QTest::newRow("height decides") << QSize(4000, 400) << QSize(87, 65) << QSize(1000, 100);
    QTest::newRow("no reduction when just large enough")
        << QSize(100, 100) << QSize(87, 87) << QSize(100, 100);
    QTest::newRow("never enlarged") << QSize(50, 40) << QSize(87, 65) << QSize(50, 40);
    QTest::newRow("empty target") << QSize(4000, 3000) << QSize(0, 0) << QSize(500, 375);
}

void TestPictureScaling::choosesDecoderReduction()
{
    QFETCH(QSize, source);
    QFETCH(QSize, target);
    QFETCH(QSize, expected);
    QCOMPARE(decodeSize(source, target), expected);
}

QTEST_GUILESS_MAIN(TestPictureScaling)
#include "tst_picturescaling.moc"
