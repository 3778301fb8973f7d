// The item listing end to end: a MariaDB item table, the suite's SQLite
// database and generated 12 MP JPEG pictures. Prints medians of one run:
//   - a cold 50-row listing (no cached copies) against the decoding floor (the
//     same files at 1/8 scale on all cores, nothing else);
//   - a warm relist of the same rows, and whether a changed file is picked up;
//   - the listing after a restart: memory empty, the disk cache of a cold
//     listing on the same folder;
//   - a first listing of the same pictures with embedded EXIF thumbnails;
//   - 10,000 items with the limit off: until the grid is complete and the event
//     loop answers, until every picture is in place, the longest event-loop
//     stall, and the peak memory of that part;
//   - the naive decoding (each file fully, twice) for the ratio.
//
// Needs the MariaDB of scripts/test-services.sh (source DIR/env.sh first).
//   bench_listing [repetitions=5] [items=10000]

#include "BenchDatabase.h"
#include "BenchPictures.h"
#include "auction/ItemListing.h"
#include "auction/frmVESKauction.h"
#include "data/Installation.h"
#include "data/ThumbnailDiskCache.h"
#include "data/ThumbnailPipeline.h"
#include "data/frmadoHelper.h"
#include "timeconv/Clock.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTableView>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <QtConcurrent>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <stdexcept>
#include <vector>

