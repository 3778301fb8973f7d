#include "data/DataError.h"
#include "data/ItemPictures.h"
#include "data/frmadoHelper.h"

#include "TestSupport.h"

#include <QBuffer>
#include <QImageWriter>
#include <QPainter>
#include <QRandomGenerator>
#include <QtTest>

#include <memory>

namespace {

bool closeTo(const QImage& image, int x, int y, const QColor& expected)
{
    const QColor c(image.pixel(x, y));
    return qAbs(c.red() - expected.red()) <= 12 && qAbs(c.green() - expected.green()) <= 12 &&
           qAbs(c.blue() - expected.blue()) <= 12;
}

QImage filled(QSize size, const QColor& color)
{
    QImage image(size, QImage::Format_ARGB32);
    image.fill(color);
    return image;
}

QImage patterned(QSize size, quint32 seed)
{
    QImage image = filled(size, QColor(200, 180, 150));
    QPainter painter(&image);
    QRandomGenerator random(seed);
    for (int i = 0; i < 40; ++i)
        painter.fillRect(random.bounded(size.width()), random.bounded(size.height()),
                         size.width() / 6, size.height() / 6,
                         QColor(random.bounded(256), random.bounded(256), random.bounded(256)));
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

// A JPEG whose frame header claims another size than its data holds.
QByteArray withDeclaredSize(QByteArray jpeg, int width, int height)
{
    const int frame = jpeg.indexOf(QByteArray("\xFF\xC0", 2));
    jpeg[frame + 5] = char(height >> 8);
    jpeg[frame + 6] = char(height & 0xFF);
    jpeg[frame + 7] = char(width >> 8);
    jpeg[frame + 8] = char(width & 0xFF);
    return jpeg;
}

} // namespace

class TestItemPictures : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void paintsCopyOfReadablePicture_data();
    void paintsCopyOfReadablePicture();
    void unreadableFileIsFoundButBlank_data();
    void unreadableFileIsFoundButBlank();
    void directFileNameLeavesPictureClearedOnFailure();
    void reducedDecodeLooksLikeFullDecode();
    void recognisesCompleteJpegStreams_data();
    void recognisesCompleteJpegStreams();
    void cacheServesRelistAndPicksUpChangedFile_data();
    void cacheServesRelistAndPicksUpChangedFile();
    void prefetchReportsEveryFileOnceWithRoutinesCopy();
    void prioritizedFilesComeFirstAndCancelledNever();
    void picksCandidateInOrder_data();
    void picksCandidateInOrder();
    void pictureServerWithoutSeparatorFindsNothing();
    void emptyOrMissingColumnsGiveNoPicture_data();
    void emptyOrMissingColumnsGiveNoPicture();
    void sendsLookupQueryToAdoGetPic();
    void failingLookupReachesCaller();

private:
    QString picture(const QString& name) const { return m_dir->filePath(name); }
    void write(const QString& name, const QByteArray& bytes) const;
    // A helper on a fresh installation whose suite database is SQLite.
    void makeSuite(const QString& itemTable = QString());

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_server; // with its trailing separator
    std::unique_ptr<vesktest::TestInstallation> m_install;
    std::unique_ptr<vesktest::TestSqliteDb> m_suite;
    std::unique_ptr<frmadoHelper> m_helper;
};

void TestItemPictures::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_server = m_dir->path() + QLatin1Char('/');
    makeSuite();
}

void TestItemPictures::cleanup()
{
    m_helper.reset();
    m_suite.reset();
    m_install.reset();
    m_dir.reset();
}

void TestItemPictures::write(const QString& name, const QByteArray& bytes) const
{
    QFile file(picture(name));
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), bytes.size());
}

void TestItemPictures::makeSuite(const QString& itemTable)
{
    m_helper.reset();
    m_install = std::make_unique<vesktest::TestInstallation>();
    m_install->useSqlite(QStringLiteral("suite"), QStringLiteral("suite.sqlite"));
    m_install->writeConnections();
    m_suite = std::make_unique<vesktest::TestSqliteDb>(m_install->path("suite.sqlite"),
                                                       QStringList{QStringLiteral("suite")});
    VESK_VERIFY_OK(m_suite->error());
    if (!itemTable.isEmpty())
        VESK_VERIFY_OK(vesktest::runSql(m_suite->db(), "DROP TABLE item;\n" + itemTable));
    m_helper = std::make_unique<frmadoHelper>(m_install->installation());
    m_helper->PictureServer = m_server;
}

