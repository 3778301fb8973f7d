#include "data/PictureScaling.h"

#include <QtTest>

using namespace PictureScaling;

namespace {
// "WxH" as a size.
QSizeF sizeOf(const QString& text)
{
    const QStringList sides = text.split(QLatin1Char('x'));
    return QSizeF(sides.value(0).toDouble(), sides.value(1).toDouble());
}
} // namespace

class TestPictureScaling : public QObject
{
    Q_OBJECT

private slots:
    void fitsHolderByItsLongerSide()
    {
        QCOMPARE(fitHolder(QSizeF(6000, 4500), 1300), QSizeF(1300, 975)); // 400x300 px
        QCOMPARE(fitHolder(QSizeF(4500, 6000), 1300), QSizeF(975, 1300));
    }

    // box, picture (twips), twips per pixel, copy (twips), canvas (twips), visible (pixels)
    void plansPaintedCopyAndCanvas_data()
    {
        QTest::addColumn<QString>("plan");
        // W x y ratio = 1733.3 > 1300 takes the x ratio; 19500 x 14625 shrinks on its width.
        QTest::newRow("400x300 px example")
            << "1300 6000x4500 15 1300x975 9509.6621x7132.2466 87x65";
        // The width steps leave 14625 x 19500 above 10000 high, so it shrinks on.
        QTest::newRow("tall shrinks on height too")
            << "1300 4500x6000 15 975x1300 7132.2466x9509.6621 65x87";
        QTest::newRow("canvas of exactly 10000 stays")
            << "1000 1500x1500 10 1000x1000 10000x10000 100x100";
        // The copy is painted larger than the shrunk canvas and cut at its edge.
        QTest::newRow("huge box") << "20000 6000x4500 15 20000x15000 9651.6777x7238.7582 643x483";
        QTest::newRow("half rounds down to even") << "1300 1040x10 1 1300x12 1300x12 1300x12";
        QTest::newRow("half rounds up to even") << "1300 1040x30 1 1300x38 1300x38 1300x38";
        QTest::newRow("zero box paints nothing") << "0 6000x4500 15 0x0 0x0 0x0";
        QTest::newRow("empty picture paints nothing") << "1300 0x4500 15 0x0 0x0 0x0";
    }
    void plansPaintedCopyAndCanvas()
    {
        QFETCH(QString, plan);
        const QStringList f = plan.split(QLatin1Char(' '));
        const double box = f[0].toDouble(), twips = f[2].toDouble();
        const QSizeF picture = sizeOf(f[1]), canvas = sizeOf(f[4]);
        const PaintPlan p = planPaint(box, box, picture.width(), picture.height(), twips, twips);
        QCOMPARE(QSizeF(p.newWidth, p.newHeight), sizeOf(f[3]));
        QVERIFY2(
            qAbs(p.canvas.width() - canvas.width()) < 1e-3 &&
                qAbs(p.canvas.height() - canvas.height()) < 1e-3,
            qPrintable(QStringLiteral("%1 x %2").arg(p.canvas.width()).arg(p.canvas.height())));
        QCOMPARE(QSizeF(visiblePixels(p, twips, twips)), sizeOf(f[5]));
    }

    // source, target, what the decoder is asked for
    void choosesDecoderReduction_data()
    {
        QTest::addColumn<QString>("sizes");
        QTest::newRow("12 MP to listing size: eighth") << "4000x3000 87x65 500x375";
        QTest::newRow("quarter when an eighth is too small") << "600x450 87x65 150x113";
        QTest::newRow("height decides") << "4000x400 87x65 1000x100";
        QTest::newRow("never enlarged") << "50x40 87x65 50x40";
        QTest::newRow("empty target") << "4000x3000 0x0 500x375";
    }
    void choosesDecoderReduction()
    {
        QFETCH(QString, sizes);
        const QStringList f = sizes.split(QLatin1Char(' '));
        QCOMPARE(QSizeF(decodeSize(sizeOf(f[0]).toSize(), sizeOf(f[1]).toSize())), sizeOf(f[2]));
    }
};

QTEST_GUILESS_MAIN(TestPictureScaling)
#include "tst_picturescaling.moc"
