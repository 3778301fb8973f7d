#include "data/ThumbnailPipeline.h"

#include "data/PictureScaling.h"

#include <QBuffer>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QPainter>
#include <QThread>

#include <cmath>
#include <cstring>
#include <stdexcept>

using namespace PictureScaling;

namespace {
constexpr qint64 kDefaultCacheBytes = 256LL * 1024 * 1024;
// Decoders without reduced-size reading (PNG, BMP) stop above this.
constexpr int kAllocationLimitMb = 256;
// A failed file still takes a cache entry, so that it is not read again.
constexpr qint64 kEntryOverhead = 256;

QString requestKey(const QString& path, qint32 picSize, const ThumbnailSettings& settings)
{
    return QStringLiteral("%1|%2|%3|%4|%5")
        .arg(picSize)
        .arg(settings.twipsX, 0, 'g', 17)
        .arg(settings.twipsY, 0, 'g', 17)
        .arg(settings.background.rgba())
        .arg(path);
}

// Empty when the path is no regular file: such paths are never cached.
QString cacheKey(const QString& path, const QString& request)
{
    const QFileInfo info(path);
    if (!info.isFile())
        return QString();
    return QStringLiteral("%1|%2|%3|%4")
        .arg(info.size())
        .arg(info.fileTime(QFileDevice::FileModificationTime).toMSecsSinceEpoch())
        .arg(info.fileTime(QFileDevice::FileMetadataChangeTime).toMSecsSinceEpoch())
        .arg(request);
}

qint64 cost(const Thumbnail& thumbnail)
{
    return thumbnail.image.sizeInBytes() + kEntryOverhead;
}

QImage paintCopy(const QImage& decoded, QSize painted, QSize visible, const QColor& background)
{
    QImage source = decoded;
    if (visible != painted) {
        // Only the part of the copy that lies on the canvas is ever seen.
        const int width = static_cast<int>(
            std::ceil(double(decoded.width()) * visible.width() / painted.width()));
        const int height = static_cast<int>(
            std::ceil(double(decoded.height()) * visible.height() / painted.height()));
        source = decoded.copy(0, 0, qMax(1, width), qMax(1, height));
    }
    const QImage scaled = source.scaled(visible, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    if (!scaled.hasAlphaChannel())
        return scaled.convertToFormat(QImage::Format_RGB32);
    QImage canvas(visible, QImage::Format_RGB32);
    canvas.fill(background);
    QPainter painter(&canvas);
    painter.drawImage(0, 0, scaled);
    painter.end();
    return canvas;
}
} // namespace

bool jpegIsComplete(const QByteArray& data)
{
    const auto* bytes = reinterpret_cast<const uchar*>(data.constData());
    const qsizetype size = data.size();
    auto nextFF = [&](qsizetype from) -> qsizetype {
        if (from >= size)
            return -1;
        const void* found = std::memchr(bytes + from, 0xFF, static_cast<size_t>(size - from));
        return found ? static_cast<const uchar*>(found) - bytes : -1;
    };

    qsizetype pos = 2; // after the start-of-image marker
    for (;;) {
        pos = nextFF(pos);
        if (pos < 0)
            return false;
        while (pos < size && bytes[pos] == 0xFF)
            ++pos;
        if (pos >= size)
            return false;
        const uchar marker = bytes[pos++];
        if (marker == 0xD9)
            return true;
        if (marker == 0x00 || marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7))
            continue;
        if (pos + 2 > size)
            return false;
        const int length = (bytes[pos] << 8) | bytes[pos + 1];
        if (length < 2)
            return false;
        pos += length;
        if (pos > size)
            return false;
        if (marker != 0xDA)
            continue;
        // Entropy-coded data: 0xFF is followed by a stuffed 0x00 or a restart
        // marker; anything else starts the next segment.
        for (;;) {
            pos = nextFF(pos);
            if (pos < 0 || pos + 1 >= size)
                return false;
            const uchar next = bytes[pos + 1];
            if (next == 0x00 || (next >= 0xD0 && next <= 0xD7)) {
                pos += 2;
                continue;
            }
            break;
        }
    }
}

