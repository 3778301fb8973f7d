#pragma once

#include <QRect>
#include <QSize>

class QWidget;

// A control's place in twips: left, top, width and height.
struct TwipsRect
{
    double left = 0;
    double top = 0;
    double width = 0;
    double height = 0;
};

// Converts the windows' design lengths (twips, 1/1440 inch) into pixels of the
// display a widget is on, and back.
class Twips
{
public:
    Twips(double dpiX, double dpiY);
    // Uses the widget's logical DPI (its screen's, or the primary screen's).
    static Twips of(const QWidget* widget);

    double perPixelX() const { return m_perPixelX; }
    double perPixelY() const { return m_perPixelY; }

    int toPixelsX(double twips) const;
    int toPixelsY(double twips) const;
    double toTwipsX(int pixels) const { return pixels * m_perPixelX; }
    double toTwipsY(int pixels) const { return pixels * m_perPixelY; }

    // left, top, width, height in twips
    QRect toPixels(double left, double top, double width, double height) const;
    QSize toPixels(QSizeF twips) const;
    QSizeF toTwips(QSize pixels) const;
    // Edges are rounded, not the width: controls side by side in twips stay
    // side by side in pixels. At least one pixel each way.
    QRect edgesToPixels(const TwipsRect& rect) const;
    TwipsRect toTwips(const QRect& pixels) const;

private:
    double m_perPixelX;
    double m_perPixelY;
};
