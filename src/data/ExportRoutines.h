#pragma once

#include <QString>

// Prepares a text for one field of a comma-separated export: CR LF becomes
// " ||| ", a lone LF or CR a blank, "," becomes ";" and '"' two single quotes.
QString CleanStringForExport(const QString& InString);

// Shift every character code by +20 / -20 in Windows-1252. Throw
// std::invalid_argument, naming the character and its position, when a code
// would leave 0..255, when a character has no Windows-1252 code, or when the
// argument has leading or trailing blanks (those are trimmed off, so the text
// runs short of its own length).
QString EncryptPassword(const QString& Password);
QString DecryptPassword(const QString& Password);
