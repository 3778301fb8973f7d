#include "windows/TransparentKey.h"

#include <QImage>
#include <QWidget>

#ifdef Q_OS_WIN
#include "windows/win32/Win32Window.h"
#endif

namespace TransparentKey {

QRegion opaqueRegion(const QImage& picture, const QColor& key)
{
    const QImage opaque = picture.convertToFormat(QImage::Format_RGB32);
    const QRgb keyPixel = key.rgb();
    // One rectangle per run of non-key pixels in a row: rows come in order and
    // runs left to right, which is the banded form setRects() expects.
    QList<QRect> runs;
    for (int y = 0; y < opaque.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(opaque.constScanLine(y));
        int x = 0;
        while (x < opaque.width()) {
            while (x < opaque.width() && row[x] == keyPixel)
                ++x;
            const int start = x;
            while (x < opaque.width() && row[x] != keyPixel)
                ++x;
            if (x > start)
                runs.append(QRect(start, y, x - start, 1));
        }
    }
    QRegion region;
    region.setRects(runs.constData(), int(runs.size()));
    return region;
}

#ifdef Q_OS_WIN

void apply(QWidget* window, const QColor& key)
{
    Win32Window::setColourKey(window->winId(), key.rgb() & 0xFFFFFFu);
}

#else

void apply(QWidget* window, const QColor& key)
{
    if (window->size().isEmpty())
        return;
    // Rendered without the current mask, on the key colour, so that what no
    // widget paints counts as see-through as well.
    QImage picture(window->size(), QImage::Format_ARGB32_Premultiplied);
    picture.fill(key);
    window->render(&picture, QPoint(), QRegion(),
                   QWidget::DrawWindowBackground | QWidget::DrawChildren | QWidget::IgnoreMask);
    const QRegion opaque = opaqueRegion(picture, key);
    // An empty mask would mean "no mask" and show the whole window.
    window->setMask(opaque.isEmpty() ? QRegion(0, 0, 1, 1) : opaque);
}

#endif

} // namespace TransparentKey
