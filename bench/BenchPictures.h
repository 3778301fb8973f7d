#pragma once

// The generated item pictures of the benchmarks: photo-like 12 MP JPEGs that
// cost what a camera's file costs to decode.

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QImageWriter>
#include <QMutex>
#include <QPainter>
#include <QSize>
#include <QString>
#include <QStringList>
#include <QVector>
#include <QtConcurrent>

#include <numeric>

namespace benchpictures {

inline constexpr QSize kPhotoSize(4000, 3000);

// Soft light, `shapes` translucent ellipses and sensor noise: about 3 MB as JPEG
// at 4000 x 3000. The same seed gives the same picture.
inline QImage makePhoto(QSize size, quint32 seed, int shapes)
{
    QImage image(size, QImage::Format_RGB32);
    QPainter painter(&image);
    QRadialGradient light(size.width() * 0.4, size.height() * 0.35, size.width() * 0.8);
    light.setColorAt(0, QColor::fromHsv(int(seed * 37 % 360), 60, 235));
    light.setColorAt(1, QColor::fromHsv(int(seed * 53 % 360), 120, 60));
    painter.fillRect(image.rect(), light);
    quint32 state = seed * 2654435761u + 1;
    const auto next = [&state] {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return state;
    };
    painter.setPen(Qt::NoPen);
    for (int i = 0; i < shapes; ++i) {
        painter.setBrush(QColor(next() % 256, next() % 256, next() % 256, 160));
        painter.drawEllipse(QPointF(next() % size.width(), next() % size.height()),
                            40 + next() % 500, 40 + next() % 400);
    }
    painter.end();
    for (int y = 0; y < size.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < size.width(); ++x) {
            const int noise = int(next() % 17) - 8;
            const QRgb c = line[x];
            line[x] = qRgb(qBound(0, qRed(c) + noise, 255), qBound(0, qGreen(c) + noise, 255),
                           qBound(0, qBlue(c) + noise, 255));
        }
    }
    return image;
}

// Quality 90. Empty on success, otherwise what went wrong.
inline QString writeJpeg(const QString& path, const QImage& image)
{
    QImageWriter writer(path, "jpeg");
    writer.setQuality(90);
    return writer.write(image)
               ? QString()
               : QStringLiteral("cannot write %1: %2").arg(path, writer.errorString());
}

// item0000.jpg, item0001.jpg, ...
inline QString photoName(int index)
{
    return QStringLiteral("item%1.jpg").arg(index, 4, 10, QLatin1Char('0'));
}

// Writes the photo of seed i + 1 to paths[i] on all cores; with keepExisting a
// file already there stays as it is. Returns the failures.
inline QStringList generatePhotos(const QStringList& paths, int shapes, bool keepExisting)
{
    QVector<int> indexes(paths.size());
    std::iota(indexes.begin(), indexes.end(), 0);
    QMutex mutex;
    QStringList failures;
    QtConcurrent::blockingMap(indexes, [&](int i) {
        if (keepExisting && QFileInfo::exists(paths.at(i)))
            return;
        const QString error = writeJpeg(paths.at(i), makePhoto(kPhotoSize, quint32(i + 1), shapes));
        if (!error.isEmpty()) {
            const QMutexLocker lock(&mutex);
            failures << error;
        }
    });
    return failures;
}

// An EXIF segment as a camera writes it: the orientation (upright) and a JPEG
// thumbnail in the second directory.
inline QByteArray exifSegment(const QByteArray& thumbnail)
{
    const QByteArray tiff = QByteArray::fromHex(QStringLiteral("4D4D002A00000008"
                                                               "0001 0112000300000001 00010000"
                                                               "0000001A"
                                                               "0003 0103000300000001 00060000"
                                                               "0201000400000001 00000044"
                                                               "0202000400000001 %1 00000000")
                                                    .arg(thumbnail.size(), 8, 16, QLatin1Char('0'))
                                                    .remove(QLatin1Char(' '))
                                                    .toLatin1());
    const QByteArray body = QByteArray("Exif\0\0", 6) + tiff + thumbnail;
    const int length = int(body.size()) + 2;
    return QByteArray("\xFF\xE1", 2) + char(length >> 8) + char(length & 0xFF) + body;
}

// Copies a JPEG with a 160 x 120 thumbnail of it embedded after the start
// marker. Empty on success, otherwise what went wrong.
inline QString copyWithThumbnail(const QString& from, const QString& to)
{
    QFile in(from);
    if (!in.open(QIODevice::ReadOnly))
        return QStringLiteral("cannot read %1").arg(from);
    QByteArray data = in.readAll();
    QImageReader reader(from);
    reader.setScaledSize(reader.size() / 8);
    const QImage small =
        reader.read().scaled(160, 120, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    QByteArray thumbnail;
    QBuffer buffer(&thumbnail);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setQuality(85);
    if (small.isNull() || !writer.write(small))
        return QStringLiteral("cannot make the thumbnail of %1").arg(from);
    data.insert(2, exifSegment(thumbnail));
    QFile out(to);
    if (!out.open(QIODevice::WriteOnly) || out.write(data) != data.size())
        return QStringLiteral("cannot write %1").arg(to);
    return QString();
}

// copyWithThumbnail(from[i], to[i]) on all cores. Returns the failures.
inline QStringList copiesWithThumbnails(const QStringList& from, const QStringList& to)
{
    QVector<int> indexes(from.size());
    std::iota(indexes.begin(), indexes.end(), 0);
    QMutex mutex;
    QStringList failures;
    QtConcurrent::blockingMap(indexes, [&](int i) {
        const QString error = copyWithThumbnail(from.at(i), to.at(i));
        if (!error.isEmpty()) {
            const QMutexLocker lock(&mutex);
            failures << error;
        }
    });
    return failures;
}

} // namespace benchpictures
