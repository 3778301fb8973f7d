#include "data/PictureScaling.h"

#include "numeric/HalfEven.h"

#include <algorithm>
#include <climits>
#include <cmath>

namespace PictureScaling {

namespace {
bool positive(double value)
{
    return std::isfinite(value) && value > 0;
}

int toPixels(double twips, double twipsPerPixel)
{
    const double pixels = roundHalfEven(twips / twipsPerPixel);
    if (!(pixels > 0))
        return 0;
    return static_cast<int>(std::min(pixels, static_cast<double>(INT_MAX)));
}

int reduced(int length, int divisor)
{
    return (length + divisor - 1) / divisor;
}
} // namespace

QSizeF fitHolder(QSizeF holder, qint32 picSize)
{
    const double width = holder.width();
    const double height = holder.height();
    if (width >= height) {
        if (width == 0)
            return QSizeF(picSize, 0);
        return QSizeF(picSize, height * picSize / width);
    }
    return QSizeF(width * picSize / height, picSize);
}

PaintPlan planPaint(double maxWidth, double maxHeight, double pictureWidth, double pictureHeight,
                    double twipsX, double twipsY)
{
    PaintPlan plan;
    if (!positive(maxWidth) || !positive(maxHeight) || !positive(pictureWidth) ||
        !positive(pictureHeight) || !positive(twipsX) || !positive(twipsY))
        return plan;

    const double xRatio = maxWidth / pictureWidth;
    const double yRatio = maxHeight / pictureHeight;
    plan.ratio = pictureWidth * yRatio > maxWidth ? xRatio : yRatio;
    plan.newWidth = roundHalfEven(pictureWidth * plan.ratio);
    plan.newHeight = roundHalfEven(pictureHeight * plan.ratio);

    double width = twipsX * plan.newWidth;
    double height = twipsY * plan.newHeight;
    if (!std::isfinite(width) || !std::isfinite(height))
        return PaintPlan();
    while (width > kMaxCanvasTwips) {
        width *= kCanvasShrink;
        height *= kCanvasShrink;
    }
    while (height > kMaxCanvasTwips) {
        width *= kCanvasShrink;
        height *= kCanvasShrink;
    }
    plan.canvas = QSizeF(width, height);
    return plan;
}

QSize twipsToPixels(QSizeF twips, double twipsX, double twipsY)
{
    if (!positive(twipsX) || !positive(twipsY))
        return QSize(0, 0);
    return QSize(toPixels(twips.width(), twipsX), toPixels(twips.height(), twipsY));
}

QSize paintedPixels(const PaintPlan& plan, double twipsX, double twipsY)
{
    return twipsToPixels(QSizeF(plan.newWidth, plan.newHeight), twipsX, twipsY);
}

QSize visiblePixels(const PaintPlan& plan, double twipsX, double twipsY)
{
    return paintedPixels(plan, twipsX, twipsY)
        .boundedTo(twipsToPixels(plan.canvas, twipsX, twipsY));
}

QSize decodeSize(QSize source, QSize target)
{
    if (source.isEmpty())
        return source;
    const QSize wanted = target.expandedTo(QSize(1, 1));
    for (const int divisor : {8, 4, 2}) {
        const QSize size(reduced(source.width(), divisor), reduced(source.height(), divisor));
        if (size.width() >= wanted.width() && size.height() >= wanted.height())
            return size;
    }
    return source;
}

} // namespace PictureScaling
