#include "windows/Twips.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <QtGlobal>
#include <algorithm>
#include <cmath>

namespace {

constexpr double TwipsPerInch = 1440.0;

// Keeps absurd design lengths inside what a widget can take.
int clampedPixels(double pixels)
{
    if (std::isnan(pixels))
        return 0;
    const double limit = QWIDGETSIZE_MAX;
    return static_cast<int>(std::lround(qBound(-limit, pixels, limit)));
}

double usableDpi(double dpi)
{
    return dpi > 0 ? dpi : 96.0;
}

} // namespace

Twips::Twips(double dpiX, double dpiY)
    : m_perPixelX(TwipsPerInch / usableDpi(dpiX)), m_perPixelY(TwipsPerInch / usableDpi(dpiY))
{
}

Twips Twips::of(const QWidget* widget)
{
    if (widget)
        return Twips(widget->logicalDpiX(), widget->logicalDpiY());
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen)
        return Twips(96.0, 96.0);
    return Twips(screen->logicalDotsPerInchX(), screen->logicalDotsPerInchY());
}

int Twips::toPixelsX(double twips) const
{
    return clampedPixels(twips / m_perPixelX);
}

int Twips::toPixelsY(double twips) const
{
    return clampedPixels(twips / m_perPixelY);
}

QRect Twips::toPixels(double left, double top, double width, double height) const
{
    return QRect(toPixelsX(left), toPixelsY(top), toPixelsX(width), toPixelsY(height));
}

QSize Twips::toPixels(QSizeF twips) const
{
    return QSize(toPixelsX(twips.width()), toPixelsY(twips.height()));
}

QSizeF Twips::toTwips(QSize pixels) const
{
    return QSizeF(toTwipsX(pixels.width()), toTwipsY(pixels.height()));
}

QRect Twips::edgesToPixels(const TwipsRect& rect) const
{
    const int left = toPixelsX(rect.left);
    const int top = toPixelsY(rect.top);
    const int right = toPixelsX(rect.left + rect.width);
    const int bottom = toPixelsY(rect.top + rect.height);
    return QRect(left, top, std::max(right - left, 1), std::max(bottom - top, 1));
}

TwipsRect Twips::toTwips(const QRect& pixels) const
{
    return {toTwipsX(pixels.x()), toTwipsY(pixels.y()), toTwipsX(pixels.width()),
            toTwipsY(pixels.height())};
}
