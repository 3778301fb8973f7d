#pragma once

#include "data/DataError.h"
#include "data/Installation.h"

#include <QString>

// A file of the installation that cannot be read or written; the message names it.
class FileError : public VeskError
{
public:
    using VeskError::VeskError;
};

// True for an existing file (not a folder); false when there is none or it cannot be seen.
bool FileExists(const QString& path);
// True for a name that stays inside the folder it is appended to: no folder
// part, no parent folder, no drive and no server prefix, on any system.
bool isBareFileName(const QString& name);
// Creates or truncates the file and writes the text and CR LF (Windows-1252).
// Failures are ignored.
void WriteFile(const QString& path, const QString& Text);
// Whole-file output that reports failure: the text followed by CR LF, Windows-1252.
// Throws FileError naming the file.
void writeTextLine(const QString& path, const QString& text);
// Overwrites vesk_error.ini with one word and CR LF. Throws FileError.
void writeProgressWord(const Installation& installation, const QString& word);
