// The logo and message windows.

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
