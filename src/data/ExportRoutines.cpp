#include "data/ExportRoutines.h"

QString CleanStringForExport(const QString& s) { return s; }
QString EncryptPassword(const QString& s) { return s; }
QString DecryptPassword(const QString& s) { return s; }
