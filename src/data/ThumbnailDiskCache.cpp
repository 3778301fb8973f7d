#include "data/ThumbnailDiskCache.h"

#include <QCryptographicHash>
#include <QDataStream>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

namespace {
constexpr quint32 kMagic = 0x56544843; // "VTHC"
constexpr quint32 kVersion = 1;
constexpr int kMaxSide = 4096;
constexpr qint64 kMaxEntryBytes = 16LL * 1024 * 1024;
constexpr QCryptographicHash::Algorithm kCheck = QCryptographicHash::Sha1;
const QString kSuffix = QStringLiteral(".thumb");
// Reading an entry marks it used, at most this often, so hits rarely write.
constexpr qint64 kTouchSecs = 3600;

bool usableFolder(const QString& path)
{
    return !path.isEmpty() && QDir().mkpath(path) && QFileInfo(path).isWritable();
}
} // namespace

ThumbnailDiskCache::ThumbnailDiskCache(QString folder, qint64 maxBytes)
    : m_folder(std::move(folder)), m_maxBytes(qMax<qint64>(0, maxBytes))
{
}

QString ThumbnailDiskCache::defaultFolder(const QString& installationDir)
{
    const QString platform = QStandardPaths::writableLocation(QStandardPaths::CacheLocation);
    if (!platform.isEmpty()) {
        const QString folder = QDir(platform).filePath(QStringLiteral("thumbnails"));
        if (usableFolder(folder))
            return folder;
    }
    const QString local = QDir(installationDir).filePath(QStringLiteral("thumbnails"));
    return usableFolder(local) ? local : QString();
}

QString ThumbnailDiskCache::entryPath(const QString& key) const
{
    const QByteArray name = QCryptographicHash::hash(key.toUtf8(), kCheck).toHex();
    return m_folder + QLatin1Char('/') + QString::fromLatin1(name) + kSuffix;
}

bool ThumbnailDiskCache::load(const QString& key, Thumbnail& thumbnail)
{
    QFile file(entryPath(key));
    if (!file.open(QIODevice::ReadOnly) || file.size() > kMaxEntryBytes)
        return false;
    const QByteArray bytes = file.readAll();
    const int checkSize = QCryptographicHash::hashLength(kCheck);
    if (bytes.size() <= checkSize)
        return false;
    const QByteArray body = bytes.left(bytes.size() - checkSize);
    if (QCryptographicHash::hash(body, kCheck) != bytes.right(checkSize))
        return false;

    QDataStream in(body);
    quint32 magic = 0, version = 0;
    QByteArray storedKey;
    quint8 loaded = 0;
    qint32 pictureWidth = 0, pictureHeight = 0, width = 0, height = 0;
    in >> magic >> version >> storedKey >> loaded >> pictureWidth >> pictureHeight >> width >>
        height;
    if (in.status() != QDataStream::Ok || magic != kMagic || version != kVersion ||
        storedKey != key.toUtf8() || width < 0 || height < 0 || width > kMaxSide ||
        height > kMaxSide)
        return false;
    const qint64 pixelBytes = qint64(width) * height * 3;
    if (in.device()->bytesAvailable() != pixelBytes)
        return false;
    Thumbnail result;
    result.loaded = loaded != 0;
    result.pictureSize = result.loaded ? QSize(pictureWidth, pictureHeight) : QSize();
    if (width > 0 && height > 0) {
        QImage image(width, height, QImage::Format_RGB888);
        if (image.isNull())
            return false;
        for (int y = 0; y < height; ++y)
            in.readRawData(reinterpret_cast<char*>(image.scanLine(y)), width * 3);
        result.image = image.convertToFormat(QImage::Format_RGB32);
    }
    // A failure leaves the entry's age as it was: it is only evicted sooner.
    const QDateTime now = QDateTime::currentDateTimeUtc();
    if (file.fileTime(QFileDevice::FileModificationTime).secsTo(now) > kTouchSecs)
        file.setFileTime(now, QFileDevice::FileModificationTime);
    thumbnail = result;
    ++m_hits;
    return true;
}

void ThumbnailDiskCache::store(const QString& key, const Thumbnail& thumbnail)
{
    const QImage image = thumbnail.image.isNull()
                             ? QImage()
                             : thumbnail.image.convertToFormat(QImage::Format_RGB888);
    if (image.width() > kMaxSide || image.height() > kMaxSide)
        return;
    QByteArray body;
    {
        QDataStream out(&body, QIODevice::WriteOnly);
        out << kMagic << kVersion << key.toUtf8() << quint8(thumbnail.loaded ? 1 : 0)
            << qint32(thumbnail.pictureSize.width()) << qint32(thumbnail.pictureSize.height())
            << qint32(image.width()) << qint32(image.height());
        for (int y = 0; y < image.height(); ++y)
            out.writeRawData(reinterpret_cast<const char*>(image.constScanLine(y)),
                             image.width() * 3);
    }
    const QByteArray check = QCryptographicHash::hash(body, kCheck);

    if (!QDir().mkpath(m_folder))
        return;
    QSaveFile file(entryPath(key));
    if (!file.open(QIODevice::WriteOnly) || file.write(body) != body.size() ||
        file.write(check) != check.size() || !file.commit())
        return;

    QMutexLocker lock(&m_mutex);
    if (m_bytes >= 0)
        m_bytes += body.size() + check.size();
    if (m_bytes < 0 || m_bytes > m_maxBytes)
        trim();
}

// Caller holds m_mutex. Counts the folder and, when it is over its bound, removes
// the entries unused longest down to three quarters of it, so that the next
// removal waits for a good number of new entries.
void ThumbnailDiskCache::trim()
{
    const QFileInfoList entries = QDir(m_folder).entryInfoList(
        {QLatin1Char('*') + kSuffix + QLatin1Char('*')}, QDir::Files | QDir::Hidden, QDir::Time);
    qint64 total = 0;
    for (const QFileInfo& entry : entries)
        total += entry.size();
    if (total > m_maxBytes) {
        const qint64 target = m_maxBytes / 4 * 3;
        // Newest first: remove from the end.
        for (auto it = entries.crbegin(); it != entries.crend() && total > target; ++it) {
            if (QFile::remove(it->filePath()))
                total -= it->size();
        }
    }
    m_bytes = total;
}
