#include "windows/LogoFit.h"
#include "windows/frmLOGO.h"

#include <QImage>
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
} // namespace

class LogoWindowTest : public QObject
{
    Q_OBJECT
private slots:
    void fitsPictureIntoBoxKeepingProportion_data()
    {
        QTest::addColumn<QSizeF>("picture");
        QTest::addColumn<QSizeF>("fitted"); // empty: refused
        QTest::addColumn<QSizeF>("window");
        QTest::newRow("wide 3.2") << QSizeF(1600, 500) << QSizeF(8000, 2500) << QSizeF(9000, 4000);
        QTest::newRow("tall 0.5") << QSizeF(1000, 2000) << QSizeF(2500, 5000) << QSizeF(3500, 6500);
        QTest::newRow("small enlarged")
            << QSizeF(800, 500) << QSizeF(8000, 5000) << QSizeF(9000, 6500);
        QTest::newRow("no height") << QSizeF(500, 0) << QSizeF() << QSizeF();
    }
    void fitsPictureIntoBoxKeepingProportion()
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

    void textChangeLoadsFitsAndSizesWindow_data()
    {
        QTest::addColumn<QStringList>("files"); // typed one after the other
        QTest::addColumn<QSize>("imagePixels");
        QTest::addColumn<QSize>("windowPixels");
        // 160 x 50 px = 2400 x 750 twips: 8000 x 2500, window 9000 x 4000.
        QTest::newRow("wide png") << QStringList{"wide.png"} << QSize(533, 167) << QSize(600, 267);
        // The design image, 2895 x 1095 twips: window 3895 x 2595.
        QTest::newRow("missing file")
            << QStringList{"none.jpg"} << QSize(193, 73) << QSize(260, 173);
        // A fitted image keeps its size without its picture.
        QTest::newRow("missing after a picture")
            << QStringList{"wide.png", "none.png"} << QSize(533, 167) << QSize(600, 267);
    }
    void textChangeLoadsFitsAndSizesWindow()
    {
        QFETCH(QStringList, files);
        QFETCH(QSize, imagePixels);
        QFETCH(QSize, windowPixels);
        QTemporaryDir dir;
        writePicture(dir, QStringLiteral("wide.png"), QSize(160, 50));
        const auto window = std::make_unique<frmLOGO>();
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));

        for (const QString& file : files) {
            window->txtLogo->selectAll();
            QTest::keyClicks(window->txtLogo, dir.filePath(file));
        }

        const bool loaded = QFile::exists(dir.filePath(files.last()));
        QCOMPARE(window->imgLOGO->hasPicture(), loaded);
        QCOMPARE(window->imgLOGO->geometry(), QRect(QPoint(8, 40), imagePixels));
        QCOMPARE(window->frameGeometry().size(), windowPixels);
        if (loaded) {
            // Stretched: the picture fills the image box.
            const QImage shown = window->imgLOGO->grab().toImage();
            QCOMPARE(shown.pixelColor(shown.width() - 2, shown.height() - 2), PictureColour);
        }
    }

    // The settings reader's load: no fitting, no resizing, not shown.
    void settingsReaderLoadLeavesWindowAlone()
    {
        QTemporaryDir dir;
        const auto window = std::make_unique<frmLOGO>();
        // A stretched picture from before must not survive.
        window->txtLogo->setText(writePicture(dir, QStringLiteral("old.png"), QSize(20, 20)));
        const QSize windowBefore = window->size();

        window->loadLogoPicture(writePicture(dir, QStringLiteral("logo.jpg"), QSize(120, 90)));

        QVERIFY(window->imgLOGO->hasPicture());
        QVERIFY(!window->imgLOGO->stretch());
        QCOMPARE(window->imgLOGO->size(), QSize(120, 90));
        QCOMPARE(window->size(), windowBefore);
        QVERIFY(window->txtLogo->text().endsWith(QStringLiteral("old.png")));
        QVERIFY(!window->isVisible());
    }

    void onlyBackgroundClickClosesWindow_data()
    {
        QTest::addColumn<QString>("control"); // empty: the window's background
        QTest::newRow("background") << "";
        QTest::newRow("text box") << "txtLogo";
        QTest::newRow("image") << "imgLOGO";
    }
    void onlyBackgroundClickClosesWindow()
    {
        QFETCH(QString, control);
        // Its owner deletes it, once, after it was closed.
        const auto window = std::make_unique<frmLOGO>();
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        QWidget* target = control.isEmpty() ? window.get() : window->findChild<QWidget*>(control);
        QVERIFY(target);
        QTest::mouseClick(target, Qt::LeftButton, {}, QPoint(3, 3));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCOMPARE(window->isVisible(), !control.isEmpty());
    }
};

QTEST_MAIN(LogoWindowTest)
#include "tst_logowindow.moc"
