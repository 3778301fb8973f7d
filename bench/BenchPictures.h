#pragma once

// The generated item pictures of the benchmarks: photo-like 12 MP JPEGs that
// cost what a camera's file costs to decode.

#include <QFileInfo>
#include <QImage>
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

} // namespace benchpictures
