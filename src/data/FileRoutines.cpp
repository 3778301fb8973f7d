#include "data/FileRoutines.h"

#include "data/Cp1252.h"
#include "data/SkippableStep.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

bool FileExists(const QString& path)
{
    if (path.isEmpty())
        return false;
    const QFileInfo info(path);
    return info.exists() && info.isFile();
}

bool isBareFileName(const QString& name)
{
    // Both separators count everywhere: the names come from a database that
    // Windows computers fill, and a colon names a drive or a file's stream there.
    static const QString kForbidden = QStringLiteral("/\\:");
    for (const QChar c : name) {
        if (kForbidden.contains(c) || c.isNull())
            return false;
    }
    return name != QLatin1String(".") && name != QLatin1String("..");
}

void WriteFile(const QString& path, const QString& Text)
{
    // Nobody is told: callers of WriteFile expect a best-effort write.
    runSkippable([&] { writeTextLine(path, Text); });
}

void writeTextLine(const QString& path, const QString& text)
{
    const QString shown = QDir::toNativeSeparators(path);
    if (path.isEmpty())
        throw FileError(QStringLiteral("Cannot write a file without a name"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        throw FileError(QStringLiteral("Cannot write %1: %2").arg(shown, file.errorString()));
    const QByteArray bytes = encodeCp1252(text) + "\r\n";
    const bool written = file.write(bytes) == bytes.size() && file.flush();
    const QString reason = file.errorString();
    file.close();
    if (!written || file.error() != QFileDevice::NoError)
        throw FileError(QStringLiteral("Cannot write %1: %2").arg(shown, reason));
}

void writeProgressWord(const Installation& installation, const QString& word)
{
    writeTextLine(installation.progressMarkerFile(), word);
}
