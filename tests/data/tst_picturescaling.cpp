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
    void choosesDecoderReduction_data();
    void choosesDecoderReduction();
};

void TestPictureScaling::roundsHalvesToEven_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<double>("expected");
    QTest::newRow("0.5 down to 0") << 0.5 << 0.0;
    QTest::newRow("1.5 up to 2") << 1.5 << 2.0;
    QTest::newRow("12.5 down to 12") << 12.5 << 12.0;
    QTest::newRow("974.5 down to 974") << 974.5 << 974.0;
    QTest::newRow("just above half") << 2.5001 << 3.0;
    QTest::newRow("negative half to even") << -2.5 << -2.0;
    QTest::newRow("negative odd half") << -3.5 << -4.0;
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
    QTest::addColumn<QSizeF>("expected");
    QTest::newRow("square sets the width") << QSizeF(1005, 1005) << QSizeF(1300, 1300);
    QTest::newRow("400x300 px at 15 twips") << QSizeF(6000, 4500) << QSizeF(1300, 975);
    QTest::newRow("tall sets the height") << QSizeF(4500, 6000) << QSizeF(975, 1300);
    QTest::newRow("very tall") << QSizeF(150, 30000) << QSizeF(6.5, 1300);
}

void TestPictureScaling::fitsHolderByItsLongerSide()
{
    QFETCH(QSizeF, holder);
    QFETCH(QSizeF, expected);
    const QSizeF fitted = fitHolder(holder, 1300);
    QVERIFY(qAbs(fitted.width() - expected.width()) < 1e-9);
    QVERIFY(qAbs(fitted.height() - expected.height()) < 1e-9);
}

void TestPictureScaling::plansPaintedCopyAndCanvas_data()
{
    QTest::addColumn<double>("maxSize");
    QTest::addColumn<QSizeF>("picture"); // twips
    QTest::addColumn<double>("twips");
    QTest::addColumn<QSizeF>("copy"); // twips
    QTest::addColumn<QSizeF>("canvas");
    QTest::addColumn<QSize>("visible"); // pixels

    // 400 x 300 px: W x y ratio = 1733.3 > 1300 takes the x ratio; the canvas
    // 19500 x 14625 shrinks 14 times on its width only.
    QTest::newRow("400x300 px example") << 1300.0 << QSizeF(6000, 4500) << 15.0 << QSizeF(1300, 975)
                                        << QSizeF(9509.6621, 7132.2466) << QSize(87, 65);
    // 14625 x 19500: 8 steps for the width leave the height at 12937; 6 more follow.
    QTest::newRow("tall picture shrinks on height too")
        << 1300.0 << QSizeF(4500, 6000) << 15.0 << QSizeF(975, 1300) << QSizeF(7132.2466, 9509.6621)
        << QSize(65, 87);
    QTest::newRow("square picture") << 1300.0 << QSizeF(1500, 1500) << 15.0 << QSizeF(1300, 1300)
                                    << QSizeF(9509.6621, 9509.6621) << QSize(87, 87);
    QTest::newRow("small box needs no shrinking")
        << 600.0 << QSizeF(6000, 4500) << 15.0 << QSizeF(600, 450) << QSizeF(9000, 6750)
        << QSize(40, 30);
    QTest::newRow("canvas of exactly 10000 stays")
        << 1000.0 << QSizeF(1500, 1500) << 10.0 << QSizeF(1000, 1000) << QSizeF(10000, 10000)
        << QSize(100, 100);
    QTest::newRow("small picture is enlarged")
        << 1300.0 << QSizeF(600, 450) << 15.0 << QSizeF(1300, 975) << QSizeF(9509.6621, 7132.2466)
        << QSize(87, 65);
    QTest::newRow("120 dpi display") << 1300.0 << QSizeF(6000, 4500) << 12.0 << QSizeF(1300, 975)
                                     << QSizeF(9831.8908, 7373.9181) << QSize(108, 81);
    // 20000 x 15000 twips painted on a canvas shrunk to 9652 x 7239: cut at the canvas.
    QTest::newRow("huge box") << 20000.0 << QSizeF(6000, 4500) << 15.0 << QSizeF(20000, 15000)
                              << QSizeF(9651.6777, 7238.7582) << QSize(643, 483);
    // At 1 twip per pixel a 1040 x 10 picture gets the height 12.5, and 1040 x 30 37.5.
    QTest::newRow("half rounds down to even")
        << 1300.0 << QSizeF(1040, 10) << 1.0 << QSizeF(1300, 12) << QSizeF(1300, 12)
        << QSize(1300, 12);
    QTest::newRow("half rounds up to even") << 1300.0 << QSizeF(1040, 30) << 1.0 << QSizeF(1300, 38)
                                            << QSizeF(1300, 38) << QSize(1300, 38);
    QTest::newRow("zero box paints nothing")
        << 0.0 << QSizeF(6000, 4500) << 15.0 << QSizeF(0, 0) << QSizeF(0, 0) << QSize(0, 0);
    QTest::newRow("empty picture paints nothing")
        << 1300.0 << QSizeF(0, 4500) << 15.0 << QSizeF(0, 0) << QSizeF(0, 0) << QSize(0, 0);
}

void TestPictureScaling::plansPaintedCopyAndCanvas()
{
    QFETCH(double, maxSize);
    QFETCH(QSizeF, picture);
    QFETCH(double, twips);
    QFETCH(QSizeF, copy);
    QFETCH(QSizeF, canvas);
    QFETCH(QSize, visible);

    const PaintPlan plan =
        planPaint(maxSize, maxSize, picture.width(), picture.height(), twips, twips);
    QCOMPARE(QSizeF(plan.newWidth, plan.newHeight), copy);
    QVERIFY2(
        qAbs(plan.canvas.width() - canvas.width()) < 1e-3 &&
            qAbs(plan.canvas.height() - canvas.height()) < 1e-3,
        qPrintable(QStringLiteral("%1 x %2").arg(plan.canvas.width()).arg(plan.canvas.height())));
    QCOMPARE(visiblePixels(plan, twips, twips), visible);
}

void TestPictureScaling::choosesDecoderReduction_data()
{
    QTest::addColumn<QSize>("source");
    QTest::addColumn<QSize>("target");
    QTest::addColumn<QSize>("expected");
    QTest::newRow("12 MP to listing size: eighth")
        << QSize(4000, 3000) << QSize(87, 65) << QSize(500, 375);
    QTest::newRow("odd sizes round up") << QSize(4001, 3001) << QSize(87, 65) << QSize(501, 376);
    QTest::newRow("quarter when an eighth is too small")
        << QSize(600, 450) << QSize(87, 65) << QSize(150, 113);
    QTest::newRow("height decides") << QSize(4000, 400) << QSize(87, 65) << QSize(1000, 100);
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