namespace {
using namespace benchdb;

constexpr int kPictures = 50;
constexpr int kShapes = 100;

void decodeFloor(const QStringList& paths)
{
    QtConcurrent::blockingMap(paths, [](const QString& path) {
        QImageReader reader(path);
        const QSize size = reader.size();
        reader.setScaledSize(QSize((size.width() + 7) / 8, (size.height() + 7) / 8));
        if (reader.read().isNull())
            std::fprintf(stderr, "floor: cannot read %s\n", qPrintable(path));
    });
}

void decodeNaive(const QStringList& paths)
{
    for (const QString& path : paths) {
        const QImage first(path);
        const QImage second(path);
        const QImage copy = first.scaled(87, 65, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        if (copy.isNull() || second.isNull())
            std::fprintf(stderr, "naive: cannot read %s\n", qPrintable(path));
    }
}

int benchmark(int repetitions, int items)
{
    QTemporaryDir dir;
    if (!dir.isValid())
        fail(QStringLiteral("cannot create a temporary folder"));
    QDir(dir.path()).mkdir(QStringLiteral("pictures"));
    const QString pictureDir = dir.filePath(QStringLiteral("pictures")) + QLatin1Char('/');

    std::printf("cores: %d; generating %d pictures of %dx%d ...\n", QThread::idealThreadCount(),
                kPictures, benchpictures::kPhotoSize.width(), benchpictures::kPhotoSize.height());
    std::fflush(stdout);
    QStringList paths;
    for (int i = 0; i < kPictures; ++i)
        paths << pictureDir + benchpictures::photoName(i);
    const QStringList failures = benchpictures::generatePhotos(paths, kShapes, false);
    if (!failures.isEmpty())
        fail(failures.join(QLatin1Char('\n')));

    // The item table on the test server, in a database of its own.
    const benchdb::ItemDatabase database(QStringLiteral("bench_listing"));
    database.addItems(items, [](int id) {
        return QStringLiteral("'B-%1','ring %1',%2,%3")
            .arg(id)
            .arg(id * 3.5)
            .arg(id % 3 == 0 ? 0 : 1700000000 + (id % 2 ? 1 : -1) * id);
    });
    {
        QSqlDatabase suite =
            QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("suite"));
        suite.setDatabaseName(dir.filePath(QStringLiteral("suite.sqlite")));
        if (!suite.open())
            fail(QStringLiteral("cannot create the suite database"));
        runScript(suite, sqlFile(QStringLiteral("sqlite"), QStringLiteral("suite")));
        run(suite, QStringLiteral("BEGIN"));
        for (int id = 1; id <= items; ++id)
            run(suite, QStringLiteral("INSERT INTO item (internalitemnumber, Item_PictureName) "
                                      "VALUES (%1, 'item%2')")
                           .arg(id)
                           .arg((id - 1) % kPictures, 4, 10, QLatin1Char('0')));
        run(suite, QStringLiteral("COMMIT"));
        suite.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("suite"));
    database.writeIni(dir.path());

    frmadoHelper helper{Installation(dir.path())};
    helper.PictureServer = pictureDir;
    frmVESKauction window(helper);
    ItemListing& listing = window.listing();
    window.show();
    while (listing.completedRuns() < 1)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    window.Option1->setChecked(true);
    window.chkLimit->setChecked(true);
    ThumbnailPipeline& pipeline = helper.pictures().pipeline();
    // A listing from the click to the filled grid.
    const auto list = [&window] {
        window.Command2->click();
        while (window.isBusy())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    };

    const auto picturedRows = [&window] {
        int pictured = 0;
        for (int row = 0; row < window.Flex->model()->rowCount(); ++row)
            pictured +=
                window.Flex->model()->index(row, 0).data(Qt::DecorationRole).isNull() ? 0 : 1;
        return pictured;
    };

    std::vector<double> floor, cold, warm, restart, exif, naive;
    for (int r = 0; r < repetitions; ++r)
        floor.push_back(timeMs([&] { decodeFloor(paths); }));
    // Each cold listing writes a fresh disk cache, as a first run does.
    const QString cacheFolder = dir.filePath(QStringLiteral("cache%1"));
    for (int r = 0; r < repetitions; ++r) {
        pipeline.clearCache();
        pipeline.setDiskCacheFolder(cacheFolder.arg(r));
        cold.push_back(timeMs(list));
    }
    const int pictured = picturedRows();
    for (int r = 0; r < repetitions; ++r)
        warm.push_back(timeMs(list));
    // A restart: the memory cache empty, a new disk cache on the last folder.
    pipeline.waitForIdle();
    int restartHits = 0;
    for (int r = 0; r < repetitions; ++r) {
        pipeline.clearCache();
        pipeline.setDiskCacheFolder(cacheFolder.arg(repetitions - 1));
        restart.push_back(timeMs(list));
        restartHits = pipeline.diskCache()->hits();
    }
    const int restartPictured = picturedRows();

    // The same pictures with embedded thumbnails, listed for the first time.
    QDir(dir.path()).mkdir(QStringLiteral("exif"));
    const QString exifDir = dir.filePath(QStringLiteral("exif")) + QLatin1Char('/');
    QStringList exifPaths;
    for (int i = 0; i < kPictures; ++i)
        exifPaths << exifDir + benchpictures::photoName(i);
    const QStringList exifFailures = benchpictures::copiesWithThumbnails(paths, exifPaths);
    if (!exifFailures.isEmpty())
        fail(exifFailures.join(QLatin1Char('\n')));
    pipeline.setDiskCacheFolder(QString());
    helper.PictureServer = exifDir;
    for (int r = 0; r < repetitions; ++r) {
        pipeline.clearCache();
        exif.push_back(timeMs(list));
    }
    const int exifPictured = picturedRows();
    helper.PictureServer = pictureDir;
    pipeline.clearCache();
    list();

    const QImage before =
        window.Flex->model()->index(0, 0).data(Qt::DecorationRole).value<QImage>();
    const int firstItem = window.Flex->model()->index(0, 0).data().toInt();
    const QString changedFile = pictureDir + benchpictures::photoName((firstItem - 1) % kPictures);
    const QString rewrite = benchpictures::writeJpeg(
        changedFile, benchpictures::makePhoto(benchpictures::kPhotoSize, 999, kShapes));
    if (!rewrite.isEmpty())
        fail(rewrite);
    const double changedMs = timeMs(list);
    const bool pickedUp =
        window.Flex->model()->index(0, 0).data(Qt::DecorationRole).value<QImage>() != before;
    for (int r = 0; r < std::min(repetitions, 3); ++r)
        naive.push_back(timeMs([&] { decodeNaive(paths); }));

    // The long listing, with nothing of it cached.
    pipeline.clearCache();
    window.chkLimit->setChecked(false);
    QCoreApplication::processEvents();
    const bool peakReset = resetPeakMemory();
    StallMeter stalls;
    QElapsedTimer clock;
    stalls.start();
    clock.start();
    list();
    const double filledMs = clock.nsecsElapsed() / 1e6;
    const int rows = window.Flex->model()->rowCount();
    bool answered = false;
    QTimer::singleShot(0, [&answered] { answered = true; });
    while (!answered)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    const double responsiveMs = clock.nsecsElapsed() / 1e6;
    while (listing.picturesPending() > 0)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    const double picturesMs = clock.nsecsElapsed() / 1e6;
    const double longestStall = stalls.stop();
    const qint64 peakKb = peakMemoryKb();

    const double floorMs = median(floor);
    const double coldMs = median(cold);
    std::printf("\n50-row listing (%d with pictures), medians of %d:\n", pictured, repetitions);
    std::printf("  decoding floor (1/8 scale, all cores)   %8.1f ms\n", floorMs);
    std::printf("  cold listing                            %8.1f ms   %.2f x floor (target <= "
                "1.25)\n",
                coldMs, coldMs / floorMs);
    std::printf("  warm relist                             %8.1f ms   (target <= 50)\n",
                median(warm));
    std::printf("  after a restart, disk cache filled      %8.1f ms   (target <= 50; %d of %d "
                "rows pictured, %d from disk)\n",
                median(restart), restartPictured, pictured, restartHits);
    std::printf("  first listing, embedded thumbnails      %8.1f ms   %.2f x floor (target <= "
                "0.5; %d rows pictured)\n",
                median(exif), median(exif) / floorMs, exifPictured);
    std::printf("  relist after a picture file changed     %8.1f ms   picked up: %s\n", changedMs,
                pickedUp ? "yes" : "NO");
    std::printf("  naive decoding (full, twice per file)   %8.1f ms   %.1f x cold listing\n",
                median(naive), median(naive) / coldMs);
    std::printf("\n%d items, limit off (%d rows):\n", items, rows);
    std::printf("  grid complete                           %8.1f ms\n", filledMs);
    std::printf("  event loop answering                    %8.1f ms   (target <= 2000)\n",
                responsiveMs);
    std::printf("  every picture in place                  %8.1f ms\n", picturesMs);
    std::printf("  longest event-loop stall                %8.1f ms\n", longestStall);
    std::printf("  peak memory, VmHWM of %-17s %8.1f MB   (target <= 300)\n",
                peakReset ? "this part" : "the whole run", peakKb / 1024.0);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    return benchdb::runBenchmark(argc, argv, "bench_listing", [](const QStringList& args) {
        const int repetitions = args.size() > 1 ? qMax(1, args.at(1).toInt()) : 5;
        const int items = args.size() > 2 ? qMax(kPictures, args.at(2).toInt()) : 10000;
        return benchmark(repetitions, items);
    });
}
