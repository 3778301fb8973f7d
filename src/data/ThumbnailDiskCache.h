#pragma once

#include "data/ThumbnailPipeline.h"

#include <QMutex>
#include <QString>

#include <atomic>

// Painted picture copies kept on disk between runs, one file per copy, so the
// first listing after a start reads small files instead of decoding the
// originals. An entry is found by its key, which holds everything the copy
// depends on (the file's path, size and times, the paint settings): a changed
// file gives a new key and its old entry is never read again, only aged out.
//
// Entries are written whole or not at all (a save file renamed into place); an
// entry that is damaged, truncated or holds another key counts as missing.
// The folder is kept under its bound by removing the entries unused longest.
// Safe to use from several threads at once; every failure to read or write
// just means no entry.
class ThumbnailDiskCache
{
public:
    explicit ThumbnailDiskCache(QString folder, qint64 maxBytes = kThumbnailDiskCacheBytes);

    // The program's folder: "thumbnails" in the platform's cache folder, or in
    // the installation folder where that cannot be written. Empty when neither can.
    static QString defaultFolder(const QString& installationDir);

    QString folder() const { return m_folder; }

    // True with the copy when a sound entry for key exists.
    bool load(const QString& key, Thumbnail& thumbnail);
    void store(const QString& key, const Thumbnail& thumbnail);

    // Entries read since construction.
    int hits() const { return m_hits.load(); }

private:
    QString entryPath(const QString& key) const;
    void trim();

    const QString m_folder;
    const qint64 m_maxBytes;
    QMutex m_mutex;      // guards m_bytes and trimming
    qint64 m_bytes = -1; // the folder's size as last counted; -1 until counted
    std::atomic<int> m_hits{0};
};
