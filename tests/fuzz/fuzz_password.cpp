#include "FuzzSupport.h"
#include "data/ExportRoutines.h"

#include <stdexcept>

namespace {
// Scrambling there and back gives the text again, unless the scrambled form
// begins or ends with a blank: a code 12 encrypts to one, a "4" decrypts to one.
void roundTrip(QString (*there)(const QString&), QString (*back)(const QString&),
               const QString& text)
{
    QString shifted;
    try {
        shifted = there(text);
    } catch (const std::invalid_argument&) {
        return;
    }
    veskfuzz::check(shifted.size() == text.size(), "scrambling keeps the length");
    if (shifted.startsWith(u' ') || shifted.endsWith(u' '))
        return;
    try {
        veskfuzz::check(back(shifted) == text, "shifting back gives the text again");
    } catch (const std::invalid_argument&) {
        veskfuzz::check(false, "a scrambled text can be shifted back");
    }
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString text = veskfuzz::text(data, size);
    roundTrip(EncryptPassword, DecryptPassword, text);
    roundTrip(DecryptPassword, EncryptPassword, text);
    return 0;
}
