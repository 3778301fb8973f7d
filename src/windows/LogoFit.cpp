#include "windows/LogoFit.h"

namespace LogoFit {

std::optional<QSizeF> fitPicture(QSizeF picture)
{
    const double width = picture.width();
    const double height = picture.height();
    if (!(width > 0) || !(height > 0))
        return std::nullopt;
    // The proportion is kept in single precision: it decides which side fits,
    // and a picture exactly at the limit must fall on the same side every time.
    const float proportion = static_cast<float>(width / height);
    if (MaxWidth / MaxHeight < proportion)
        return QSizeF(MaxWidth, height / (width / MaxWidth));
    return QSizeF(width / (height / MaxHeight), MaxHeight);
}

QSizeF windowSize(QSizeF image)
{
    return QSizeF(image.width() + WindowMarginWidth, image.height() + WindowMarginHeight);
}

} // namespace LogoFit
