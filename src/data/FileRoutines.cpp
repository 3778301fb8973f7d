#include "data/FileRoutines.h"

bool FileExists(const QString&) { return false; }
void WriteFile(const QString&, const QString&) {}
void writeTextLine(const QString&, const QString&) {}
void writeProgressWord(const Installation&, const QString&) {}
