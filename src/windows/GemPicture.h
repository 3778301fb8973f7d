#pragma once

#include <QImage>

// The message window's artwork: a cut gem on a transparent ground. Every pixel
// is either fully opaque or fully transparent.
QImage drawGemPicture(int side = 256);
