#pragma once

#include "data/Installation.h"

#include <QString>

// Reads the fourth field of handshakesettings.ini into pictureServer.
// Throws FileError when the progress marker cannot be written or the file has
// fewer than four fields (pictureServer then keeps its value).
void GetHandShakeSettings(const Installation& installation, QString& pictureServer);