Thumbnail renderThumbnail(const QString& path, qint32 picSize, const ThumbnailSettings& settings)
{
    Thumbnail result;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return result;
    const qint64 fileSize = file.size();
    if (fileSize <= 0 || fileSize > kMaxPictureFileBytes)
        return result;
    // Read whole: the decoder reads it all anyway, and a truncated JPEG shows
    // only at its end.
    QByteArray data = file.readAll();
    file.close();
    if (data.startsWith("\xFF\xD8") && !jpegIsComplete(data))
        return result;

    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    // Photographs stand upright as the camera recorded it (EXIF orientation).
    reader.setAutoTransform(true);
    reader.setAllocationLimit(kAllocationLimitMb);

    const double tx = settings.twipsX;
    const double ty = settings.twipsY;
    // The decoder reduces the picture as stored and turns it afterwards; a
    // quarter turn swaps the sides of the picture as shown.
    const QSize stored = reader.size();
    const bool turned = reader.transformation().testFlag(QImageIOHandler::TransformationRotate90);
    const QSize declared = turned ? stored.transposed() : stored;
    if (declared.isValid()) {
        if (declared.isEmpty() ||
            qint64(declared.width()) * qint64(declared.height()) > kMaxPicturePixels)
            return result;
        const PaintPlan plan =
            planPaint(picSize, picSize, declared.width() * tx, declared.height() * ty, tx, ty);
        const QSize painted = paintedPixels(plan, tx, ty);
        if (!painted.isEmpty() && reader.supportsOption(QImageIOHandler::ScaledSize))
            reader.setScaledSize(decodeSize(stored, turned ? painted.transposed() : painted));
    }
    const QImage decoded = reader.read();
    if (decoded.isNull())
        return result;

    result.loaded = true;
    result.pictureSize = declared.isValid() ? declared : decoded.size();
    const PaintPlan plan = planPaint(picSize, picSize, result.pictureSize.width() * tx,
                                     result.pictureSize.height() * ty, tx, ty);
    const QSize painted = paintedPixels(plan, tx, ty);
    const QSize visible = visiblePixels(plan, tx, ty);
    if (!visible.isEmpty())
        result.image = paintCopy(decoded, painted, visible, settings.background);
    return result;
}

ThumbnailPipeline::ThumbnailPipeline(QObject* parent) : QObject(parent)
{
    m_cache.setMaxCost(kDefaultCacheBytes);
    m_pool.setMaxThreadCount(qMax(1, QThread::idealThreadCount()));
}

ThumbnailPipeline::~ThumbnailPipeline()
{
    cancelPending();
    m_pool.waitForDone();
}

void ThumbnailPipeline::setTwipsPerPixel(double twipsX, double twipsY)
{
    if (!std::isfinite(twipsX) || !std::isfinite(twipsY) || twipsX <= 0 || twipsY <= 0)
        throw std::invalid_argument("twips per pixel must be positive");
    QMutexLocker lock(&m_mutex);
    m_settings.twipsX = twipsX;
    m_settings.twipsY = twipsY;
}

void ThumbnailPipeline::setBackground(const QColor& color)
{
    QMutexLocker lock(&m_mutex);
    m_settings.background = color;
}

ThumbnailSettings ThumbnailPipeline::settings() const
{
    QMutexLocker lock(&m_mutex);
    return m_settings;
}

void ThumbnailPipeline::setCacheLimit(qint64 bytes)
{
    QMutexLocker lock(&m_mutex);
    m_cache.setMaxCost(qMax<qint64>(0, bytes));
}

void ThumbnailPipeline::setMaxThreads(int threads)
{
    m_pool.setMaxThreadCount(qMax(1, threads));
}

ThumbnailPipeline::Job ThumbnailPipeline::makeJob(const QString& path, qint32 picSize,
                                                  const ThumbnailSettings& settings)
{
    Job job;
    job.path = path;
    job.picSize = picSize;
    job.settings = settings;
    job.request = requestKey(path, picSize, settings);
    job.id = m_nextId++;
    return job;
}

void ThumbnailPipeline::prefetch(const QStringList& paths, qint32 picSize)
{
    QMutexLocker lock(&m_mutex);
    for (const QString& path : paths) {
        Job job = makeJob(path, picSize, m_settings);
        if (m_pending.contains(job.request) || m_running.contains(job.request))
            continue;
        m_pending.insert(job.request, job.id);
        m_queue.push_back(std::move(job));
    }
    startWorkers();
}

void ThumbnailPipeline::prioritize(const QStringList& paths, qint32 picSize)
{
    QMutexLocker lock(&m_mutex);
    for (auto it = paths.crbegin(); it != paths.crend(); ++it) {
        Job job = makeJob(*it, picSize, m_settings);
        if (m_running.contains(job.request))
            continue;
        // The older queue entry goes stale: takeJob skips it.
        m_pending.insert(job.request, job.id);
        m_queue.push_front(std::move(job));
    }
    startWorkers();
}

