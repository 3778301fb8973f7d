#pragma once

#include <QtGlobal>
#include <cmath>
#include <limits>
#include <optional>

// The suite rounds every number to the nearest whole one, halves to the even
// neighbour: 2.5 gives 2, 3.5 gives 4, -2.5 gives -2. Written with floor so the
// result does not depend on the machine's rounding mode.
inline double roundHalfEven(double value)
{
    double whole = std::floor(value);
    const double fraction = value - whole;
    if (fraction > 0.5 || (fraction == 0.5 && std::fmod(whole, 2.0) != 0))
        whole += 1;
    return whole;
}

// The rounded value as Int; nullopt when the value is not finite or the
// rounded value leaves Int's range.
template <typename Int> std::optional<Int> toIntHalfEven(double value)
{
    static_assert(std::numeric_limits<Int>::is_signed, "signed whole numbers only");
    if (!std::isfinite(value))
        return std::nullopt;
    const double rounded = roundHalfEven(value);
    // 2^digits is exact in a double, where Int's maximum may not be.
    const double limit = std::ldexp(1.0, std::numeric_limits<Int>::digits);
    if (rounded < -limit || rounded >= limit)
        return std::nullopt;
    return static_cast<Int>(rounded);
}

inline std::optional<qint32> toInt32HalfEven(double value)
{
    return toIntHalfEven<qint32>(value);
}
