#include "windows/GemPicture.h"

#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>

namespace {
// Drawn on a 256 grid. No colour here is the window's see-through cyan.
void paintGem(QPainter& painter)
{
    const QPointF g0(16, 104), g1(84, 104), g2(172, 104), g3(240, 104);
    const QPointF t0(64, 56), t1(128, 56), t2(192, 56);
    const QPointF culet(128, 232);

    const QColor light(214, 232, 255), mid(132, 178, 240), deep(52, 98, 196), dark(28, 58, 140);
    const QColor outline(16, 32, 80);

    painter.setPen(QPen(outline, 2.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    const auto facet = [&painter](std::initializer_list<QPointF> corners, const QColor& fill) {
        painter.setBrush(fill);
        painter.drawPolygon(QPolygonF(QList<QPointF>(corners)));
    };
    facet({g0, t0, g1}, mid);
    facet({t0, t1, g1}, light);
    facet({g1, t1, g2}, mid);
    facet({t1, t2, g2}, light);
    facet({g2, t2, g3}, deep);
    facet({g0, g1, culet}, deep);
    facet({g1, g2, culet}, mid);
    facet({g2, g3, culet}, dark);

    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(outline, 6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.drawPolygon(QPolygonF({g0, t0, t2, g3, culet}));

    // A sparkle off the upper right corner of the table.
    QPainterPath sparkle;
    const QPointF c(212, 36);
    sparkle.moveTo(c + QPointF(0, -26));
    sparkle.quadTo(c, c + QPointF(26, 0));
    sparkle.quadTo(c, c + QPointF(0, 26));
    sparkle.quadTo(c, c + QPointF(-26, 0));
    sparkle.quadTo(c, c + QPointF(0, -26));
    painter.setPen(QPen(outline, 1.5));
    painter.setBrush(QColor(255, 250, 220));
    painter.drawPath(sparkle);
}

// Edge pixels half blended with nothing would show as a cyan halo on the
// see-through background: make each pixel either solid or absent.
void hardenEdges(QImage& picture)
{
    for (int y = 0; y < picture.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(picture.scanLine(y));
        for (int x = 0; x < picture.width(); ++x) {
            const int alpha = qAlpha(row[x]);
            if (alpha < 128) {
                row[x] = 0;
            } else if (alpha < 255) {
                const QRgb plain = qUnpremultiply(row[x]);
                row[x] = qRgb(qRed(plain), qGreen(plain), qBlue(plain));
            }
        }
    }
}
} // namespace

QImage drawGemPicture(int side)
{
    QImage picture(side, side, QImage::Format_ARGB32_Premultiplied);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(side / 256.0, side / 256.0);
    paintGem(painter);
    painter.end();
    hardenEdges(picture);
    return picture;
}
