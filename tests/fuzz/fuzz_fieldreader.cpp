#include "FuzzSupport.h"
#include "data/FieldReader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FieldReader reader(veskfuzz::bytes(data, size));
    size_t fields = 0;
    while (const auto field = reader.next()) {
        ++fields;
        // Every field takes at least one byte, so reading always ends.
        veskfuzz::check(fields <= size, "each field consumes input");
        veskfuzz::check(!field->contains(u'\r') && !field->contains(u'\n'),
                        "no field runs past its line");
    }
    veskfuzz::check(reader.atEnd(), "the reader stops only at the end");
    return 0;
}
