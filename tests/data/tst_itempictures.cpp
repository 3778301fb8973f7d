#include "data/DataError.h"
#include "data/FileRoutines.h"
#include "data/ItemPictures.h"
#include "data/ThumbnailDiskCache.h"
#include "data/frmadoHelper.h"

#include "TestSupport.h"

#include <QBuffer>
#include <QImageWriter>
#include <QPainter>
#include <QRandomGenerator>
#include <QtTest>

#include <memory>

namespace {
using vesktest::colourDistance;

// Left half one colour, right half another.
QImage halves(QSize size, const QColor& left, const QColor& right)
{
    QImage image(size, QImage::Format_ARGB32);
    image.fill(right);
    QPainter(&image).fillRect(QRect(0, 0, size.width() / 2, size.height()), left);
    return image;
}

QByteArray encoded(const QImage& image, const char* format = "JPG")
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    writer.setQuality(95);
    writer.write(image);
    return bytes;
}

// An EXIF segment with the orientation and an embedded JPEG thumbnail.
QByteArray exifWithThumbnail(int orientation, const QByteArray& thumbnail)
{
    QByteArray tiff = QByteArray::fromHex(QStringLiteral("4D4D002A00000008"
                                                         "0001 0112000300000001 %1 0000 0000001A"
                                                         "0003 0103000300000001 00060000"
                                                         "0201000400000001 00000044"
                                                         "0202000400000001 %2 00000000")
                                              .arg(orientation, 4, 16, QLatin1Char('0'))
                                              .arg(thumbnail.size(), 8, 16, QLatin1Char('0'))
                                              .remove(' ')
                                              .toLatin1());
    const QByteArray body = "Exif" + QByteArray(2, 0) + tiff + thumbnail;
    const int length = body.size() + 2;
    return QByteArray("\xFF\xE1", 2) + char(length >> 8) + char(length & 0xFF) + body;
}
} // namespace

// Each test: a helper on a fresh installation (suite database on SQLite) whose
// folder is also the picture folder.
class TestItemPictures : public QObject
{
    Q_OBJECT

    struct Setup
    {
        vesktest::TestInstallation install;
        vesktest::TestSqliteDb suite{install.path("suite.sqlite"), {"suite"}};
        std::unique_ptr<frmadoHelper> helper;
    };
    std::unique_ptr<Setup> m;

    QString path(const QString& name) const { return m->install.path(name); }
    void write(const QString& name, const QByteArray& bytes) const
    {
        m->install.writeFile(name, bytes);
    }
    ItemPictures& pictures() const { return m->helper->pictures(); }

private slots:
    void init()
    {
        m = std::make_unique<Setup>();
        VESK_VERIFY_OK(m->suite.error());
        m->install.useSqlite("suite", "suite.sqlite");
        m->install.writeConnections();
        m->helper = std::make_unique<frmadoHelper>(m->install.installation());
        m->helper->PictureServer = m->install.dir() + '/';
    }
    void cleanup() { m.reset(); }

    void unreadableFileIsFoundButBlank_data()
    {
        QTest::addColumn<QByteArray>("content");
        QImage busy = halves(QSize(400, 300), QColor(200, 180, 150), QColor(200, 180, 150));
        QRandomGenerator random(7);
        for (int i = 0; i < 40; ++i)
            QPainter(&busy).fillRect(random.bounded(400), random.bounded(300), 66, 50,
                                     QColor::fromRgb(random.generate()));
        const QByteArray jpeg = encoded(busy);
        // The frame header of a 64 x 48 JPEG claiming 20000 x 20000.
        QByteArray huge = encoded(halves(QSize(64, 48), Qt::green, Qt::green));
        huge.replace(huge.indexOf("\xFF\xC0") + 5, 4, QByteArray::fromHex("4E204E20"));
        QTest::newRow("no file") << QByteArray();
        QTest::newRow("jpeg cut in its data") << jpeg.left(jpeg.size() * 6 / 10);
        QTest::newRow("jpeg declaring 20000 x 20000") << huge;
    }
    void unreadableFileIsFoundButBlank()
    {
        QFETCH(QByteArray, content);
        if (!content.isNull())
            write("BAD.jpg", content);
        bool found = content.isNull();
        pictures().GetPicture(m->helper->PictureServer, "BAD", 1300, found);
        QCOMPARE(found, !content.isNull());
        QVERIFY(pictures().Image3.isNull() && pictures().Picture2.isNull());
        QVERIFY(!pictures().pictureSize().isValid());
        // The direct routine clears what an earlier call painted.
        write("good.jpg", encoded(halves(QSize(400, 300), Qt::red, Qt::red)));
        pictures().GetPictureWithDirectFileName(path("good.jpg"), 1300);
        QCOMPARE(pictures().Picture2.size(), QSize(87, 65));
        pictures().GetPictureWithDirectFileName(path("BAD.jpg"), 1300);
        QVERIFY(pictures().Picture2.isNull() && pictures().Image3.isNull());
    }

