#pragma once

#include <QCache>
#include <QColor>
#include <QHash>
#include <QImage>
#include <QMutex>
#include <QObject>
#include <QSet>
#include <QSize>
#include <QString>
#include <QStringList>
#include <QThreadPool>
#include <QWaitCondition>

#include <deque>
#include <memory>

class ThumbnailDiskCache;

// One picture file as the item pictures show it.
struct Thumbnail
{
    bool loaded = false; // the file was read as a picture
    QSize pictureSize;   // the picture's own size in pixels; invalid when not loaded
    QImage image;        // the painted copy, opaque RGB32; null when nothing was painted
};

// How a copy is painted: the display's twips per pixel and the colour behind
// transparent parts (the window background).
struct ThumbnailSettings
{
    double twipsX = 15;
    double twipsY = 15;
    QColor background = QColor(240, 240, 240);
};

// Files declaring more pixels than this are not decoded (a 20000 x 20000 header
// would otherwise cost seconds and hundreds of megabytes).
constexpr qint64 kMaxPicturePixels = 200'000'000;
constexpr qint64 kMaxPictureFileBytes = 256LL * 1024 * 1024;
// The disk cache's bound: some 3,800 copies of a listing's cell.
constexpr qint64 kThumbnailDiskCacheBytes = 64LL * 1024 * 1024;

// Reads one picture file and paints its copy scaled into a box of picSize x picSize
// twips. A missing, unreadable, truncated or oversized file gives loaded == false
// and a null image; nothing here throws for a bad file. Safe on any thread.
Thumbnail renderThumbnail(const QString& path, qint32 picSize, const ThumbnailSettings& settings);

// True when a JPEG byte stream runs to its end-of-image marker. The decoder
// silently paints the missing part of a truncated file grey; such a file counts
// as unreadable.
bool jpegIsComplete(const QByteArray& data);

// Decodes item pictures in parallel and keeps their copies in memory, keyed by
// the file's path, modification time and size and by the painting settings, so
// listing the same rows again costs a lookup and a changed file is read anew.
// With a disk cache, copies also outlive the run: a copy missing in memory is
// looked for there before the file is decoded, and new copies are written to it
// in the background.
// Call it from one thread (the UI thread); decoding runs on a pool of its own.
class ThumbnailPipeline : public QObject
{
    Q_OBJECT
public:
    explicit ThumbnailPipeline(QObject* parent = nullptr);
    ~ThumbnailPipeline() override;
    ThumbnailPipeline(const ThumbnailPipeline&) = delete;
    ThumbnailPipeline& operator=(const ThumbnailPipeline&) = delete;

    // Both must be finite and positive; throws std::invalid_argument otherwise.
    void setTwipsPerPixel(double twipsX, double twipsY);
    void setBackground(const QColor& color);
    ThumbnailSettings settings() const;

    // Memory the cached copies may take (bytes); least recently used go first.
    void setCacheLimit(qint64 bytes);
    void setMaxThreads(int threads);
    // Keeps copies in folder as well (see ThumbnailDiskCache); an empty folder
    // turns that off. Set it before the first listing.
    void setDiskCacheFolder(const QString& folder, qint64 maxBytes = kThumbnailDiskCacheBytes);
    std::shared_ptr<ThumbnailDiskCache> diskCache() const;

    // Queues the files behind those already waiting, first one first.
    void prefetch(const QStringList& paths, qint32 picSize);
    // Moves the files (queued or not) to the head of the queue, in the given order:
    // for the rows that have just become visible.
    void prioritize(const QStringList& paths, qint32 picSize);
    // Drops files that have not started yet.
    void cancel(const QStringList& paths, qint32 picSize);
    void cancelPending();
    // While paused, queued files wait (the running ones finish); thumbnail() still
    // works. Lets a caller queue a whole listing and order it before work starts.
    void setPaused(bool paused);
    // Blocks until no worker runs (the queue is done, cancelled or paused) and
    // the copies made so far are on disk.
    void waitForIdle();

    // The copy of one file: from the cache, from the worker decoding it, or decoded
    // here if it has not started yet. Blocks only for this file.
    Thumbnail thumbnail(const QString& path, qint32 picSize);
    bool isCached(const QString& path, qint32 picSize) const;
    int pendingCount() const;
    int cachedCount() const;
    void clearCache();

signals:
    // A queued file is done; image is null when nothing could be painted.
    // Emitted on a worker thread: connect with a queued or automatic connection.
    void thumbnailReady(const QString& path, qint32 picSize, const QImage& image);

private:
    struct Job
    {
        QString path;
        qint32 picSize = 0;
        ThumbnailSettings settings;
        QString request;
        quint64 id = 0;
    };

    Job makeJob(const QString& path, qint32 picSize, const ThumbnailSettings& settings);
    bool takeJob(Job& job);
    void startWorkers();
    void runWorker();
    // The copy from memory, disk or the file; one read from the file is kept in
    // memory and handed to the disk cache.
    Thumbnail produce(const QString& path, qint32 picSize, const ThumbnailSettings& settings,
                      const QString& key);

    mutable QMutex m_mutex;
    QWaitCondition m_finished; // a running file is done
    QWaitCondition m_idle;     // a worker has stopped
    ThumbnailSettings m_settings;
    QCache<QString, Thumbnail> m_cache;
    std::deque<Job> m_queue;           // may hold stale entries: see m_pending
    QHash<QString, quint64> m_pending; // request -> id of its live queue entry
    QSet<QString> m_running;
    quint64 m_nextId = 1;
    int m_workers = 0;
    bool m_paused = false;
    std::shared_ptr<ThumbnailDiskCache> m_disk;
    QThreadPool m_pool;
    QThreadPool m_writer; // one thread: disk writes never hold up decoding
};
