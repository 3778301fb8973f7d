#include "data/ThumbnailPipeline.h"

#include "data/PictureScaling.h"
#include "data/ThumbnailDiskCache.h"

#include <QBuffer>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QPainter>
#include <QThread>
#include <QTransform>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <stdexcept>

using namespace PictureScaling;

namespace {
constexpr qint64 kDefaultCacheBytes = 256LL * 1024 * 1024;
// Decoders without reduced-size reading (PNG, BMP) stop above this. The limit
// is the decoders' own, for the whole process.
constexpr int kAllocationLimitMb = 256;
// A failed file still takes a cache entry, so that it is not read again.
constexpr qint64 kEntryOverhead = 256;
// Read first: the segments before a JPEG's picture data, where an embedded
// thumbnail lies (an EXIF segment is at most 64 KB).
constexpr qint64 kHeadBytes = 128 * 1024;

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
// What the segments before a JPEG's first scan tell.
struct JpegHead
{
    QSize stored;                   // the picture as stored; invalid when no frame header was found
    int orientation = 1;            // EXIF orientation, 1 to 8
    qsizetype thumbnailOffset = -1; // the embedded JPEG thumbnail, within the data
    qsizetype thumbnailLength = 0;
};

// Bounds-checked reads of the TIFF structure inside an EXIF segment.
class TiffReader
{
public:
    TiffReader(const uchar* data, qsizetype size) : m_data(data), m_size(size)
    {
        if (size >= 8 && data[0] == 'I' && data[1] == 'I')
            m_little = true;
        else if (size < 8 || data[0] != 'M' || data[1] != 'M')
            m_size = 0;
        if (m_size && u16(2) != 42)
            m_size = 0;
    }
    bool valid() const { return m_size > 0; }
    qsizetype size() const { return m_size; }
    // 0 for anything out of bounds: no valid offset or tag read here is 0.
    quint32 u16(qsizetype at) const
    {
        if (at < 0 || at + 2 > m_size)
            return 0;
        return m_little ? m_data[at] | m_data[at + 1] << 8 : m_data[at] << 8 | m_data[at + 1];
    }
    quint32 u32(qsizetype at) const
    {
        if (at < 0 || at + 4 > m_size)
            return 0;
        const quint32 a = u16(at), b = u16(at + 2);
        return m_little ? a | b << 16 : a << 16 | b;
    }
    // The directory at offset: its entry count, 0 when it does not fit.
    int entries(quint32 offset) const
    {
        const int count = int(u16(offset));
        return offset >= 8 && qsizetype(offset) + 2 + 12 * qsizetype(count) + 4 <= m_size ? count
                                                                                          : 0;
    }

private:
    const uchar* m_data;
    qsizetype m_size;
    bool m_little = false;
};

// The orientation (first directory) and the JPEG thumbnail (second directory).
void readExif(const uchar* segment, qsizetype length, qsizetype segmentOffset, JpegHead& head)
{
    if (length < 14 || std::memcmp(segment, "Exif\0\0", 6) != 0)
        return;
    const TiffReader tiff(segment + 6, length - 6);
    if (!tiff.valid())
        return;
    const quint32 first = tiff.u32(4);
    const int firstCount = tiff.entries(first);
    for (int i = 0; i < firstCount; ++i) {
        const qsizetype entry = first + 2 + 12 * i;
        if (tiff.u16(entry) == 0x0112 && tiff.u16(entry + 2) == 3 && tiff.u32(entry + 4) == 1) {
            const int value = int(tiff.u16(entry + 8));
            head.orientation = value >= 1 && value <= 8 ? value : 1;
        }
    }
    const quint32 second = tiff.u32(first + 2 + 12 * qsizetype(firstCount));
    const int secondCount = second != first ? tiff.entries(second) : 0;
    quint32 offset = 0, bytes = 0, compression = 6;
    for (int i = 0; i < secondCount; ++i) {
        const qsizetype entry = second + 2 + 12 * i;
        const quint32 tag = tiff.u16(entry), type = tiff.u16(entry + 2);
        if (tiff.u32(entry + 4) != 1)
            continue;
        if (tag == 0x0103 && type == 3)
            compression = tiff.u16(entry + 8);
        else if (tag == 0x0201 && type == 4)
            offset = tiff.u32(entry + 8);
        else if (tag == 0x0202 && type == 4)
            bytes = tiff.u32(entry + 8);
    }
    if (compression != 6 || offset < 8 || bytes == 0 || qsizetype(offset) + bytes > tiff.size())
        return;
    head.thumbnailOffset = segmentOffset + 6 + offset;
    head.thumbnailLength = bytes;
}

JpegHead readJpegHead(const QByteArray& data)
{
    JpegHead head;
    const auto* bytes = reinterpret_cast<const uchar*>(data.constData());
    const qsizetype size = data.size();
    if (size < 4 || bytes[0] != 0xFF || bytes[1] != 0xD8)
        return head;
    bool exifSeen = false;
    qsizetype pos = 2;
    while (pos + 4 <= size) {
        if (bytes[pos] != 0xFF)
            return head;
        const uchar marker = bytes[pos + 1];
        if (marker == 0xFF) { // fill byte
            ++pos;
            continue;
        }
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD8)) {
            pos += 2;
            continue;
        }
        if (marker == 0xD9 || marker == 0xDA)
            return head;
        const qsizetype length = bytes[pos + 2] << 8 | bytes[pos + 3];
        if (length < 2 || pos + 2 + length > size)
            return head;
        const qsizetype body = pos + 4;
        const bool frame =
            marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (frame) {
            if (length >= 8)
                head.stored = QSize(bytes[body + 3] << 8 | bytes[body + 4],
                                    bytes[body + 1] << 8 | bytes[body + 2]);
            return head;
        }
        if (marker == 0xE1 && !exifSeen && length >= 8 &&
            std::memcmp(bytes + body, "Exif\0\0", 6) == 0) {
            exifSeen = true;
            readExif(bytes + body, length - 2, body, head);
        }
        pos += 2 + length;
    }
    return head;
}

