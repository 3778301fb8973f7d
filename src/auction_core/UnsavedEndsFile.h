#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QVector>
#include <QtGlobal>

#include <memory>
#include <optional>
#include <vector>

class QLockFile;

// The clerk's unsaved ends, kept in a small file of the installation folder so
// that a crash or a power cut does not take them along. Each running program
// owns its file through a lock file beside it; a file whose lock is gone or
// stale (its program ended without removing it) is offered at the next start.
//
// The text, UTF-8 with LF line ends, fields separated by tabs:
//   veskauction-unsaved-ends 1 <tab> written (UTC, ISO 8601) <tab> store
//   item <tab> listed stamp (empty: NULL) <tab> unsaved stamp <tab> wall time <tab> store
//   ... one line per end ...
//   end <tab> number of ends
// Stores are percent-encoded, `\N` for NULL; the last line tells a cut-off file.
class UnsavedEndsFile
{
public:
    struct End
    {
        qint64 itemId = 0;
        // The end the listing read: the save writes only while the database
        // still holds it.
        std::optional<qint64> listedStamp;
        qint32 stamp = 0;
        QDateTime wall; // the store's wall time the clerk picked, in UTC
        std::optional<QString> listedStore;

        bool operator==(const End& other) const
        {
            return itemId == other.itemId && listedStamp == other.listedStamp &&
                   stamp == other.stamp && wall == other.wall && listedStore == other.listedStore;
        }
    };
    struct Contents
    {
        QDateTime written; // UTC
        QString store;
        QVector<End> ends;
    };

    ~UnsavedEndsFile();
    UnsavedEndsFile(const UnsavedEndsFile&) = delete;
    UnsavedEndsFile& operator=(const UnsavedEndsFile&) = delete;

    // A new file name in `dir`, locked for this program (nothing written yet).
    // Null when the lock cannot be made; `error` tells why.
    static std::unique_ptr<UnsavedEndsFile> create(const QString& dir, QString* error);
    // The files in `dir` whose program is gone, oldest first, each now locked
    // for this program. Lock files left without their file are cleared away.
    static std::vector<std::unique_ptr<UnsavedEndsFile>> takeOrphans(const QString& dir);

    static QByteArray format(const Contents& contents);
    // The contents of a file's text; nullopt with `error` set when it is none.
    static std::optional<Contents> parse(const QByteArray& text, QString* error);

    QString filePath() const { return m_path; }
    // Writes a temporary file, waits until it is on the disk and puts it in
    // place. Empty on success, else what failed.
    QString write(const Contents& contents) const;
    // Empty `error` on success.
    std::optional<Contents> read(QString* error) const;
    // Removes the file (the lock stays until this object goes). Empty on success.
    QString remove() const;
    // Renames the file with a .damaged suffix; the new name, or empty.
    QString setAside() const;

private:
    UnsavedEndsFile(QString path, std::unique_ptr<QLockFile> lock);

    QString m_path;
    std::unique_ptr<QLockFile> m_lock;
};
