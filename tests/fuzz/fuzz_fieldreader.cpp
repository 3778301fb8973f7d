#include "FuzzSupport.h"
#include "data/FieldReader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FieldReader reader(veskfuzz::bytes(data, size));
    size_t fields = 0;
    size_t characters = 0;
    while (const auto field = reader.next()) {
        ++fields;
        characters += size_t(field->size());
        // Every field but a last empty one after a final comma takes at least
        // one byte, so reading always ends.
        veskfuzz::check(fields <= size + 1, "each field consumes input");
        // One byte is one character, and quotes and separators are not kept.
        veskfuzz::check(characters <= size, "no field holds more than the file");
    }
    veskfuzz::check(reader.atEnd(), "the reader stops only at the end");
    return 0;
}
