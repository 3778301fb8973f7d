#include "data/HandShakeSettings.h"

#include "data/FieldReader.h"
#include "data/FileRoutines.h"
#include "data/SkippableStep.h"

#include <QDir>

QStringList GetHandShakeSettings(const Installation& installation, QString& pictureServer)
{
    // The marker only names this step after a crash: the file is read whatever happens to it.
    QStringList markerFailures;
    runSkippable([&] { writeProgressWord(installation, QStringLiteral("handshakesettings")); },
                 &markerFailures);
    const QString path = installation.handshakeSettingsFile();
    if (!FileExists(path))
        return markerFailures;
    const QString shown = QDir::toNativeSeparators(path);
    auto reader = FieldReader::open(path);
    if (!reader)
        throw FileError(QStringLiteral("Cannot read %1").arg(shown));
    std::optional<QString> field;
    for (int i = 1; i <= 4; ++i) {
        field = reader->next();
        if (!field) {
            throw FileError(
                QStringLiteral("%1 ends after %2 of its four fields").arg(shown).arg(i - 1));
        }
    }
    pictureServer = *field;
    return markerFailures;
}