void TestItemPictures::paintsCopyOfReadablePicture_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<double>("twips");
    QTest::addColumn<QSize>("copy");
    QTest::addColumn<QSizeF>("image3");
    QTest::addColumn<double>("canvasWidth");
    QTest::newRow("400x300 example") << encoded(filled(QSize(400, 300), Qt::blue)) << 15.0
                                     << QSize(87, 65) << QSizeF(1300, 975) << 9509.6621;
    QTest::newRow("tall") << encoded(filled(QSize(300, 400), Qt::blue)) << 15.0 << QSize(65, 87)
                          << QSizeF(975, 1300) << 7132.2466;
    QTest::newRow("120 dpi display") << encoded(filled(QSize(400, 300), Qt::blue)) << 12.0
                                     << QSize(108, 81) << QSizeF(1300, 975) << 9831.8908;
    // Transparent parts show the window background.
    QImage halfClear = filled(QSize(400, 300), Qt::transparent);
    QPainter(&halfClear).fillRect(QRect(0, 0, 200, 300), Qt::blue);
    QTest::newRow("png with transparency")
        << encoded(halfClear, "PNG") << 15.0 << QSize(87, 65) << QSizeF(1300, 975) << 9509.6621;
}

void TestItemPictures::paintsCopyOfReadablePicture()
{
    QFETCH(QByteArray, file);
    QFETCH(double, twips);
    QFETCH(QSize, copy);
    QFETCH(QSizeF, image3);
    QFETCH(double, canvasWidth);
    ItemPictures& pictures = m_helper->pictures();
    pictures.setTwipsPerPixel(twips, twips);
    pictures.setBackground(QColor(10, 200, 30));
    write(QStringLiteral("AB1.jpg"), file);

    bool found = false;
    m_helper->GetPicture(m_server, QStringLiteral("AB1"), 1300, found);
    QVERIFY(found);
    QCOMPARE(pictures.Picture2.size(), copy);
    QCOMPARE(pictures.Picture2.format(), QImage::Format_RGB32);
    QVERIFY(closeTo(pictures.Picture2, 2, 2, Qt::blue));
    if (QByteArray(QTest::currentDataTag()).startsWith("png"))
        QVERIFY(closeTo(pictures.Picture2, 80, 60, QColor(10, 200, 30)));
    QCOMPARE(pictures.image3Size(), image3);
    QCOMPARE(pictures.image3Position(), QPointF(6000, 500));
    QVERIFY(qAbs(pictures.canvasSize().width() - canvasWidth) < 1e-3);
}

void TestItemPictures::unreadableFileIsFoundButBlank_data()
{
    QTest::addColumn<QByteArray>("content");
    const QByteArray jpeg = encoded(patterned(QSize(400, 300), 7));
    const QByteArray png = encoded(patterned(QSize(400, 300), 7), "PNG");
    QTest::newRow("zero bytes") << QByteArray();
    QTest::newRow("text file") << QByteArray("SKU,Description\r\nAB100,Ring\r\n");
    QTest::newRow("jpeg header then junk")
        << QByteArray("\xFF\xD8\xFF\xE0\x00\x10JFIF\x00", 11) + QByteArray(3000, 'Z');
    QTest::newRow("jpeg cut in its data") << jpeg.left(jpeg.size() * 6 / 10);
    QTest::newRow("jpeg cut in its header") << jpeg.left(200);
    QTest::newRow("png cut in its data") << png.left(png.size() / 2);
    QTest::newRow("jpeg declaring 20000 x 20000")
        << withDeclaredSize(encoded(filled(QSize(64, 48), Qt::green)), 20000, 20000);
}

void TestItemPictures::unreadableFileIsFoundButBlank()
{
    QFETCH(QByteArray, content);
    write(QStringLiteral("BAD.jpg"), content);
    ItemPictures& pictures = m_helper->pictures();
    bool found = false;
    pictures.GetPicture(m_server, QStringLiteral("BAD"), 1300, found);
    QVERIFY(found);
    QVERIFY(pictures.Image3.isNull());
    QVERIFY(pictures.Picture2.isNull());
    QVERIFY(!pictures.pictureSize().isValid());
}

