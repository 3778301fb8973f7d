#include "windows/Twips.h"
#include "windows/frmMSG.h"

#include <QPointer>
#include <QtTest>
#include <memory>

namespace {
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

class MessageWindowTest : public QObject
{
    Q_OBJECT
private slots:
    void staysAndGrowsWithTheText_data()
    {
        QTest::addColumn<int>("length");
        QTest::addColumn<int>("interval");
        QTest::addColumn<int>("labelTwips"); // 735 per 15 characters
        QTest::newRow("short text shows one line") << 14 << 3000 << 735;
        QTest::newRow("30 characters") << 30 << 3000 << 1470;
        QTest::newRow("199 characters") << 199 << 3000 << 9555;
        QTest::newRow("200 characters") << 200 << 2000 << 9555;
        QTest::newRow("300 characters") << 300 << 3000 << 14700;
        QTest::newRow("600 characters") << 600 << 6000 << 29400;
        QTest::newRow("674 characters") << 674 << 6740 << 32340;
        QTest::newRow("675 characters past 16 bits") << 675 << 6750 << 33075;
    }
    void staysAndGrowsWithTheText()
    {
        QFETCH(int, length);
        QFETCH(int, interval);
        QFETCH(int, labelTwips);
        const auto window = loadedMessage(textOfLength(length));
        QCOMPARE(window->Timer1->interval(), interval);
        QVERIFY(window->Timer1->isActive());
        const Twips twips = Twips::of(window.get());
        for (QLabel* label : window->lblMSGdisplay)
            QCOMPARE(label->height(), twips.toPixelsY(labelTwips));
        QCOMPARE(window->size(), QSize(twips.toPixelsX(8760), twips.toPixelsY(labelTwips + 1250)));
        // The white copy lies 25 twips right of and below the dark red text.
        QCOMPARE(window->lblMSGdisplay[1]->pos(),
                 QPoint(twips.toPixelsX(145), twips.toPixelsY(1225)));
        QVERIFY(window->mask().intersects(window->lblMSGdisplay[0]->geometry()));
    }

    void longTextFitsTheScreen()
    {
        const QRect screen(0, 0, 1024, 700);
        const auto window = loadedMessage(textOfLength(200000), screen);
        QVERIFY(screen.contains(window->geometry()));
        QCOMPARE(window->height(), screen.height());
        // The text still fills what the window shows under the picture.
        QVERIFY(window->lblMSGdisplay[0]->geometry().bottom() >= window->height());
    }

    void cyanBackgroundIsSeeThroughAndClickThrough()
    {
        const auto window = loadedMessage(QStringLiteral("New pieces are in the auction"));
        QVERIFY(window->windowFlags() & Qt::FramelessWindowHint);
        const QRegion mask = window->mask();
        const QRect label = window->lblMSGdisplay[0]->geometry();
        // Left of the centred text inside the label: background, not text.
        QVERIFY(!mask.contains(QPoint(label.left() + 2, label.center().y())));
        QVERIFY(mask.contains(window->Image1->geometry().center()));

        // Left out is exactly what shows cyan; the text shows white and dark red.
        QImage shown(window->size(), QImage::Format_RGB32);
        window->render(&shown, QPoint(), QRegion(),
                       QWidget::DrawWindowBackground | QWidget::DrawChildren | QWidget::IgnoreMask);
        int white = 0, red = 0;
        for (int y = 0; y < shown.height(); ++y) {
            for (int x = 0; x < shown.width(); ++x) {
                const QRgb pixel = shown.pixel(x, y);
                if ((pixel == qRgb(0, 255, 255)) == mask.contains(QPoint(x, y)))
                    QFAIL(qPrintable(QStringLiteral("mask wrong at %1,%2").arg(x).arg(y)));
                white += pixel == qRgb(255, 255, 255) ? 1 : 0;
                red += pixel == qRgb(192, 0, 0) ? 1 : 0;
            }
        }
        QVERIFY(white > 50 && red > 50);
    }

    void readsTheMessageOnceAndClosesItselfOnTheTimer()
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
        QVERIFY(window->Timer1->isActive());
        window->Timer1->start(0);
        QTRY_VERIFY(window.isNull());
    }
};

QTEST_MAIN(MessageWindowTest)
#include "tst_messagewindow.moc"
