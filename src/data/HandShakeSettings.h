#pragma once

#include "data/Installation.h"

#include <QString>
#include <QStringList>

// Reads the fourth field of handshakesettings.ini into pictureServer. Returns
// the message of a progress-marker write that failed, if any (the file is read
// all the same). Throws FileError when the file has fewer than four fields or cannot be
// read (pictureServer then keeps its value).
QStringList GetHandShakeSettings(const Installation& installation, QString& pictureServer);
