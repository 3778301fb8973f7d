#include "windows/LogoFit.h"
#include "windows/Twips.h"
#include "windows/frmLOGO.h"

#include <QImage>
#include <QPointer>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

namespace {

const QColor PictureColour(200, 160, 40);

// Writes a picture of the given pixel size; the format follows the suffix.
QString writePicture(const QTemporaryDir& dir, const QString& name, QSize size)
{
    QImage picture(size, QImage::Format_RGB32);
    picture.fill(PictureColour);
    const QString path = dir.filePath(name);
    if (!picture.save(path))
        qFatal("cannot write the test picture %s", qPrintable(path));
    return path;
}

std::unique_ptr<frmLOGO> newLogoWindow()
{
    auto window = std::make_unique<frmLOGO>();
    window->setAttribute(Qt::WA_DeleteOnClose, false);
    return window;
}

} // namespace

class LogoWindowTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void fitsPictureIntoBoxKeepingProportion_data();
    void fitsPictureIntoBoxKeepingProportion();
    void textChangeLoadsFitsAndSizesWindow_data();
    void textChangeLoadsFitsAndSizesWindow();
    void settingsReaderLoadLeavesWindowHidden_data();
    void settingsReaderLoadLeavesWindowHidden();
    void onlyBackgroundClickClosesWindow_data();
    void onlyBackgroundClickClosesWindow();
    void maximisedWindowTakesItsSizeWhenRestored();
};

void LogoWindowTest::initTestCase()
{
    frmLOGO probe;
    // The pixel rows below are worked out for 15 twips per pixel.
    const Twips twips = Twips::of(&probe);
    if (twips.perPixelX() != 15.0 || twips.perPixelY() != 15.0)
        QSKIP("the screen is not at 96 dots per inch");
}

void LogoWindowTest::fitsPictureIntoBoxKeepingProportion_data()
{
    QTest::addColumn<QSizeF>("picture");
    QTest::addColumn<QSizeF>("fitted"); // empty: refused
    QTest::addColumn<QSizeF>("window");
    QTest::newRow("wide 3.2") << QSizeF(1600, 500) << QSizeF(8000, 2500) << QSizeF(9000, 4000);
    QTest::newRow("tall 0.5") << QSizeF(1000, 2000) << QSizeF(2500, 5000) << QSizeF(3500, 6500);
    QTest::newRow("small enlarged") << QSizeF(800, 500) << QSizeF(8000, 5000) << QSizeF(9000, 6500);
    QTest::newRow("large shrunk") << QSizeF(16000, 10000) << QSizeF(8000, 5000)
                                  << QSizeF(9000, 6500);
    QTest::newRow("square") << QSizeF(300, 300) << QSizeF(5000, 5000) << QSizeF(6000, 6500);
    QTest::newRow("no height") << QSizeF(500, 0) << QSizeF() << QSizeF();
    QTest::newRow("no width") << QSizeF(0, 500) << QSizeF() << QSizeF();
}

void LogoWindowTest::fitsPictureIntoBoxKeepingProportion()
{
    QFETCH(QSizeF, picture);
    QFETCH(QSizeF, fitted);
    QFETCH(QSizeF, window);
    const auto result = LogoFit::fitPicture(picture);
    QCOMPARE(result.has_value(), !fitted.isEmpty());
    if (result) {
        QCOMPARE(*result, fitted);
        QCOMPARE(LogoFit::windowSize(*result), window);
    }
}

void LogoWindowTest::textChangeLoadsFitsAndSizesWindow_data()
{
    QTest::addColumn<QStringList>("files"); // typed one after the other
    QTest::addColumn<QSize>("imagePixels");
    QTest::addColumn<QSize>("windowPixels");
    // 160 x 50 px = 2400 x 750 twips, proportion 3.2: 8000 x 2500, window 9000 x 4000.
    QTest::newRow("wide png") << QStringList{"wide.png"} << QSize(533, 167) << QSize(600, 267);
    // 1500 x 3000 twips: 2500 x 5000; the window follows the image in whole pixels.
    QTest::newRow("tall jpeg") << QStringList{"tall.jpg"} << QSize(167, 333) << QSize(234, 433);
    // 600 x 375 twips enlarged to 8000 x 5000, window 9000 x 6500.
    QTest::newRow("small bmp") << QStringList{"small.bmp"} << QSize(533, 333) << QSize(600, 433);
    // Failures keep the design image, 2895 x 1095 twips: window 3895 x 2595.
    QTest::newRow("missing file") << QStringList{"none.jpg"} << QSize(193, 73) << QSize(260, 173);
    QTest::newRow("not a picture") << QStringList{"notes.jpg"} << QSize(193, 73) << QSize(260, 173);
    // A fitted image keeps its size without its picture.
    QTest::newRow("missing after a picture")
        << QStringList{"wide.png", "none.png"} << QSize(533, 167) << QSize(600, 267);
}

