#pragma once

#include <QString>

// The value of the longest beginning of the text that reads as a decimal
// number: optional sign, digits with an optional decimal point, an optional
// exponent (E or e, optional sign, digits). Blanks, tabs and line feeds are
// skipped wherever they stand. 0 when the text does not begin with a number;
// an exponent too large for a double gives plus or minus infinity.
double leadingNumber(const QString& text);
