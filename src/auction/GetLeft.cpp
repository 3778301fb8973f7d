#include "auction/GetLeft.h"

double GetLeft(double currentLeft, double oldWidth, double newWidth)
{
    const double left = currentLeft - (newWidth - oldWidth) / 2.0;
    return left < 0.0 ? 0.0 : left;
}
