#include "settings/DaylightSetting.h"

#include "data/FieldReader.h"
#include "data/FileRoutines.h"

bool readDaylightSetting(const Installation& installation)
{
    const QString path = installation.daylightSavingsFile();
    if (!FileExists(path))
        return false;
    return readFirstField(path) == QStringLiteral("true");
}

void writeDaylightSetting(const Installation& installation, bool ticked)
{
    writeTextLine(installation.daylightSavingsFile(),
                  ticked ? QStringLiteral("true") : QStringLiteral("false"));
}