// How the decoder turns a picture of the given EXIF orientation upright.
QImageIOHandler::Transformations orientationTransform(int orientation)
{
    switch (orientation) {
    case 2:
        return QImageIOHandler::TransformationMirror;
    case 3:
        return QImageIOHandler::TransformationRotate180;
    case 4:
        return QImageIOHandler::TransformationFlip;
    case 5:
        return QImageIOHandler::TransformationFlipAndRotate90;
    case 6:
        return QImageIOHandler::TransformationRotate90;
    case 7:
        return QImageIOHandler::TransformationMirrorAndRotate90;
    case 8:
        return QImageIOHandler::TransformationRotate270;
    default:
        return QImageIOHandler::TransformationNone;
    }
}

// The decoder's order: mirror and flip, then the quarter turn clockwise.
QImage transformed(const QImage& image, QImageIOHandler::Transformations transform)
{
    QImage result = image.mirrored(transform.testFlag(QImageIOHandler::TransformationMirror),
                                   transform.testFlag(QImageIOHandler::TransformationFlip));
    if (transform.testFlag(QImageIOHandler::TransformationRotate90))
        result = result.transformed(QTransform().rotate(90));
    return result;
}

// The copy painted from the thumbnail embedded in a JPEG, when there is one as
// large as the copy and of the picture's shape; false otherwise. head is the
// start of the file.
bool paintFromEmbeddedThumbnail(QFile& file, const QByteArray& head, qint32 picSize,
                                const ThumbnailSettings& settings, Thumbnail& result)
{
    const JpegHead jpeg = readJpegHead(head);
    if (jpeg.thumbnailOffset < 0 || !jpeg.stored.isValid() || jpeg.stored.isEmpty())
        return false;
    const QImageIOHandler::Transformations transform = orientationTransform(jpeg.orientation);
    const bool turned = transform.testFlag(QImageIOHandler::TransformationRotate90);
    const QSize declared = turned ? jpeg.stored.transposed() : jpeg.stored;
    if (qint64(declared.width()) * qint64(declared.height()) > kMaxPicturePixels)
        return false;
    const double tx = settings.twipsX;
    const double ty = settings.twipsY;
    const PaintPlan plan =
        planPaint(picSize, picSize, declared.width() * tx, declared.height() * ty, tx, ty);
    const QSize painted = paintedPixels(plan, tx, ty);
    const QSize visible = visiblePixels(plan, tx, ty);
    if (painted.isEmpty() || visible.isEmpty())
        return false;

    QByteArray bytes = head.mid(jpeg.thumbnailOffset, jpeg.thumbnailLength);
    if (!bytes.startsWith("\xFF\xD8") || !jpegIsComplete(bytes))
        return false;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "jpeg");
    reader.setAutoTransform(false);
    const QSize stored = reader.size();
    const QSize shown = turned ? stored.transposed() : stored;
    if (!shown.isValid() || shown.width() < painted.width() || shown.height() < painted.height())
        return false;
    // Cameras fit a thumbnail of another shape with black bars; such one is not used.
    const qint64 skew =
        qAbs(qint64(shown.width()) * declared.height() - qint64(shown.height()) * declared.width());
    if (skew > qMax(declared.width(), declared.height()))
        return false;
    // Like a decoded file, the file must run to its end-of-image marker.
    if (!file.seek(file.size() - 2) || file.read(2) != QByteArrayLiteral("\xFF\xD9"))
        return false;
    const QImage decoded = reader.read();
    if (decoded.isNull())
        return false;
    result.loaded = true;
    result.pictureSize = declared;
    result.image =
        paintCopy(transformed(decoded, transform), painted, visible, settings.background);
    return true;
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
    // No more than the file holds: a small file costs no buffer of the full head.
    QByteArray data = file.read(std::min(kHeadBytes, fileSize));
    if (paintFromEmbeddedThumbnail(file, data, picSize, settings, result))
        return result;
    // Read whole: the decoder reads it all anyway, and a truncated JPEG shows
    // only at its end.
    if (!file.seek(data.size()))
        return result;
    data += file.readAll();
    file.close();
    if (data.startsWith("\xFF\xD8") && !jpegIsComplete(data))
        return result;

    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    // Photographs stand upright as the camera recorded it (EXIF orientation).
    reader.setAutoTransform(true);

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
    QImageReader::setAllocationLimit(kAllocationLimitMb);
    m_cache.setMaxCost(kDefaultCacheBytes);
    m_pool.setMaxThreadCount(qMax(1, QThread::idealThreadCount()));
    m_writer.setMaxThreadCount(1);
}

