#pragma once

#include <QSizeF>
#include <optional>

// Fitting of the logo picture into its box; all sizes in twips.
namespace LogoFit {

constexpr double MaxWidth = 8000.0;
constexpr double MaxHeight = 5000.0;
constexpr double WindowMarginWidth = 1000.0;
constexpr double WindowMarginHeight = 1500.0;

// The largest size of the picture's proportion that fits the box, enlarging
// small pictures. No result for a picture without area.
std::optional<QSizeF> fitPicture(QSizeF picture);

// Outer size of the logo window around an image of the given size.
QSizeF windowSize(QSizeF image);

} // namespace LogoFit
