#pragma once

#include <QString>
#include <QStringList>
#include <functional>

class frmadoHelper;

// Reads the suite's installation settings (setup.dic, the first employees row,
// camerachoice.ini) into the helper's settings record. loadLogo receives the
// logo picture path of setup.dic (possibly empty); the window layer loads it
// into the hidden logo window. Every step is skipped on failure, the rest run.
// Returns the messages of the progress-marker writes that failed: the steps they
// mark ran all the same.
QStringList GetSetupDICfile(frmadoHelper& helper,
                            const std::function<void(const QString& logoPath)>& loadLogo);