ThumbnailPipeline::~ThumbnailPipeline()
{
    cancelPending();
    m_pool.waitForDone();
    // Copies not yet written are made again by a later run.
    m_writer.clear();
    m_writer.waitForDone();
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

void ThumbnailPipeline::setDiskCacheFolder(const QString& folder, qint64 maxBytes)
{
    auto disk = folder.isEmpty() ? nullptr : std::make_shared<ThumbnailDiskCache>(folder, maxBytes);
    QMutexLocker lock(&m_mutex);
    m_disk = std::move(disk);
}

std::shared_ptr<ThumbnailDiskCache> ThumbnailPipeline::diskCache() const
{
    QMutexLocker lock(&m_mutex);
    return m_disk;
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
    {
        QMutexLocker lock(&m_mutex);
        while (m_workers > 0)
            m_idle.wait(&m_mutex);
    }
    m_writer.waitForDone();
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
        const QString key = cacheKey(job.path, job.request);
        const Thumbnail thumbnail =
            key.isEmpty() ? Thumbnail() : produce(job.path, job.picSize, job.settings, key);
        {
            QMutexLocker lock(&m_mutex);
            m_running.remove(job.request);
            m_finished.wakeAll();
        }
        emit thumbnailReady(job.path, job.picSize, thumbnail.image);
    }
}

Thumbnail ThumbnailPipeline::produce(const QString& path, qint32 picSize,
                                     const ThumbnailSettings& settings, const QString& key)
{
    std::shared_ptr<ThumbnailDiskCache> disk;
    {
        QMutexLocker lock(&m_mutex);
        if (const Thumbnail* hit = m_cache.object(key))
            return *hit;
        disk = m_disk;
    }
    Thumbnail thumbnail;
    const bool fromDisk = disk && disk->load(key, thumbnail);
    if (!fromDisk)
        thumbnail = renderThumbnail(path, picSize, settings);
    {
        QMutexLocker lock(&m_mutex);
        m_cache.insert(key, new Thumbnail(thumbnail), cost(thumbnail));
    }
    // A file that could not be read is tried again next run: it may only have
    // been busy or half copied.
    if (disk && !fromDisk && thumbnail.loaded)
        m_writer.start([disk, key, thumbnail] { disk->store(key, thumbnail); });
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
    const Thumbnail thumbnail = produce(path, picSize, current, key);
    QMutexLocker lock(&m_mutex);
    m_running.remove(request);
    m_finished.wakeAll();
    return thumbnail;
}
