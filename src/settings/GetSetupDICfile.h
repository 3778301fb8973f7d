#pragma once

#include <QString>
#include <functional>

class frmadoHelper;

// Reads the suite's installation settings (setup.dic, the first employees row,
// camerachoice.ini) into the helper's settings record. loadLogo receives the
// logo picture path of setup.dic (possibly empty); the window layer loads it
// into the hidden logo window. Throws FileError only when the first progress
// word cannot be written; every later step is skipped on failure.
void GetSetupDICfile(frmadoHelper& helper,
                     const std::function<void(const QString& logoPath)>& loadLogo);