void TestItemPictures::directFileNameLeavesPictureClearedOnFailure()
{
    ItemPictures& pictures = m_helper->pictures();
    write(QStringLiteral("good.jpg"), encoded(filled(QSize(400, 300), Qt::red)));
    write(QStringLiteral("bad.jpg"), "not a picture");
    for (const QString& next : {picture("bad.jpg"), picture("missing.jpg"), QString()}) {
        pictures.GetPictureWithDirectFileName(picture("good.jpg"), 1300);
        QCOMPARE(pictures.Picture2.size(), QSize(87, 65));
        pictures.GetPictureWithDirectFileName(next, 1300);
        QVERIFY2(pictures.Picture2.isNull(), qPrintable(next));
        QVERIFY(pictures.Image3.isNull());
    }
}

void TestItemPictures::reducedDecodeLooksLikeFullDecode()
{
    write(QStringLiteral("big.jpg"), encoded(patterned(QSize(1600, 1200), 3)));
    ItemPictures& pictures = m_helper->pictures();
    pictures.GetPictureWithDirectFileName(picture("big.jpg"), 1300);
    const QImage full = QImage(picture("big.jpg"))
                            .scaled(87, 65, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                            .convertToFormat(QImage::Format_RGB32);
    QCOMPARE(pictures.Picture2.size(), full.size());
    double difference = 0;
    for (int y = 0; y < full.height(); ++y)
        for (int x = 0; x < full.width(); ++x) {
            const QRgb a = full.pixel(x, y), b = pictures.Picture2.pixel(x, y);
            difference +=
                qAbs(qRed(a) - qRed(b)) + qAbs(qGreen(a) - qGreen(b)) + qAbs(qBlue(a) - qBlue(b));
        }
    difference /= 3.0 * full.width() * full.height();
    QVERIFY2(difference < 3.0, qPrintable(QString::number(difference)));
}

void TestItemPictures::recognisesCompleteJpegStreams_data()
{
    QTest::addColumn<QByteArray>("hex");
    QTest::addColumn<bool>("complete");
    QTest::newRow("one scan") << QByteArray("FFD8 FFDB00040000 FFDA00040000 1234FF0056 FFD9")
                              << true;
    QTest::newRow("end marker missing") << QByteArray("FFD8 FFDA00040000 1234FF0056") << false;
    QTest::newRow("cut inside a segment") << QByteArray("FFD8 FFDB00100000") << false;
    QTest::newRow("restart markers in the data")
        << QByteArray("FFD8 FFDA00040000 12FFD034FFD156 FFD9") << true;
    QTest::newRow("end marker inside an application segment only")
        << QByteArray("FFD8 FFE10006FFD90000 FFDA00040000 1234") << false;
    QTest::newRow("fill bytes before the end")
        << QByteArray("FFD8 FFDA00040000 12 FFFFFFD9") << true;
    QTest::newRow("second scan cut")
        << QByteArray("FFD8 FFDA00040000 12 FFC400040000 FFDA00040000 34") << false;
    QTest::newRow("data after the end")
        << QByteArray("FFD8 FFDA00040000 12 FFD9 000000186674") << true;
}

void TestItemPictures::recognisesCompleteJpegStreams()
{
    QFETCH(QByteArray, hex);
    QFETCH(bool, complete);
    QCOMPARE(jpegIsComplete(QByteArray::fromHex(hex.replace(' ', ""))), complete);
}

void TestItemPictures::cacheServesRelistAndPicksUpChangedFile_data()
{
    QTest::addColumn<QSize>("secondSize");
    QTest::addColumn<QSize>("secondCopy");
    // BMP: same dimensions give the same file size, so only the time tells.
    QTest::newRow("new content, same file size") << QSize(400, 300) << QSize(87, 65);
    QTest::newRow("new content, other size") << QSize(300, 400) << QSize(65, 87);
}

void TestItemPictures::cacheServesRelistAndPicksUpChangedFile()
{
    QFETCH(QSize, secondSize);
    QFETCH(QSize, secondCopy);
    ItemPictures& pictures = m_helper->pictures();
    write(QStringLiteral("C1.jpg"), encoded(filled(QSize(400, 300), Qt::red), "BMP"));
    bool found = false;
    pictures.GetPicture(m_server, QStringLiteral("C1"), 1300, found);
    const QImage first = pictures.Picture2;
    pictures.GetPicture(m_server, QStringLiteral("C1"), 1300, found);
    QCOMPARE(pictures.Picture2.cacheKey(), first.cacheKey()); // not decoded again

    const QDateTime stamp = QFileInfo(picture("C1.jpg")).lastModified();
    write(QStringLiteral("C1.jpg"), encoded(filled(secondSize, Qt::blue), "BMP"));
    QFile file(picture("C1.jpg"));
    QVERIFY(file.open(QIODevice::ReadWrite));
    QVERIFY(file.setFileTime(stamp.addSecs(10), QFileDevice::FileModificationTime));
    pictures.GetPicture(m_server, QStringLiteral("C1"), 1300, found);
    QCOMPARE(pictures.Picture2.size(), secondCopy);
    QVERIFY(closeTo(pictures.Picture2, 5, 5, Qt::blue));
}

void TestItemPictures::prefetchReportsEveryFileOnceWithRoutinesCopy()
{
    QStringList paths;
    for (int i = 0; i < 10; ++i) {
        paths << picture(QStringLiteral("F%1.jpg").arg(i));
        write(QStringLiteral("F%1.jpg").arg(i), encoded(patterned(QSize(320, 240), i)));
    }
    write(QStringLiteral("broken.jpg"), "broken");
    paths << picture("missing.jpg") << picture("broken.jpg");

    ThumbnailPipeline pipeline;
    QMap<QString, QList<QImage>> reports;
    connect(&pipeline, &ThumbnailPipeline::thumbnailReady, this,
            [&](const QString& path, qint32, const QImage& image) { reports[path] << image; });
    pipeline.setPaused(true);
    pipeline.prefetch(paths, 1300);
    pipeline.prefetch(paths.mid(0, 3), 1300); // already queued
    pipeline.setPaused(false);
    pipeline.waitForIdle();
    QCoreApplication::sendPostedEvents();

    QCOMPARE(reports.size(), paths.size());
    for (int i = 0; i < paths.size(); ++i) {
        QCOMPARE(reports.value(paths.at(i)).size(), 1);
        m_helper->GetPictureWithDirectFileName(paths.at(i), 1300);
        QCOMPARE(reports.value(paths.at(i)).first(), m_helper->pictures().Picture2);
        QCOMPARE(pipeline.thumbnail(paths.at(i), 1300).image, m_helper->pictures().Picture2);
    }
}

void TestItemPictures::prioritizedFilesComeFirstAndCancelledNever()
{
    QStringList paths;
    for (int i = 0; i < 6; ++i) {
        paths << picture(QStringLiteral("Q%1.jpg").arg(i));
        write(QStringLiteral("Q%1.jpg").arg(i), encoded(filled(QSize(40, 30), Qt::gray)));
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
    // Taken by the caller: decoded at once, not reported.
    QCOMPARE(pipeline.thumbnail(paths.at(3), 1300).image.size(), QSize(87, 65));
    QCOMPARE(pipeline.pendingCount(), 3);
    pipeline.setPaused(false);
    pipeline.waitForIdle();
    QCoreApplication::sendPostedEvents();

    QCOMPARE(order, QStringList({"Q4.jpg", "Q0.jpg", "Q2.jpg"}));
    QVERIFY(!pipeline.isCached(paths.at(1), 1300));
    QVERIFY(!pipeline.isCached(paths.at(5), 1300));
}

void TestItemPictures::picksCandidateInOrder_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("part");
    QTest::addColumn<QString>("supplier");
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QString>("expected"); // empty: nothing found
    QTest::newRow("name with .jpg, first candidate")
        << "ring.jpg"
        << "P1"
        << "S1" << QStringList{"ring.jpg", "ring.jpg.jpg", "P1.jpg"} << "ring.jpg";
    QTest::newRow("name of any format") << "ring.png"
                                        << "P1"
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
    QFETCH(QString, name);
    QFETCH(QString, part);
    QFETCH(QString, supplier);
    QFETCH(QStringList, files);
    QFETCH(QString, expected);
    for (const QString& file : files)
        write(file, encoded(filled(QSize(40, 30), Qt::red), file.endsWith("png") ? "PNG" : "JPG"));
    VESK_VERIFY_OK(vesktest::exec(m_suite->db(),
                                  "INSERT INTO item (internalitemnumber, Item_PictureName, "
                                  "item_partnumber, SupplierItemNumber) VALUES (501, ?, ?, ?)",
                                  {name, part, supplier}));

    QString path;
    const bool found = m_helper->pictures().findPictureFile(501, path);
    QCOMPARE(path, expected.isEmpty() ? QString() : picture(expected));
    bool flag = !found;
    m_helper->GetPictureByItemID(501, 1300, flag);
    QCOMPARE(flag, !expected.isEmpty());
    QCOMPARE(m_helper->pictures().Picture2.isNull(), expected.isEmpty());
}

void TestItemPictures::pictureServerWithoutSeparatorFindsNothing()
{
    write(QStringLiteral("ring.jpg"), encoded(filled(QSize(40, 30), Qt::red)));
    VESK_VERIFY_OK(vesktest::exec(
        m_suite->db(),
        "INSERT INTO item (internalitemnumber, Item_PictureName) VALUES (7, 'ring')"));
    m_helper->PictureServer = m_dir->path();
    bool found = true;
    m_helper->GetPictureByItemID(7, 1300, found);
    QVERIFY(!found);
    QVERIFY(m_helper->pictures().Picture2.isNull());
}

void TestItemPictures::emptyOrMissingColumnsGiveNoPicture_data()
{
    QTest::addColumn<QString>("table");
    QTest::addColumn<QString>("expected"); // empty: nothing found
    const QString columns = "CREATE TABLE item (internalitemnumber INTEGER, Item_PictureName TEXT,"
                            " item_partnumber TEXT, SupplierItemNumber TEXT);\n";
    QTest::newRow("no row") << columns << "";
    QTest::newRow("all null") << columns + "INSERT INTO item VALUES (9, NULL, NULL, NULL);\n"
                              << "";
    QTest::newRow("all empty") << columns + "INSERT INTO item VALUES (9, '', '', '');\n"
                               << "";
    QTest::newRow("null name, part number")
        << columns + "INSERT INTO item VALUES (9, NULL, 'P9', NULL);\n"
        << "P9.jpg";
    QTest::newRow("numeric part number")
        << columns + "INSERT INTO item VALUES (9, NULL, 1234, NULL);\n"
        << "1234.jpg";
    QTest::newRow("no name column") << "CREATE TABLE item (internalitemnumber INTEGER, "
                                       "SupplierItemNumber TEXT);\nINSERT INTO item VALUES (9, "
                                       "'S9');\n"
                                    << "S9.jpg";
}

void TestItemPictures::emptyOrMissingColumnsGiveNoPicture()
{
    QFETCH(QString, table);
    QFETCH(QString, expected);
    makeSuite(table);
    // ".jpg" is what empty names would reach.
    for (const char* name : {".jpg", "P9.jpg", "1234.jpg", "S9.jpg"})
        write(QString::fromLatin1(name), encoded(filled(QSize(4, 3), Qt::red)));
    bool found = expected.isEmpty();
    m_helper->GetPictureByItemID(9, 1300, found);
    QCOMPARE(found, !expected.isEmpty());
    QCOMPARE(m_helper->pictures().foundPath(), expected.isEmpty() ? QString() : picture(expected));
}

void TestItemPictures::sendsLookupQueryToAdoGetPic()
{
    for (const qint32 id : {42, -7}) {
        m_helper->adoGetPic.CommandType = 2;
        bool found = true;
        m_helper->GetPictureByItemID(id, 1300, found);
        QVERIFY(!found);
        QCOMPARE(m_helper->adoGetPic.RecordSource,
                 QStringLiteral("SELECT * FROM item WHERE internalitemnumber=%1").arg(id));
        QCOMPARE(m_helper->adoGetPic.CommandType, 1);
    }
}

void TestItemPictures::failingLookupReachesCaller()
{
    makeSuite(QStringLiteral("CREATE TABLE stock (internalitemnumber INTEGER);\n"));
    bool found = true;
    QVERIFY_THROWS_EXCEPTION(DataError, m_helper->GetPictureByItemID(1, 1300, found));
    QVERIFY(found); // left alone
}

QTEST_GUILESS_MAIN(TestItemPictures)
#include "tst_itempictures.moc"