    // Main picture red | yellow, thumbnail blue | green, both on their side:
    // the copy shows the stored left half on top.
    void usesEmbeddedThumbnailWhenLargeEnough_data()
    {
        QTest::addColumn<QSize>("thumbnailSize");
        QTest::addColumn<bool>("used");
        QTest::newRow("160 x 120") << QSize(160, 120) << true;
        QTest::newRow("smaller than the copy") << QSize(80, 60) << false;
    }
    void usesEmbeddedThumbnailWhenLargeEnough()
    {
        QFETCH(QSize, thumbnailSize);
        QFETCH(bool, used);
        const QByteArray thumbnail = encoded(halves(thumbnailSize, Qt::blue, Qt::green));
        write("EX.jpg", encoded(halves(QSize(400, 300), Qt::red, Qt::yellow))
                            .insert(2, exifWithThumbnail(6, thumbnail)));
        pictures().GetPictureWithDirectFileName(path("EX.jpg"), 1300);
        QCOMPARE(pictures().pictureSize(), QSize(300, 400));
        const QImage& copy = pictures().Picture2;
        QCOMPARE(copy.size(), QSize(65, 87));
        QVERIFY(colourDistance(copy.pixelColor(32, 5), used ? Qt::blue : Qt::red) < 40);
        QVERIFY(colourDistance(copy.pixelColor(32, 80), used ? Qt::green : Qt::yellow) < 40);
    }

    // A copy kept on disk is used by the next run, unless its file changed since
    // or the entry was damaged; a damaged entry is written anew.
    void diskCacheServesNextRunOnlyWhileSound()
    {
        const QTemporaryDir cacheDir;
        write("D1.jpg", encoded(halves(QSize(400, 300), Qt::red, Qt::red), "BMP"));
        const auto run = [&](const QColor& expected, int hits) {
            ThumbnailPipeline pipeline;
            pipeline.setDiskCacheFolder(cacheDir.path());
            const QImage copy = pipeline.thumbnail(path("D1.jpg"), 1300).image;
            pipeline.waitForIdle();
            QCOMPARE(copy.size(), QSize(87, 65));
            QVERIFY(colourDistance(copy.pixelColor(5, 5), expected) < 24);
            QCOMPARE(pipeline.diskCache()->hits(), hits);
        };
        run(Qt::red, 0);
        const QFileInfoList entries = QDir(cacheDir.path()).entryInfoList(QDir::Files);
        QCOMPARE(entries.size(), 1);
        run(Qt::red, 1);

        QFile entry(entries.first().filePath());
        QVERIFY(entry.resize(entries.first().size() / 2));
        run(Qt::red, 0);
        QCOMPARE(QFileInfo(entry.fileName()).size(), entries.first().size());

        const QDateTime stamp = QFileInfo(path("D1.jpg")).lastModified();
        write("D1.jpg", encoded(halves(QSize(400, 300), Qt::blue, Qt::blue), "BMP"));
        QFile file(path("D1.jpg"));
        QVERIFY(file.open(QIODevice::ReadWrite) &&
                file.setFileTime(stamp.addSecs(10), QFileDevice::FileModificationTime));
        run(Qt::blue, 0);
    }

    // Picture names come from the suite's database: none may lead the lookup
    // out of the picture folder, whatever system wrote it.
    void pictureNameStaysInPictureFolder_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("found");
        QTest::newRow("bare name") << "inside.jpg" << true;
        QTest::newRow("bare stem") << "inside" << true;
        QTest::newRow("parent folder") << "../outside.jpg" << false;
        QTest::newRow("parent folder, stem") << "../outside" << false;
        QTest::newRow("down and up") << "sub/../../outside.jpg" << false;
        QTest::newRow("subfolder") << "sub/inside.jpg" << false;
        QTest::newRow("Windows parent") << "..\\outside.jpg" << false;
        QTest::newRow("drive") << "C:outside.jpg" << false;
        QTest::newRow("server") << "\\\\server\\share\\outside.jpg" << false;
        QTest::newRow("parent alone") << ".." << false;
    }
    void pictureNameStaysInPictureFolder()
    {
        QFETCH(QString, name);
        QFETCH(bool, found);
        QVERIFY(QDir().mkpath(path("pics/sub")));
        const QByteArray jpeg = encoded(halves(QSize(40, 30), Qt::red, Qt::red));
        for (const char* file : {"outside.jpg", "pics/inside.jpg", "pics/sub/inside.jpg"})
            write(file, jpeg);
        m->helper->PictureServer = path("pics") + '/';
        VESK_VERIFY_OK(vesktest::exec(
            m->suite.db(), "INSERT INTO item (internalitemnumber, Item_PictureName) VALUES (1, ?)",
            {name}));
        bool foundPicture = !found;
        m->helper->GetPictureByItemID(1, 1300, foundPicture);
        QCOMPARE(foundPicture, found);
        QCOMPARE(isBareFileName(name), found);
        pictures().GetPicture(m->helper->PictureServer, name, 1300, foundPicture);
        QVERIFY(!foundPicture || found);
    }

    void failingLookupReachesCaller()
    {
        VESK_VERIFY_OK(vesktest::exec(m->suite.db(), "DROP TABLE item"));
        bool found = true;
        QVERIFY_THROWS_EXCEPTION(DataError, m->helper->GetPictureByItemID(1, 1300, found));
        QVERIFY(found); // left alone
    }
};

QTEST_GUILESS_MAIN(TestItemPictures)
#include "tst_itempictures.moc"
