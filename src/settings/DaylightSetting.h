#pragma once

#include "data/Installation.h"

// The remembered state of the daylight-saving box (veskdaylightsavings.ini).

// True only when the file exists and its first field is exactly "true".
bool readDaylightSetting(const Installation& installation);
// Writes exactly "true" or "false" and CR LF. Throws FileError naming the file.
void writeDaylightSetting(const Installation& installation, bool ticked);
