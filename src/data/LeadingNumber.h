#pragma once

#include <QString>
#include <QtGlobal>
#include <optional>

// The value of the longest beginning of the text that reads as a decimal
// number: optional sign, digits with an optional decimal point, an optional
// exponent (E or e, optional sign, digits). Blanks, tabs and line feeds are
// skipped wherever they stand. 0 when the text does not begin with a number;
// an exponent too large for a double gives plus or minus infinity.
double leadingNumber(const QString& text);

// Rounds to the nearest whole number, halves to even; nullopt when the value is
// not finite or the rounded value leaves the signed 32-bit range.
std::optional<qint32> toInt32HalfEven(double value);
