// Item picture decoding: the reduced-size floor, the thumbnail pipeline cold and
// warm, after a restart with its disk cache, on files with embedded thumbnails,
// and the naive full decode twice per file. Prints medians of one run.
//
//   bench_pictures [files=50] [repetitions=5] [folder]
//
// Without a folder the pictures go to a temporary one; a given folder keeps them
// for the next run (existing item*.jpg files are used as they are).

#include "BenchPictures.h"
#include "data/PictureScaling.h"
#include "data/ThumbnailDiskCache.h"
#include "data/ThumbnailPipeline.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QTemporaryDir>
#include <QThread>
#include <QtConcurrent>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

constexpr qint32 kPicSize = 1300;
constexpr int kShapes = 120;

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

double timeMs(const std::function<void()>& run)
{
    QElapsedTimer timer;
    timer.start();
    run();
    return timer.nsecsElapsed() / 1e6;
}

// The decoder alone at 1/8 scale, on all cores.
void decodeFloor(const QStringList& paths)
{
    QtConcurrent::blockingMap(paths, [](const QString& path) {
        QImageReader reader(path);
        const QSize size = reader.size();
        reader.setScaledSize(QSize((size.width() + 7) / 8, (size.height() + 7) / 8));
        const QImage image = reader.read();
        if (image.isNull())
            std::fprintf(stderr, "floor: cannot read %s\n", qPrintable(path));
    });
}

// What the listing does with the pipeline: queue all rows, then take them in order.
int thumbnailsOf(ThumbnailPipeline& pipeline, const QStringList& paths)
{
    pipeline.prefetch(paths, kPicSize);
    int painted = 0;
    for (const QString& path : paths)
        painted += pipeline.thumbnail(path, kPicSize).image.isNull() ? 0 : 1;
    pipeline.waitForIdle();
    return painted;
}

