#pragma once

#include "data/Installation.h"

#include <QString>
#include <optional>

// Reads the fourth field of handshakesettings.ini into pictureServer. Returns
// the message of a progress-marker write that failed (the file is read all the
// same). Throws FileError when the file has fewer than four fields or cannot be
// read (pictureServer then keeps its value).
std::optional<QString> GetHandShakeSettings(const Installation& installation,
                                            QString& pictureServer);