void ThumbnailPipeline::cancel(const QStringList& paths, qint32 picSize)
{
    QMutexLocker lock(&m_mutex);
    for (const QString& path : paths)
        m_pending.remove(requestKey(path, picSize, m_settings));
}

void ThumbnailPipeline::cancelPending()
{
    QMutexLocker lock(&m_mutex);
    m_pending.clear();
    m_queue.clear();
}

void ThumbnailPipeline::setPaused(bool paused)
{
    QMutexLocker lock(&m_mutex);
    m_paused = paused;
    startWorkers();
}

void ThumbnailPipeline::waitForIdle()
{
    QMutexLocker lock(&m_mutex);
    while (m_workers > 0)
        m_idle.wait(&m_mutex);
}

int ThumbnailPipeline::pendingCount() const
{
    QMutexLocker lock(&m_mutex);
    return m_pending.size();
}

int ThumbnailPipeline::cachedCount() const
{
    QMutexLocker lock(&m_mutex);
    return m_cache.size();
}

void ThumbnailPipeline::clearCache()
{
    QMutexLocker lock(&m_mutex);
    m_cache.clear();
}

bool ThumbnailPipeline::isCached(const QString& path, qint32 picSize) const
{
    const ThumbnailSettings current = settings();
    const QString key = cacheKey(path, requestKey(path, picSize, current));
    if (key.isEmpty())
        return false;
    QMutexLocker lock(&m_mutex);
    return m_cache.contains(key);
}

bool ThumbnailPipeline::takeJob(Job& job)
{
    while (!m_paused && !m_queue.empty()) {
        Job front = std::move(m_queue.front());
        m_queue.pop_front();
        const auto it = m_pending.constFind(front.request);
        if (it == m_pending.constEnd() || it.value() != front.id)
            continue;
        m_pending.erase(it);
        job = std::move(front);
        return true;
    }
    return false;
}

// Caller holds m_mutex.
void ThumbnailPipeline::startWorkers()
{
    while (!m_paused && m_workers < m_pool.maxThreadCount() && m_workers < m_pending.size()) {
        ++m_workers;
        m_pool.start([this] { runWorker(); });
    }
}

void ThumbnailPipeline::runWorker()
{
    for (;;) {
        Job job;
        {
            QMutexLocker lock(&m_mutex);
            if (!takeJob(job)) {
                --m_workers;
                m_idle.wakeAll();
                return;
            }
            m_running.insert(job.request);
        }
        const Thumbnail thumbnail = produce(job.path, job.picSize, job.settings, job.request);
        {
            QMutexLocker lock(&m_mutex);
            m_running.remove(job.request);
            m_finished.wakeAll();
        }
        emit thumbnailReady(job.path, job.picSize, thumbnail.image);
    }
}

Thumbnail ThumbnailPipeline::produce(const QString& path, qint32 picSize,
                                     const ThumbnailSettings& settings, const QString& request)
{
    const QString key = cacheKey(path, request);
    if (key.isEmpty())
        return Thumbnail();
    {
        QMutexLocker lock(&m_mutex);
        if (const Thumbnail* hit = m_cache.object(key))
            return *hit;
    }
    const Thumbnail thumbnail = renderThumbnail(path, picSize, settings);
    QMutexLocker lock(&m_mutex);
    m_cache.insert(key, new Thumbnail(thumbnail), cost(thumbnail));
    return thumbnail;
}

Thumbnail ThumbnailPipeline::thumbnail(const QString& path, qint32 picSize)
{
    const ThumbnailSettings current = settings();
    const QString request = requestKey(path, picSize, current);
    const QString key = cacheKey(path, request);
    if (key.isEmpty())
        return Thumbnail();
    {
        QMutexLocker lock(&m_mutex);
        for (;;) {
            if (const Thumbnail* hit = m_cache.object(key))
                return *hit;
            if (!m_running.contains(request))
                break;
            m_finished.wait(&m_mutex);
        }
        // Not started yet: do it here rather than wait for its turn.
        m_pending.remove(request);
        m_running.insert(request);
    }
    const Thumbnail thumbnail = renderThumbnail(path, picSize, current);
    QMutexLocker lock(&m_mutex);
    m_cache.insert(key, new Thumbnail(thumbnail), cost(thumbnail));
    m_running.remove(request);
    m_finished.wakeAll();
    return thumbnail;
}
