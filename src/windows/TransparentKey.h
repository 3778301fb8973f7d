#pragma once

#include <QColor>
#include <QRegion>

class QImage;
class QWidget;

// Platform layer for a window whose pixels of one key colour are left out:
// not drawn, and clicks there reach whatever lies behind the window.
namespace TransparentKey {

// Applies the key to a top-level window. Call again whenever the window's
// content or size changes (where the platform needs a mask, it is rebuilt).
void apply(QWidget* window, const QColor& key);

// The pixels of the picture that differ from the key.
QRegion opaqueRegion(const QImage& picture, const QColor& key);

} // namespace TransparentKey
