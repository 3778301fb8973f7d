// The logo and message windows.

#include "windows/Twips.h"
#include "windows/frmLOGO.h"
#include "windows/frmMSG.h"

#include <QImage>
#include <QPointer>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

namespace {
const QColor PictureColour(200, 160, 40);
// Large enough that no height of the tables is capped.
const QRect TallScreen(0, 0, 1600, 40000);

QString textOfLength(int length)
{
    return QStringLiteral("Gold ring sale ").repeated(length / 15 + 1).left(length);
}

std::unique_ptr<frmMSG> loadedMessage(const QString& text, const QRect& screen = TallScreen)
{
    auto window = std::make_unique<frmMSG>();
    window->setAttribute(Qt::WA_DeleteOnClose, false);
    window->setScreenArea(screen);
    window->TheMessage = text;
    window->Form_Load();
    return window;
}
} // namespace

class WindowsTest : public QObject
{
    Q_OBJECT
private slots:
    // 160 x 50 px = 2400 x 750 twips are fitted to 8000 x 2500 in a window of
    // 9000 x 4000, stretched; a missing file then leaves the fitted image empty.
    void logoTextChangeLoadsFitsAndSizesWindow()
    {
        QTemporaryDir dir;
        QImage picture(160, 50, QImage::Format_RGB32);
        picture.fill(PictureColour);
        QVERIFY(picture.save(dir.filePath("wide.png")));
        const auto window = std::make_unique<frmLOGO>();
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        for (const char* file : {"wide.png", "none.png"}) {
            window->txtLogo->selectAll();
            QTest::keyClicks(window->txtLogo, dir.filePath(file));
            const bool loaded = QFile::exists(dir.filePath(file));
            QCOMPARE(window->imgLOGO->hasPicture(), loaded);
            QCOMPARE(window->imgLOGO->geometry(), QRect(8, 40, 533, 167));
            QCOMPARE(window->frameGeometry().size(), QSize(600, 267));
            const QImage shown = window->imgLOGO->grab().toImage();
            if (loaded)
                QCOMPARE(shown.pixelColor(shown.width() - 2, shown.height() - 2), PictureColour);
        }
    }

    void onlyBackgroundClickClosesLogoWindow()
    {
        const auto window = std::make_unique<frmLOGO>(); // its owner deletes it, once
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        for (QWidget* target :
             {static_cast<QWidget*>(window->txtLogo), static_cast<QWidget*>(window.get())}) {
            QTest::mouseClick(target, Qt::LeftButton, {}, QPoint(3, 3));
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            QCOMPARE(window->isVisible(), target != window.get());
        }
    }

    void messageStaysAndGrowsWithTheText_data()
    {
        QTest::addColumn<int>("length");
        QTest::addColumn<int>("interval");
        QTest::addColumn<int>("labelTwips"); // 735 per 15 characters
        QTest::newRow("199") << 199 << 3000 << 9555;
        QTest::newRow("200") << 200 << 2000 << 9555;
        QTest::newRow("675, past 16 bits") << 675 << 6750 << 33075;
    }
    void messageStaysAndGrowsWithTheText()
    {
        QFETCH(int, length);
        QFETCH(int, labelTwips);
        const auto window = loadedMessage(textOfLength(length));
        QTEST(window->Timer1->interval(), "interval");
        QVERIFY(window->Timer1->isActive());
        const Twips twips = Twips::of(window.get());
        for (QLabel* label : window->lblMSGdisplay)
            QCOMPARE(label->height(), twips.toPixelsY(labelTwips));
        QCOMPARE(window->height(), twips.toPixelsY(labelTwips + 1250));
    }

    // Left out of the mask is exactly what shows cyan; the text shows white and dark red.
    void messageBackgroundIsSeeThroughAndClickThrough()
    {
        const auto window = loadedMessage(QStringLiteral("New pieces are in the auction"));
        QVERIFY(window->windowFlags() & Qt::FramelessWindowHint);
        const QRegion mask = window->mask();
        QImage shown(window->size(), QImage::Format_RGB32);
        window->render(&shown, QPoint(), QRegion(),
                       QWidget::DrawWindowBackground | QWidget::DrawChildren | QWidget::IgnoreMask);
        int white = 0, red = 0;
        for (int i = 0; i < shown.width() * shown.height(); ++i) {
            const QPoint at(i % shown.width(), i / shown.width());
            const QRgb pixel = shown.pixel(at);
            if ((pixel == qRgb(0, 255, 255)) == mask.contains(at))
                QFAIL(qPrintable(QStringLiteral("mask wrong at %1,%2").arg(at.x()).arg(at.y())));
            white += pixel == qRgb(255, 255, 255) ? 1 : 0;
            red += pixel == qRgb(192, 0, 0) ? 1 : 0;
        }
        QVERIFY(white > 50 && red > 50);
    }

    void messageIsReadOnceAndClosesItselfOnTheTimer()
    {
        QPointer<frmMSG> window = new frmMSG;
        window->setScreenArea(TallScreen);
        window->TheMessage = QStringLiteral("Shown without a load");
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        const int height = window->height();
        window->TheMessage = textOfLength(600);
        window->Form_Load();
        window->hide();
        window->show();
        QCOMPARE(window->lblMSGdisplay[1]->text(), QStringLiteral("Shown without a load"));
        QCOMPARE(window->Timer1->interval(), 3000);
        QCOMPARE(window->height(), height);
        window->Timer1->start(0);
        QTRY_VERIFY(window.isNull());
    }
};

QTEST_MAIN(WindowsTest)
#include "tst_windows.moc"