// The plain way: two full decodes per file (the two picture boxes), one smooth scale.
void naive(const QStringList& paths)
{
    const ThumbnailSettings settings;
    for (const QString& path : paths) {
        const QImage image3(path);
        const QImage picture1(path);
        const PictureScaling::PaintPlan plan = PictureScaling::planPaint(
            kPicSize, kPicSize, picture1.width() * settings.twipsX,
            picture1.height() * settings.twipsY, settings.twipsX, settings.twipsY);
        const QImage copy =
            image3.scaled(PictureScaling::paintedPixels(plan, settings.twipsX, settings.twipsY),
                          Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        if (copy.isNull())
            std::fprintf(stderr, "naive: cannot read %s\n", qPrintable(path));
    }
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int files = args.size() > 1 ? qMax(1, args.at(1).toInt()) : 50;
    const int repetitions = args.size() > 2 ? qMax(1, args.at(2).toInt()) : 5;
    const int naiveRepetitions = qMin(repetitions, 3);

    QTemporaryDir temporary;
    const QDir dir(args.size() > 3 ? args.at(3) : temporary.path());
    if (!temporary.isValid() || !dir.mkpath(QStringLiteral("."))) {
        std::fprintf(stderr, "cannot create the picture folder\n");
        return 1;
    }
    QStringList paths;
    for (int i = 0; i < files; ++i)
        paths << dir.filePath(benchpictures::photoName(i));

    std::printf("cores: %d; generating %d pictures of %dx%d ...\n", QThread::idealThreadCount(),
                files, benchpictures::kPhotoSize.width(), benchpictures::kPhotoSize.height());
    std::fflush(stdout);
    const double generation = timeMs([&] {
        for (const QString& failure : benchpictures::generatePhotos(paths, kShapes, true))
            std::fprintf(stderr, "%s\n", qPrintable(failure));
    });
    qint64 bytes = 0;
    for (const QString& path : paths)
        bytes += QFileInfo(path).size();
    std::printf("generated in %.1f s, mean file %.2f MB\n", generation / 1000, bytes / 1e6 / files);

    // The same pictures as a camera writes them, with a thumbnail embedded.
    QTemporaryDir exifDir;
    QStringList exifPaths;
    for (int i = 0; i < files; ++i)
        exifPaths << QDir(exifDir.path()).filePath(benchpictures::photoName(i));
    for (const QString& failure : benchpictures::copiesWithThumbnails(paths, exifPaths))
        std::fprintf(stderr, "%s\n", qPrintable(failure));

    std::vector<double> floor, cold, warm, restart, exif, naiveTimes;
    QTemporaryDir cacheRoot;
    int restartHits = 0;
    ThumbnailPipeline pipeline;
    for (int rep = 0; rep < repetitions; ++rep) {
        floor.push_back(timeMs([&] { decodeFloor(paths); }));
        // Cold: nothing in memory nor on disk; the copies go to a fresh disk cache.
        const QString cacheFolder = QDir(cacheRoot.path()).filePath(QString::number(rep));
        pipeline.clearCache();
        pipeline.setDiskCacheFolder(cacheFolder);
        int painted = 0;
        cold.push_back(timeMs([&] { painted = thumbnailsOf(pipeline, paths); }));
        if (painted != files)
            std::fprintf(stderr, "cold: %d of %d painted\n", painted, files);
        warm.push_back(timeMs([&] { thumbnailsOf(pipeline, paths); }));
        {
            ThumbnailPipeline next;
            next.setDiskCacheFolder(cacheFolder);
            restart.push_back(timeMs([&] { painted = thumbnailsOf(next, paths); }));
            restartHits = next.diskCache()->hits();
        }
        {
            ThumbnailPipeline fresh;
            exif.push_back(timeMs([&] { painted = thumbnailsOf(fresh, exifPaths); }));
            if (painted != files)
                std::fprintf(stderr, "exif: %d of %d painted\n", painted, files);
        }
    }
    pipeline.setDiskCacheFolder(QString());

    // A changed file must be read anew, not served from the cache.
    const QSize before = pipeline.thumbnail(paths.first(), kPicSize).image.size();
    const QDateTime stamp = QFileInfo(paths.first()).lastModified();
    const QImage turned =
        benchpictures::makePhoto(QImageReader(paths.first()).size().transposed(), 999, kShapes);
    const QString rewrite = benchpictures::writeJpeg(paths.first(), turned);
    if (!rewrite.isEmpty())
        std::fprintf(stderr, "%s\n", qPrintable(rewrite));
    {
        QFile file(paths.first());
        if (file.open(QIODevice::ReadWrite))
            file.setFileTime(stamp.addSecs(5), QFileDevice::FileModificationTime);
    }
    Thumbnail changed;
    const double pickUp = timeMs([&] { changed = pipeline.thumbnail(paths.first(), kPicSize); });
    const bool pickedUp = changed.image.size() == before.transposed();

    for (int rep = 0; rep < naiveRepetitions; ++rep)
        naiveTimes.push_back(timeMs([&] { naive(paths); }));

    const double f = median(floor), c = median(cold), w = median(warm), n = median(naiveTimes);
    const double r = median(restart), e = median(exif);
    std::printf("\n%-44s %10s %12s\n", "medians", "total ms", "ms per file");
    auto row = [files](const char* name, double total) {
        std::printf("%-44s %10.1f %12.3f\n", name, total, total / files);
    };
    row("floor: 1/8-scale decode only, all cores", f);
    row("cold: pipeline, fresh cache", c);
    row("warm: pipeline, all cached", w);
    row("restart: new pipeline, disk cache filled", r);
    row("embedded thumbnails: new pipeline, no cache", e);
    row("naive: full decode twice, sequential", n);
    std::printf("\nchanged file picked up: %s (%dx%d -> %dx%d, %.1f ms)\n", pickedUp ? "yes" : "NO",
                before.width(), before.height(), changed.image.width(), changed.image.height(),
                pickUp);
    std::printf("cold / floor = %.2f (target <= 1.25)\n", c / f);
    std::printf("restart: %.1f ms, %d of %d from disk (target <= 50 ms)\n", r, restartHits, files);
    std::printf("embedded thumbnails / floor = %.2f (target <= 0.5)\n", e / f);
    std::printf("naive / cold = %.1f\n", n / c);
    std::printf("repetitions: %d (naive %d), files: %d\n", repetitions, naiveRepetitions, files);
    return pickedUp ? 0 : 1;
}
