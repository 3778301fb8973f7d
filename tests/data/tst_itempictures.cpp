#include "data/DataControl.h"
#include "data/DataError.h"
#include "data/ItemPictures.h"
#include "data/ThumbnailPipeline.h"
#include "data/frmadoHelper.h"

#include "TestSupport.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImageWriter>
#include <QPainter>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {

QColor pixelColor(const QImage& image, int x, int y)
{
    return QColor(image.pixel(x, y));
}

bool closeTo(const QColor& a, const QColor& b, int tolerance = 12)
{
    return qAbs(a.red() - b.red()) <= tolerance && qAbs(a.green() - b.green()) <= tolerance &&
           qAbs(a.blue() - b.blue()) <= tolerance;
}

QImage patterned(QSize size, quint32 seed)
{
    QImage image(size, QImage::Format_RGB32);
    QPainter painter(&image);
    QLinearGradient gradient(0, 0, size.width(), size.height());
    gradient.setColorAt(0, QColor(220, 190, 150));
    gradient.setColorAt(1, QColor(30, 50, 110));
    painter.fillRect(image.rect(), gradient);
    QRandomGenerator random(seed);
    painter.setPen(Qt::NoPen);
    for (int i = 0; i < 40; ++i) {
        painter.setBrush(QColor(random.bounded(256), random.bounded(256), random.bounded(256)));
        painter.drawRect(random.bounded(size.width()), random.bounded(size.height()),
                         size.width() / 6, size.height() / 6);
    }
    painter.end();
    return image;
}

QByteArray encoded(const QImage& image, const char* format, int quality = 90)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    writer.setQuality(quality);
    writer.write(image);
    return bytes;
}

void writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY2(file.open(QIODevice::WriteOnly | QIODevice::Truncate), qPrintable(path));
    QCOMPARE(file.write(bytes), bytes.size());
}

QImage filled(QSize size, const QColor& color)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(color);
    return image;
}

// A JPEG whose frame header claims another size than its data holds.
QByteArray withDeclaredSize(QByteArray jpeg, int width, int height)
{
    const int frame = jpeg.indexOf(QByteArray("\xFF\xC0", 2));
    if (frame < 0)
        return QByteArray();
    jpeg[frame + 5] = char(height >> 8);
    jpeg[frame + 6] = char(height & 0xFF);
    jpeg[frame + 7] = char(width >> 8);
    jpeg[frame + 8] = char(width & 0xFF);
    return jpeg;
}

double meanDifference(const QImage& a, const QImage& b)
{
    const QImage x = a.convertToFormat(QImage::Format_RGB32);
    const QImage y = b.convertToFormat(QImage::Format_RGB32);
    double sum = 0;
    for (int row = 0; row < x.height(); ++row)
        for (int col = 0; col < x.width(); ++col) {
            const QRgb p = x.pixel(col, row);
            const QRgb q = y.pixel(col, row);
            sum +=
                qAbs(qRed(p) - qRed(q)) + qAbs(qGreen(p) - qGreen(q)) + qAbs(qBlue(p) - qBlue(q));
        }
    return sum / (3.0 * x.width() * x.height());
}

} // namespace

class TestItemPictures : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    // Files, no database.
    void findsSkuFileUnderPictureServer_data();
    void findsSkuFileUnderPictureServer();
    void paintsCopyAtListingSize_data();
    void paintsCopyAtListingSize();
    void unreadableFileIsFoundButBlank_data();
    void unreadableFileIsFoundButBlank();
    void directFileNameWithUnreadableFileLeavesPictureCleared();
    void directFileNameWithoutFileClearsEarlierPicture();
    void transparentPictureShowsBackground();
    void reducedDecodeLooksLikeFullDecode();
    void recognisesCompleteJpegStreams_data();
    void recognisesCompleteJpegStreams();

    // The cache and the parallel pipeline.
    void relistIsServedFromCache();
    void cachePicksUpChangedFile_data();
    void cachePicksUpChangedFile();
    void pipelineGivesSameCopyAsRoutine();
    void prefetchReportsEveryFileOnce();
    void prioritizedFilesComeFirstAndCancelledNever();
    void thumbnailTakesPendingFileItself();
    void rejectsInvalidTwipsPerPixel_data();
    void rejectsInvalidTwipsPerPixel();

    // The item lookup on the suite database.
    void picksCandidateInOrder_data();
    void picksCandidateInOrder();
    void pictureServerWithoutSeparatorFindsNothing();
    void emptyOrMissingColumnsGiveNoPicture_data();
    void emptyOrMissingColumnsGiveNoPicture();
    void sendsLookupQueryToAdoGetPic_data();
    void sendsLookupQueryToAdoGetPic();
    void failingLookupReachesCaller();
    void lookupFindsUnreadableFileButShowsBlank();

