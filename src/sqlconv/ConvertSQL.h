#pragma once

#include <QString>

// Rewrites a query from the desktop-database dialect into the MySQL dialect by
// an ordered list of textual replacements.
QString ConvertSQL(const QString& query);
