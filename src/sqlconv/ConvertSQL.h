#pragma once

#include <QString>

// Rewrites a query from the desktop-database dialect into the MySQL dialect by
// an ordered list of textual replacements. Purely textual and case-sensitive:
// the rules also act inside string literals and longer words, and the order of
// the rules matters because later ones see the output of earlier ones.
QString ConvertSQL(const QString& query);