private:
    QString picturePath(const QString& name) const { return m_pictures->filePath(name); }
    QString server() const { return m_pictures->path() + QLatin1Char('/'); }
    // A helper on a fresh installation with the suite database in SQLite.
    void makeSuite(const QString& itemTable = QString());
    void addItem(int id, const QVariant& pictureName, const QVariant& partNumber,
                 const QVariant& supplierNumber);

    std::unique_ptr<QTemporaryDir> m_pictures;
    std::unique_ptr<DataControl> m_unused;
    std::unique_ptr<ItemPictures> m_routines;
    QString m_server;
    std::unique_ptr<vesktest::TestInstallation> m_install;
    std::unique_ptr<vesktest::TestSqliteDb> m_suite;
    std::unique_ptr<frmadoHelper> m_helper;
};

void TestItemPictures::init()
{
    m_pictures = std::make_unique<QTemporaryDir>();
    QVERIFY(m_pictures->isValid());
    m_unused = std::make_unique<DataControl>(QStringLiteral("adoGetPic"), QString(), 1, QString(),
                                             nullptr);
    m_server = server();
    m_routines = std::make_unique<ItemPictures>(*m_unused, m_server);
}

void TestItemPictures::cleanup()
{
    m_helper.reset();
    m_suite.reset();
    m_install.reset();
    m_routines.reset();
    m_unused.reset();
    m_pictures.reset();
}

void TestItemPictures::findsSkuFileUnderPictureServer_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QString>("sku");
    QTest::addColumn<bool>("found");
    QTest::newRow("sku file exists") << "AB100.jpg"
                                     << "AB100" << true;
    QTest::newRow("sku file missing") << "AB100.jpg"
                                      << "AB200" << false;
    QTest::newRow("names are exact") << "AB100.jpg"
                                     << "AB100.jpg" << false;
    QTest::newRow("a folder is no picture") << "AB100.jpg/"
                                            << "AB100" << false;
}

void TestItemPictures::findsSkuFileUnderPictureServer()
{
    QFETCH(QString, fileName);
    QFETCH(QString, sku);
    QFETCH(bool, found);
    if (fileName.endsWith(QLatin1Char('/')))
        QVERIFY(QDir(m_pictures->path()).mkdir(fileName.chopped(1)));
    else
        writeBytes(picturePath(fileName), encoded(filled(QSize(400, 300), Qt::red), "JPG"));

    bool result = !found;
    m_routines->GetPicture(server(), sku, 1300, result);
    QCOMPARE(result, found);
    QCOMPARE(m_routines->Picture2.isNull(), !found);
    if (found)
        QVERIFY(closeTo(pixelColor(m_routines->Picture2, 40, 30), Qt::red));
}

void TestItemPictures::paintsCopyAtListingSize_data()
{
    QTest::addColumn<QSize>("picture");
    QTest::addColumn<double>("twips");
    QTest::addColumn<QSize>("copy");
    QTest::addColumn<QSizeF>("image3");
    QTest::addColumn<QSizeF>("canvas");
    QTest::newRow("400x300 example") << QSize(400, 300) << 15.0 << QSize(87, 65)
                                     << QSizeF(1300, 975) << QSizeF(9509.6621, 7132.2466);
    QTest::newRow("tall") << QSize(300, 400) << 15.0 << QSize(65, 87) << QSizeF(975, 1300)
                          << QSizeF(7132.2466, 9509.6621);
    QTest::newRow("square") << QSize(120, 120) << 15.0 << QSize(87, 87) << QSizeF(1300, 1300)
                            << QSizeF(9509.6621, 9509.6621);
    QTest::newRow("small picture enlarged") << QSize(40, 30) << 15.0 << QSize(87, 65)
                                            << QSizeF(1300, 975) << QSizeF(9509.6621, 7132.2466);
    QTest::newRow("120 dpi display") << QSize(400, 300) << 12.0 << QSize(108, 81)
                                     << QSizeF(1300, 975) << QSizeF(9831.8908, 7373.9181);
}

