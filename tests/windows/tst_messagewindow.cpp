#include "windows/GemPicture.h"
#include "windows/MessageLayout.h"
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
    void staysLongerForLongerTexts_data();
    void staysLongerForLongerTexts();
    void givesOneLineOf735TwipsPer15Characters_data();
    void givesOneLineOf735TwipsPer15Characters();
    void longTextsFitTheScreen_data();
    void longTextsFitTheScreen();
    void cyanBackgroundIsSeeThroughAndClickThrough();
    void pictureHasNoHaloAndNoCyan_data();
    void pictureHasNoHaloAndNoCyan();
    void readsTheMessageOnceAtLoadOrShow();
    void closesItselfWhenTheTimerFires();
};

void MessageWindowTest::staysLongerForLongerTexts_data()
{
    QTest::addColumn<int>("length");
    QTest::addColumn<int>("interval");
    QTest::newRow("empty") << 0 << 3000;
    QTest::newRow("199 characters") << 199 << 3000;
    QTest::newRow("200 characters") << 200 << 2000;
    QTest::newRow("201 characters") << 201 << 2010;
    QTest::newRow("300 characters") << 300 << 3000;
    QTest::newRow("600 characters") << 600 << 6000;
    QTest::newRow("7000 characters") << 7000 << 70000;
}

void MessageWindowTest::staysLongerForLongerTexts()
{
    QFETCH(int, length);
    QFETCH(int, interval);
    const auto window = loadedMessage(textOfLength(length));
    QCOMPARE(window->Timer1->interval(), interval);
    QVERIFY(window->Timer1->isActive());
}

void MessageWindowTest::givesOneLineOf735TwipsPer15Characters_data()
{
    QTest::addColumn<int>("length");
    QTest::addColumn<qint64>("labelTwips");
    QTest::addColumn<qint64>("windowTwips");
    QTest::newRow("one character shows one line") << 1 << qint64(735) << qint64(1985);
    QTest::newRow("14 characters show one line") << 14 << qint64(735) << qint64(1985);
    QTest::newRow("29 characters") << 29 << qint64(735) << qint64(1985);
    QTest::newRow("30 characters") << 30 << qint64(1470) << qint64(2720);
    QTest::newRow("674 characters") << 674 << qint64(32340) << qint64(33590);
    QTest::newRow("675 characters past 16 bits") << 675 << qint64(33075) << qint64(34325);
}

void MessageWindowTest::givesOneLineOf735TwipsPer15Characters()
{
    QFETCH(int, length);
    QFETCH(qint64, labelTwips);
    QFETCH(qint64, windowTwips);
    QCOMPARE(MessageLayout::labelHeight(length), labelTwips);

    const auto window = loadedMessage(textOfLength(length));
    const Twips twips = Twips::of(window.get());
    for (QLabel* label : window->lblMSGdisplay)
        QCOMPARE(label->height(), twips.toPixelsY(double(labelTwips)));
    QCOMPARE(window->height(), twips.toPixelsY(double(windowTwips)));
    QCOMPARE(window->width(), twips.toPixelsX(8760));
    // The white copy lies 25 twips right of and below the dark red text.
    QCOMPARE(window->lblMSGdisplay[1]->pos(), QPoint(twips.toPixelsX(145), twips.toPixelsY(1225)));
    QVERIFY(window->mask().intersects(window->lblMSGdisplay[0]->geometry()));
}

void MessageWindowTest::longTextsFitTheScreen_data()
{
    QTest::addColumn<int>("length");
    QTest::newRow("675 characters") << 675;
    QTest::newRow("5000 characters") << 5000;
    QTest::newRow("200000 characters") << 200000;
}

void MessageWindowTest::longTextsFitTheScreen()
{
    QFETCH(int, length);
    const QRect screen(0, 0, 1024, 700);
    const auto window = loadedMessage(textOfLength(length), screen);
    QVERIFY(screen.contains(window->geometry()));
    QCOMPARE(window->height(), screen.height());
    // The text still fills what the window shows under the picture.
    QVERIFY(window->lblMSGdisplay[0]->geometry().bottom() >= window->height());
    QVERIFY(window->mask().intersects(QRect(0, window->height() - 100, window->width(), 100)));
}

void MessageWindowTest::cyanBackgroundIsSeeThroughAndClickThrough()
{
    const auto window = loadedMessage(QStringLiteral("New pieces are in the auction"));
    QVERIFY(window->windowFlags() & Qt::FramelessWindowHint);

    const QRegion mask = window->mask();
    const QRect label = window->lblMSGdisplay[0]->geometry();
    QVERIFY(!mask.contains(QPoint(0, 0)));
    QVERIFY(!mask.contains(QPoint(window->width() - 1, window->height() - 1)));
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

void MessageWindowTest::pictureHasNoHaloAndNoCyan_data()
{
    QTest::addColumn<int>("side");
    QTest::newRow("box at 96 dpi") << 56;
    QTest::newRow("design size") << 256;
}

void MessageWindowTest::pictureHasNoHaloAndNoCyan()
{
    QFETCH(int, side);
    const QImage picture = drawGemPicture(side).convertToFormat(QImage::Format_ARGB32);
    int solid = 0;
    for (int y = 0; y < side; ++y) {
        for (int x = 0; x < side; ++x) {
            const QRgb pixel = picture.pixel(x, y);
            QVERIFY2(qAlpha(pixel) == 0 || qAlpha(pixel) == 255, "half-transparent pixel");
            QVERIFY2(pixel != qRgb(0, 255, 255), "cyan pixel");
            solid += qAlpha(pixel) == 255 ? 1 : 0;
        }
    }
    QVERIFY(solid > side * side / 4);
}

void MessageWindowTest::readsTheMessageOnceAtLoadOrShow()
{
    frmMSG window;
    window.setAttribute(Qt::WA_DeleteOnClose, false);
    window.setScreenArea(TallScreen);
    window.TheMessage = QStringLiteral("Shown without a load by the caller");
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QCOMPARE(window.lblMSGdisplay[0]->text(), QStringLiteral("Shown without a load by the caller"));
    QVERIFY(!window.mask().isEmpty());

    const int height = window.height();
    window.TheMessage = textOfLength(600);
    window.Form_Load();
    window.hide();
    window.show();
    QCOMPARE(window.lblMSGdisplay[1]->text(), QStringLiteral("Shown without a load by the caller"));
    QCOMPARE(window.Timer1->interval(), 3000);
    QCOMPARE(window.height(), height);
}

void MessageWindowTest::closesItselfWhenTheTimerFires()
{
    QPointer<frmMSG> window = new frmMSG;
    window->TheMessage = QStringLiteral("Closing soon");
    window->show();
    QVERIFY(window->Timer1->isActive());
    window->Timer1->start(0);
    QTRY_VERIFY(window.isNull());
}

QTEST_MAIN(MessageWindowTest)
#include "tst_messagewindow.moc"