void LogoWindowTest::textChangeLoadsFitsAndSizesWindow()
{
    QFETCH(QStringList, files);
    QFETCH(QSize, imagePixels);
    QFETCH(QSize, windowPixels);
    QTemporaryDir dir;
    writePicture(dir, QStringLiteral("wide.png"), QSize(160, 50));
    writePicture(dir, QStringLiteral("tall.jpg"), QSize(100, 200));
    writePicture(dir, QStringLiteral("small.bmp"), QSize(40, 25));
    QFile notes(dir.filePath(QStringLiteral("notes.jpg")));
    QVERIFY(notes.open(QIODevice::WriteOnly) && notes.write("not a picture\r\n") > 0);
    notes.close();

    const auto window = newLogoWindow();
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    for (const QString& file : files) {
        window->txtLogo->selectAll();
        QTest::keyClicks(window->txtLogo, dir.filePath(file));
    }

    const bool loaded = QFile::exists(dir.filePath(files.last())) && files.last() != "notes.jpg";
    QCOMPARE(window->imgLOGO->hasPicture(), loaded);
    QCOMPARE(window->imgLOGO->geometry(), QRect(QPoint(8, 40), imagePixels));
    QCOMPARE(window->frameGeometry().size(), windowPixels);
    if (loaded) {
        // Stretched: the picture fills the image box (JPEG loses a little colour).
        const QImage shown = window->imgLOGO->grab().toImage();
        const QColor corner = shown.pixelColor(shown.width() - 2, shown.height() - 2);
        QVERIFY(qAbs(corner.red() - PictureColour.red()) <= 4 &&
                qAbs(corner.blue() - PictureColour.blue()) <= 4);
    }
}

void LogoWindowTest::settingsReaderLoadLeavesWindowHidden_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<bool>("loaded");
    QTest::newRow("jpeg") << "logo.jpg" << true;
    QTest::newRow("empty name") << "" << false;
    QTest::newRow("missing file") << "missing.png" << false;
}

void LogoWindowTest::settingsReaderLoadLeavesWindowHidden()
{
    QFETCH(QString, fileName);
    QFETCH(bool, loaded);
    QTemporaryDir dir;
    writePicture(dir, QStringLiteral("logo.jpg"), QSize(120, 90));
    const auto window = newLogoWindow();
    // A stretched picture from before must not survive.
    window->txtLogo->setText(writePicture(dir, QStringLiteral("old.png"), QSize(20, 20)));
    const QSize windowBefore = window->size();

    window->loadLogoPicture(fileName.isEmpty() ? QString() : dir.filePath(fileName));
    QCOMPARE(window->imgLOGO->hasPicture(), loaded);
    QVERIFY(!window->imgLOGO->stretch());
    if (loaded)
        QCOMPARE(window->imgLOGO->size(), QSize(120, 90));
    QCOMPARE(window->size(), windowBefore);
    QVERIFY(window->txtLogo->text().endsWith(QStringLiteral("old.png")));
    QVERIFY(!window->isVisible());
}

void LogoWindowTest::onlyBackgroundClickClosesWindow_data()
{
    QTest::addColumn<QString>("control"); // empty: the window's background
    QTest::addColumn<int>("button");
    QTest::addColumn<bool>("closes");
    QTest::newRow("background") << "" << int(Qt::LeftButton) << true;
    QTest::newRow("background, right button") << "" << int(Qt::RightButton) << false;
    QTest::newRow("text box") << "txtLogo" << int(Qt::LeftButton) << false;
    QTest::newRow("image") << "imgLOGO" << int(Qt::LeftButton) << false;
}

void LogoWindowTest::onlyBackgroundClickClosesWindow()
{
    QFETCH(QString, control);
    QFETCH(int, button);
    QFETCH(bool, closes);
    QPointer<frmLOGO> window = new frmLOGO;
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window));
    QWidget* target = control.isEmpty() ? window.data() : window->findChild<QWidget*>(control);
    QVERIFY(target);
    QTest::mouseClick(target, Qt::MouseButton(button), {}, QPoint(3, 3));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCOMPARE(window.isNull(), closes);
    delete window;
}

void LogoWindowTest::maximisedWindowTakesItsSizeWhenRestored()
{
    QTemporaryDir dir;
    const auto window = newLogoWindow();
    window->showMaximized();
    QTRY_VERIFY(window->isMaximized());
    const QSize maximised = window->frameGeometry().size();

    window->txtLogo->setText(writePicture(dir, QStringLiteral("wide.png"), QSize(160, 50)));
    QVERIFY(window->isMaximized());
    QCOMPARE(window->frameGeometry().size(), maximised);

    window->showNormal();
    QTRY_COMPARE(window->frameGeometry().size(), QSize(600, 267));
}

QTEST_MAIN(LogoWindowTest)
#include "tst_logowindow.moc"