void TestItemPictures::paintsCopyAtListingSize()
{
    QFETCH(QSize, picture);
    QFETCH(double, twips);
    QFETCH(QSize, copy);
    QFETCH(QSizeF, image3);
    QFETCH(QSizeF, canvas);
    m_routines->setTwipsPerPixel(twips, twips);
    writeBytes(picturePath(QStringLiteral("P1.jpg")), encoded(filled(picture, Qt::blue), "JPG"));

    bool found = false;
    m_routines->GetPicture(server(), QStringLiteral("P1"), 1300, found);
    QVERIFY(found);
    QCOMPARE(m_routines->Picture2.size(), copy);
    QCOMPARE(m_routines->Picture2.format(), QImage::Format_RGB32);
    QVERIFY(
        closeTo(pixelColor(m_routines->Picture2, copy.width() - 1, copy.height() - 1), Qt::blue));
    QCOMPARE(m_routines->pictureSize(), picture);
    QCOMPARE(m_routines->picture1Size(), QSizeF(picture.width() * twips, picture.height() * twips));
    QVERIFY(qAbs(m_routines->image3Size().width() - image3.width()) < 1e-9);
    QVERIFY(qAbs(m_routines->image3Size().height() - image3.height()) < 1e-9);
    QCOMPARE(m_routines->image3Position(), QPointF(6000, 500));
    QVERIFY(m_routines->image3Stretch());
    QVERIFY(qAbs(m_routines->canvasSize().width() - canvas.width()) < 1e-3);
    QVERIFY(qAbs(m_routines->canvasSize().height() - canvas.height()) < 1e-3);
}

void TestItemPictures::unreadableFileIsFoundButBlank_data()
{
    QTest::addColumn<QByteArray>("content");
    const QByteArray jpeg = encoded(patterned(QSize(400, 300), 7), "JPG");
    const QByteArray png = encoded(patterned(QSize(400, 300), 7), "PNG");
    QTest::newRow("zero bytes") << QByteArray();
    QTest::newRow("text file") << QByteArray("SKU,Description\r\nAB100,Ring\r\n");
    QTest::newRow("jpeg header then junk")
        << QByteArray("\xFF\xD8\xFF\xE0\x00\x10JFIF\x00", 11) + QByteArray(3000, '\x5A');
    QTest::newRow("jpeg cut in its data") << jpeg.left(jpeg.size() * 6 / 10);
    QTest::newRow("jpeg cut in its header") << jpeg.left(200);
    QTest::newRow("png cut in its data") << png.left(png.size() / 2);
    const QByteArray huge =
        withDeclaredSize(encoded(filled(QSize(64, 48), Qt::green), "JPG"), 20000, 20000);
    QVERIFY(!huge.isEmpty());
    QTest::newRow("jpeg declaring 20000 x 20000") << huge;
}

void TestItemPictures::unreadableFileIsFoundButBlank()
{
    QFETCH(QByteArray, content);
    writeBytes(picturePath(QStringLiteral("BAD.jpg")), content);

    bool found = false;
    m_routines->GetPicture(server(), QStringLiteral("BAD"), 1300, found);
    QVERIFY(found);
    QVERIFY(m_routines->Image3.isNull());
    QVERIFY(m_routines->Picture1.isNull());
    QVERIFY(m_routines->Picture2.isNull());
    QVERIFY(!m_routines->pictureSize().isValid());
}

void TestItemPictures::directFileNameWithUnreadableFileLeavesPictureCleared()
{
    const QString good = picturePath(QStringLiteral("good.jpg"));
    const QString bad = picturePath(QStringLiteral("bad.jpg"));
    writeBytes(good, encoded(filled(QSize(400, 300), Qt::red), "JPG"));
    writeBytes(bad, QByteArray("not a picture"));

    m_routines->GetPictureWithDirectFileName(good, 1300);
    QCOMPARE(m_routines->Picture2.size(), QSize(87, 65));
    const QSizeF canvas = m_routines->canvasSize();

    m_routines->GetPictureWithDirectFileName(bad, 1300);
    QVERIFY(m_routines->Picture2.isNull());
    QVERIFY(m_routines->Image3.isNull());
    QCOMPARE(m_routines->canvasSize(), canvas);
}

