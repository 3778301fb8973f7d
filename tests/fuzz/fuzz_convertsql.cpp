#include "FuzzSupport.h"
#include "sqlconv/ConvertSQL.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString converted = ConvertSQL(veskfuzz::text(data, size));
    veskfuzz::check(!converted.contains(u'[') && !converted.contains(u']'),
                    "no square bracket survives the translation");
    veskfuzz::check(!converted.contains(u"  ") || converted.contains(u"%  %"),
                    "blank runs are collapsed unless the text holds \"%  %\"");
    return 0;
}
