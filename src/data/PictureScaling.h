#pragma once

#include <QSize>
#include <QSizeF>
#include <QtGlobal>

// The sizing arithmetic of the item pictures, kept free of files and images so it
// can be checked case by case. Lengths are in twips unless a name says pixels.
namespace PictureScaling {

// Picture boxes never grow past this width or height (twips); larger canvases
// shrink in 0.95 steps.
constexpr double kMaxCanvasTwips = 10000.0;
constexpr double kCanvasShrink = 0.95;

// The display size of the picture holder: the longer side becomes picSize and the
// other keeps the proportion; a square (or wider) holder sets the width.
QSizeF fitHolder(QSizeF holder, qint32 picSize);

// What painting a picture of W x H twips into a box of maxWidth x maxHeight gives.
struct PaintPlan
{
    double ratio = 0;
    double newWidth = 0;          // whole twips: the painted copy's width
    double newHeight = 0;         // whole twips: the painted copy's height
    QSizeF canvas = QSizeF(0, 0); // after shrinking to at most 10000 twips a side
};
PaintPlan planPaint(double maxWidth, double maxHeight, double pictureWidth, double pictureHeight,
                    double twipsX, double twipsY);

// A length in twips as whole pixels, halves to even.
QSize twipsToPixels(QSizeF twips, double twipsX, double twipsY);

// The pixel size of the painted copy as painted (before clipping) and as seen:
// the part of it that lies on the canvas.
QSize paintedPixels(const PaintPlan& plan, double twipsX, double twipsY);
QSize visiblePixels(const PaintPlan& plan, double twipsX, double twipsY);

// The size to ask a decoder for: the source reduced by 1/2, 1/4 or 1/8 as far as
// the result still covers target on both sides (a JPEG decoder reduces at those
// steps almost for free). Never larger than the source.
QSize decodeSize(QSize source, QSize target);

} // namespace PictureScaling