void TestItemPictures::directFileNameWithoutFileClearsEarlierPicture()
{
    const QString good = picturePath(QStringLiteral("good.jpg"));
    writeBytes(good, encoded(filled(QSize(400, 300), Qt::red), "JPG"));
    m_routines->GetPictureWithDirectFileName(good, 1300);
    QVERIFY(!m_routines->Picture2.isNull());

    m_routines->GetPictureWithDirectFileName(picturePath(QStringLiteral("missing.jpg")), 1300);
    QVERIFY(m_routines->Picture2.isNull());
    QVERIFY(m_routines->Image3.isNull());
    m_routines->GetPictureWithDirectFileName(QString(), 1300);
    QVERIFY(m_routines->Picture2.isNull());
}

void TestItemPictures::transparentPictureShowsBackground()
{
    QImage image(QSize(200, 150), QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.fillRect(QRect(0, 0, 100, 150), Qt::red);
    painter.end();
    const QString path = picturePath(QStringLiteral("ring.png"));
    writeBytes(path, encoded(image, "PNG"));

    m_routines->setBackground(QColor(10, 200, 30));
    m_routines->GetPictureWithDirectFileName(path, 1300);
    const QImage& copy = m_routines->Picture2;
    QCOMPARE(copy.size(), QSize(87, 65));
    QVERIFY(!copy.hasAlphaChannel());
    QVERIFY(closeTo(pixelColor(copy, 10, 30), Qt::red));
    QVERIFY(closeTo(pixelColor(copy, 80, 30), QColor(10, 200, 30)));
}

void TestItemPictures::reducedDecodeLooksLikeFullDecode()
{
    const QImage source = patterned(QSize(1600, 1200), 3);
    const QString path = picturePath(QStringLiteral("big.jpg"));
    writeBytes(path, encoded(source, "JPG", 95));

    m_routines->GetPictureWithDirectFileName(path, 1300);
    const QImage full =
        QImage(path).scaled(QSize(87, 65), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    QCOMPARE(m_routines->Picture2.size(), full.size());
    const double difference = meanDifference(m_routines->Picture2, full);
    QVERIFY2(difference < 3.0, qPrintable(QString::number(difference)));
}

void TestItemPictures::recognisesCompleteJpegStreams_data()
{
    QTest::addColumn<QByteArray>("hex");
    QTest::addColumn<bool>("complete");
    QTest::newRow("one scan") << QByteArray("FFD8 FFDB00040000 FFDA00040000 1234FF0056 FFD9")
                              << true;
    QTest::newRow("end marker missing")
        << QByteArray("FFD8 FFDB00040000 FFDA00040000 1234FF0056") << false;
    QTest::newRow("cut inside a segment") << QByteArray("FFD8 FFDB00100000") << false;
    QTest::newRow("restart markers in the data")
        << QByteArray("FFD8 FFDA00040000 12FFD034FFD156 FFD9") << true;
    QTest::newRow("end marker inside an application segment only")
        << QByteArray("FFD8 FFE10006FFD90000 FFDA00040000 1234") << false;
    QTest::newRow("fill bytes before the end")
        << QByteArray("FFD8 FFDA00040000 12 FFFFFFD9") << true;
    QTest::newRow("second scan present")
        << QByteArray("FFD8 FFDA00040000 12 FFC400040000 FFDA00040000 34 FFD9") << true;
    QTest::newRow("second scan cut")
        << QByteArray("FFD8 FFDA00040000 12 FFC400040000 FFDA00040000 34") << false;
    QTest::newRow("data after the end")
        << QByteArray("FFD8 FFDA00040000 12 FFD9 0000001866747970") << true;
    QTest::newRow("start marker only") << QByteArray("FFD8") << false;
}

void TestItemPictures::recognisesCompleteJpegStreams()
{
    QFETCH(QByteArray, hex);
    QFETCH(bool, complete);
    QCOMPARE(jpegIsComplete(QByteArray::fromHex(hex.replace(' ', ""))), complete);
}

void TestItemPictures::relistIsServedFromCache()
{
    writeBytes(picturePath(QStringLiteral("R1.jpg")),
               encoded(filled(QSize(400, 300), Qt::red), "JPG"));
    bool found = false;
    m_routines->GetPicture(server(), QStringLiteral("R1"), 1300, found);
    const QImage first = m_routines->Picture2;
    QVERIFY(m_routines->pipeline().isCached(picturePath(QStringLiteral("R1.jpg")), 1300));

    m_routines->GetPicture(server(), QStringLiteral("R1"), 1300, found);
    // The very same pixels: nothing was decoded again.
    QCOMPARE(m_routines->Picture2.cacheKey(), first.cacheKey());
    QCOMPARE(m_routines->pipeline().cachedCount(), 1);

    // Another size or display is another copy.
    m_routines->GetPicture(server(), QStringLiteral("R1"), 650, found);
    QCOMPARE(m_routines->Picture2.size(), QSize(43, 33));
    m_routines->setTwipsPerPixel(12, 12);
    m_routines->GetPicture(server(), QStringLiteral("R1"), 1300, found);
    QCOMPARE(m_routines->Picture2.size(), QSize(108, 81));
    QCOMPARE(m_routines->pipeline().cachedCount(), 3);
}

void TestItemPictures::cachePicksUpChangedFile_data()
{
    QTest::addColumn<QSize>("secondSize");
    QTest::addColumn<QSize>("secondCopy");
    QTest::newRow("new content, same file size") << QSize(400, 300) << QSize(87, 65);
    QTest::newRow("new content, other size") << QSize(300, 400) << QSize(65, 87);
}

void TestItemPictures::cachePicksUpChangedFile()
{
    QFETCH(QSize, secondSize);
    QFETCH(QSize, secondCopy);
    // BMP: same dimensions give the same file size, so only the time tells.
    const QString path = picturePath(QStringLiteral("C1.jpg"));
    writeBytes(path, encoded(filled(QSize(400, 300), Qt::red), "BMP"));
    bool found = false;
    m_routines->GetPicture(server(), QStringLiteral("C1"), 1300, found);
    QVERIFY(closeTo(pixelColor(m_routines->Picture2, 5, 5), Qt::red));
    const qint64 firstSize = QFileInfo(path).size();
    const QDateTime firstTime = QFileInfo(path).lastModified();

    writeBytes(path, encoded(filled(secondSize, Qt::blue), "BMP"));
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(file.setFileTime(firstTime.addSecs(10), QFileDevice::FileModificationTime));
    }
    if (secondSize == QSize(400, 300))
        QCOMPARE(QFileInfo(path).size(), firstSize);

    m_routines->GetPicture(server(), QStringLiteral("C1"), 1300, found);
    QCOMPARE(m_routines->Picture2.size(), secondCopy);
    QVERIFY(closeTo(pixelColor(m_routines->Picture2, 5, 5), Qt::blue));
}

void TestItemPictures::pipelineGivesSameCopyAsRoutine()
{
    const QString path = picturePath(QStringLiteral("S1.jpg"));
    writeBytes(path, encoded(patterned(QSize(900, 700), 11), "JPG"));
    ThumbnailPipeline pipeline;
    const Thumbnail fast = pipeline.thumbnail(path, 1300);

    m_routines->GetPictureWithDirectFileName(path, 1300);
    QVERIFY(fast.loaded);
    QCOMPARE(fast.pictureSize, QSize(900, 700));
    QCOMPARE(fast.image, m_routines->Picture2);
}

void TestItemPictures::prefetchReportsEveryFileOnce()
{
    QStringList paths;
    for (int i = 0; i < 12; ++i) {
        paths << picturePath(QStringLiteral("F%1.jpg").arg(i));
        writeBytes(paths.last(), encoded(patterned(QSize(320, 240), i), "JPG"));
    }
    paths << picturePath(QStringLiteral("missing.jpg"));
    const QString broken = picturePath(QStringLiteral("broken.jpg"));
    writeBytes(broken, QByteArray("broken"));
    paths << broken;

    ThumbnailPipeline pipeline;
    QMap<QString, int> reports;
    QMap<QString, QImage> images;
    connect(&pipeline, &ThumbnailPipeline::thumbnailReady, this,
            [&](const QString& path, qint32 picSize, const QImage& image) {
                QCOMPARE(picSize, 1300);
                ++reports[path];
                images[path] = image;
            });
    pipeline.setPaused(true);
    pipeline.prefetch(paths, 1300);
    pipeline.prefetch(paths.mid(0, 3), 1300);
    QCOMPARE(pipeline.pendingCount(), paths.size());
    pipeline.setPaused(false);
    pipeline.waitForIdle();
    QCoreApplication::sendPostedEvents();

    QCOMPARE(reports.size(), paths.size());
    for (const QString& path : paths)
        QCOMPARE(reports.value(path), 1);
    QVERIFY(images.value(picturePath(QStringLiteral("missing.jpg"))).isNull());
    QVERIFY(images.value(broken).isNull());
    for (int i = 0; i < 12; ++i) {
        QCOMPARE(images.value(paths.at(i)).size(), QSize(87, 65));
        QCOMPARE(pipeline.thumbnail(paths.at(i), 1300).image, images.value(paths.at(i)));
    }
    QCOMPARE(pipeline.pendingCount(), 0);
}

void TestItemPictures::prioritizedFilesComeFirstAndCancelledNever()
{
    QStringList paths;
    for (int i = 0; i < 6; ++i) {
        paths << picturePath(QStringLiteral("Q%1.jpg").arg(i));
        writeBytes(paths.last(), encoded(filled(QSize(40, 30), Qt::gray), "JPG"));
    }
    ThumbnailPipeline pipeline;
    pipeline.setMaxThreads(1);
    QStringList order;
    connect(&pipeline, &ThumbnailPipeline::thumbnailReady, this,
            [&](const QString& path) { order << QFileInfo(path).fileName(); });

    pipeline.setPaused(true);
    pipeline.prefetch(paths, 1300);
    pipeline.prioritize({paths.at(4), paths.at(5)}, 1300);
    pipeline.cancel({paths.at(1), paths.at(5)}, 1300);
    QCOMPARE(pipeline.pendingCount(), 4);
    pipeline.setPaused(false);
    pipeline.waitForIdle();
    QCoreApplication::sendPostedEvents();

    QCOMPARE(order, QStringList({"Q4.jpg", "Q0.jpg", "Q2.jpg", "Q3.jpg"}));
    QVERIFY(!pipeline.isCached(paths.at(1), 1300));
    QVERIFY(!pipeline.isCached(paths.at(5), 1300));

    pipeline.setPaused(true);
    pipeline.prefetch({paths.at(1)}, 1300);
    pipeline.cancelPending();
    pipeline.setPaused(false);
    pipeline.waitForIdle();
    QCOMPARE(pipeline.pendingCount(), 0);
    QVERIFY(!pipeline.isCached(paths.at(1), 1300));
}

void TestItemPictures::thumbnailTakesPendingFileItself()
{
    const QString path = picturePath(QStringLiteral("T1.jpg"));
    writeBytes(path, encoded(filled(QSize(400, 300), Qt::red), "JPG"));
    ThumbnailPipeline pipeline;
    int reports = 0;
    connect(&pipeline, &ThumbnailPipeline::thumbnailReady, this, [&] { ++reports; });

    pipeline.setPaused(true);
    pipeline.prefetch({path}, 1300);
    const Thumbnail thumbnail = pipeline.thumbnail(path, 1300);
    QVERIFY(thumbnail.loaded);
    QCOMPARE(thumbnail.image.size(), QSize(87, 65));
    QCOMPARE(pipeline.pendingCount(), 0);
    pipeline.setPaused(false);
    pipeline.waitForIdle();
    QCoreApplication::sendPostedEvents();
    QCOMPARE(reports, 0);
}

void TestItemPictures::rejectsInvalidTwipsPerPixel_data()
{
    QTest::addColumn<double>("twipsX");
    QTest::addColumn<double>("twipsY");
    QTest::newRow("zero") << 0.0 << 15.0;
    QTest::newRow("negative") << 15.0 << -15.0;
    QTest::newRow("not a number") << std::numeric_limits<double>::quiet_NaN() << 15.0;
    QTest::newRow("infinite") << 15.0 << std::numeric_limits<double>::infinity();
}

void TestItemPictures::rejectsInvalidTwipsPerPixel()
{
    QFETCH(double, twipsX);
    QFETCH(double, twipsY);
    QVERIFY_THROWS_EXCEPTION(std::invalid_argument, m_routines->setTwipsPerPixel(twipsX, twipsY));
    QCOMPARE(m_routines->twipsPerPixelX(), 15.0);
    QCOMPARE(m_routines->twipsPerPixelY(), 15.0);
}

void TestItemPictures::makeSuite(const QString& itemTable)
{
    m_install = std::make_unique<vesktest::TestInstallation>();
    m_install->useSqlite(QStringLiteral("suite"), QStringLiteral("suite.sqlite"));
    m_install->writeConnections();
    m_suite = std::make_unique<vesktest::TestSqliteDb>(m_install->path("suite.sqlite"),
                                                       QStringList{QStringLiteral("suite")});
    VESK_VERIFY_OK(m_suite->error());
    if (!itemTable.isEmpty()) {
        VESK_VERIFY_OK(vesktest::runSql(m_suite->db(), QStringLiteral("DROP TABLE item;\n")));
        VESK_VERIFY_OK(vesktest::runSql(m_suite->db(), itemTable));
    }
    m_helper = std::make_unique<frmadoHelper>(m_install->installation());
    m_helper->PictureServer = server();
}

void TestItemPictures::addItem(int id, const QVariant& pictureName, const QVariant& partNumber,
                               const QVariant& supplierNumber)
{
    VESK_VERIFY_OK(vesktest::exec(
        m_suite->db(),
        QStringLiteral("INSERT INTO item (internalitemnumber, Item_PictureName, item_partnumber, "
                       "SupplierItemNumber) VALUES (?, ?, ?, ?)"),
        {id, pictureName, partNumber, supplierNumber}));
}

void TestItemPictures::picksCandidateInOrder_data()
{
    QTest::addColumn<QString>("pictureName");
    QTest::addColumn<QString>("partNumber");
    QTest::addColumn<QString>("supplierNumber");
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QString>("expected"); // empty: nothing found

    QTest::newRow("name with extension, first candidate")
        << "ring.jpg"
        << "P1"
        << "S1" << QStringList{"ring.jpg", "ring.jpg.jpg", "P1.jpg"} << "ring.jpg";
    QTest::newRow("name of any format") << "ring.png"
                                        << ""
                                        << "" << QStringList{"ring.png"} << "ring.png";
    QTest::newRow("name without extension, second candidate")
        << "ring"
        << "P1"
        << "S1" << QStringList{"ring.jpg", "P1.jpg"} << "ring.jpg";
    QTest::newRow("part number beats supplier number")
        << "ring"
        << "P1"
        << "S1" << QStringList{"P1.jpg", "S1.jpg"} << "P1.jpg";
    QTest::newRow("supplier number last") << "ring"
                                          << "P1"
                                          << "S1" << QStringList{"S1.jpg"} << "S1.jpg";
    QTest::newRow("none exists") << "ring"
                                 << "P1"
                                 << "S1" << QStringList{"other.jpg"} << "";
}

void TestItemPictures::picksCandidateInOrder()
{
    QFETCH(QString, pictureName);
    QFETCH(QString, partNumber);
    QFETCH(QString, supplierNumber);
    QFETCH(QStringList, files);
    QFETCH(QString, expected);
    makeSuite();
    for (const QString& file : files)
        writeBytes(picturePath(file),
                   encoded(filled(QSize(400, 300), Qt::red), file.endsWith("png") ? "PNG" : "JPG"));
    addItem(501, pictureName, partNumber, supplierNumber);

    QString path;
    const bool found = m_helper->pictures().findPictureFile(501, path);
    QCOMPARE(found, !expected.isEmpty());
    QCOMPARE(path, expected.isEmpty() ? QString() : picturePath(expected));

    bool flag = !found;
    m_helper->GetPictureByItemID(501, 1300, flag);
    QCOMPARE(flag, found);
    QCOMPARE(m_helper->pictures().Picture2.isNull(), !found);
    QCOMPARE(m_helper->pictures().foundPath(), path);
}

void TestItemPictures::pictureServerWithoutSeparatorFindsNothing()
{
    makeSuite();
    writeBytes(picturePath(QStringLiteral("ring.jpg")),
               encoded(filled(QSize(400, 300), Qt::red), "JPG"));
    addItem(7, QStringLiteral("ring.jpg"), QStringLiteral("ring"), QVariant());
    m_helper->PictureServer = m_pictures->path();

    bool found = true;
    m_helper->GetPictureByItemID(7, 1300, found);
    QVERIFY(!found);
    QVERIFY(m_helper->pictures().Picture2.isNull());

    // A file named like the folder and the name joined is what it finds instead.
    writeBytes(m_pictures->path() + QStringLiteral("ring.jpg"),
               encoded(filled(QSize(400, 300), Qt::blue), "JPG"));
    m_helper->GetPictureByItemID(7, 1300, found);
    QVERIFY(found);
    QCOMPARE(m_helper->pictures().foundPath(), m_pictures->path() + QStringLiteral("ring.jpg"));
    QFile::remove(m_pictures->path() + QStringLiteral("ring.jpg"));
}

void TestItemPictures::emptyOrMissingColumnsGiveNoPicture_data()
{
    QTest::addColumn<QString>("table");
    QTest::addColumn<QString>("insert");
    QTest::addColumn<QString>("expected"); // empty: nothing found

    const QString full =
        QStringLiteral("CREATE TABLE item (internalitemnumber INTEGER, Item_PictureName TEXT, "
                       "item_partnumber TEXT, SupplierItemNumber TEXT);\n");
    QTest::newRow("no row") << full << ""
                            << "";
    QTest::newRow("all null") << full << "INSERT INTO item VALUES (9, NULL, NULL, NULL);\n"
                              << "";
    QTest::newRow("all empty") << full << "INSERT INTO item VALUES (9, '', '', '');\n"
                               << "";
    QTest::newRow("null name, part number used")
        << full << "INSERT INTO item VALUES (9, NULL, 'P9', NULL);\n"
        << "P9.jpg";
    QTest::newRow("numeric part number")
        << full << "INSERT INTO item VALUES (9, NULL, 1234, NULL);\n"
        << "1234.jpg";
    QTest::newRow("no name column")
        << "CREATE TABLE item (internalitemnumber INTEGER, SupplierItemNumber TEXT);\n"
        << "INSERT INTO item VALUES (9, 'S9');\n"
        << "S9.jpg";
    QTest::newRow("only the id column") << "CREATE TABLE item (internalitemnumber INTEGER);\n"
                                        << "INSERT INTO item VALUES (9);\n"
                                        << "";
}

void TestItemPictures::emptyOrMissingColumnsGiveNoPicture()
{
    QFETCH(QString, table);
    QFETCH(QString, insert);
    QFETCH(QString, expected);
    makeSuite(table);
    if (!insert.isEmpty())
        VESK_VERIFY_OK(vesktest::runSql(m_suite->db(), insert));
    // Files that only empty names would reach.
    writeBytes(picturePath(QStringLiteral(".jpg")), encoded(filled(QSize(4, 3), Qt::red), "JPG"));
    for (const QString& name :
         {QStringLiteral("P9.jpg"), QStringLiteral("1234.jpg"), QStringLiteral("S9.jpg")})
        writeBytes(picturePath(name), encoded(filled(QSize(4, 3), Qt::red), "JPG"));

    bool found = expected.isEmpty();
    m_helper->GetPictureByItemID(9, 1300, found);
    QCOMPARE(found, !expected.isEmpty());
    QCOMPARE(m_helper->pictures().foundPath(),
             expected.isEmpty() ? QString() : picturePath(expected));
}

void TestItemPictures::sendsLookupQueryToAdoGetPic_data()
{
    QTest::addColumn<int>("itemId");
    QTest::addColumn<QString>("query");
    QTest::newRow("positive") << 42 << "SELECT * FROM item WHERE internalitemnumber=42";
    QTest::newRow("negative") << -7 << "SELECT * FROM item WHERE internalitemnumber=-7";
    QTest::newRow("largest") << 2147483647
                             << "SELECT * FROM item WHERE internalitemnumber=2147483647";
}

void TestItemPictures::sendsLookupQueryToAdoGetPic()
{
    QFETCH(int, itemId);
    QFETCH(QString, query);
    makeSuite();
    m_helper->adoGetPic.CommandType = 2;
    bool found = true;
    m_helper->GetPictureByItemID(itemId, 1300, found);
    QVERIFY(!found);
    QCOMPARE(m_helper->adoGetPic.RecordSource, query);
    QCOMPARE(m_helper->adoGetPic.CommandType, 1);
}

void TestItemPictures::failingLookupReachesCaller()
{
    makeSuite(QStringLiteral("CREATE TABLE stock (internalitemnumber INTEGER);\n"));
    writeBytes(picturePath(QStringLiteral("ring.jpg")),
               encoded(filled(QSize(400, 300), Qt::red), "JPG"));
    bool found = true;
    QVERIFY_THROWS_EXCEPTION(DataError, m_helper->GetPictureByItemID(1, 1300, found));
    // The flag is left alone when the lookup fails.
    QVERIFY(found);
}

void TestItemPictures::lookupFindsUnreadableFileButShowsBlank()
{
    makeSuite();
    writeBytes(picturePath(QStringLiteral("ring.jpg")), QByteArray());
    addItem(3, QStringLiteral("ring.jpg"), QVariant(), QVariant());
    bool found = false;
    m_helper->GetPictureByItemID(3, 1300, found);
    QVERIFY(found);
    QVERIFY(m_helper->pictures().Picture2.isNull());
    QVERIFY(m_helper->pictures().Image3.isNull());
}

QTEST_GUILESS_MAIN(TestItemPictures)
#include "tst_itempictures.moc"
