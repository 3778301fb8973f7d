#pragma once

#include <QString>

// Prepares a text for one field of a comma-separated export.
QString CleanStringForExport(const QString& InString);
// Shifts every character code by +20 / -20 in Windows-1252.
// Throw std::invalid_argument when a code leaves 0..255, or for leading or trailing blanks.
QString EncryptPassword(const QString& Password);
QString DecryptPassword(const QString& Password);
