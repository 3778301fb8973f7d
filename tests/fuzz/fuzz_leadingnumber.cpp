#include "FuzzSupport.h"
#include "data/LeadingNumber.h"
#include "numeric/HalfEven.h"

#include <cmath>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString text = veskfuzz::text(data, size);
    const double value = leadingNumber(text);
    veskfuzz::check(!std::isnan(value), "a leading number is never NaN");
    // What follows a character no number holds cannot change the number.
    const double extended = leadingNumber(text + QStringLiteral("x9"));
    veskfuzz::check(value == extended || (std::isnan(value) && std::isnan(extended)),
                    "text after the number does not change it");
    if (const auto whole = toInt32HalfEven(value))
        veskfuzz::check(std::fabs(double(*whole) - value) <= 0.5, "rounding moves at most 0.5");
    return 0;
}
