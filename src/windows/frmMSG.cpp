#include "windows/frmMSG.h"

#include "windows/GemPicture.h"
#include "windows/MessageLayout.h"
#include "windows/TransparentKey.h"
#include "windows/Twips.h"

#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <algorithm>

namespace {

QLabel* makeMessageLabel(QWidget* parent, const QColor& colour, const QString& placeholder)
{
    auto* label = new QLabel(placeholder, parent);
    QFont font(QStringLiteral("Verdana"));
    font.setPointSizeF(20.25);
    font.setBold(true);
    // Smoothed edges would blend with the see-through cyan into a visible halo.
    font.setStyleStrategy(QFont::NoAntialias);
    label->setFont(font);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, colour);
    label->setPalette(palette);
    label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    label->setWordWrap(true);
    label->setAttribute(Qt::WA_TransparentForMouseEvents);
    return label;
}

} // namespace

frmMSG::frmMSG(QWidget* parent) : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint)
{
    setAttribute(Qt::WA_DeleteOnClose);
    // A notice must not take the keyboard from the window the user types in.
    setAttribute(Qt::WA_ShowWithoutActivating);

    const Twips twips = Twips::of(this);
    resize(twips.toPixels(QSizeF(8760, 11895)));

    Timer1 = new QTimer(this);
    Timer1->setInterval(5000);
    connect(Timer1, &QTimer::timeout, this, &frmMSG::Timer1_Timer);

    // Declared order is drawing order: the white copy lies over the picture and the red text.
    lblMSGdisplay[0] =
        makeMessageLabel(this, QColor(192, 0, 0), QStringLiteral("123456789012345667890"));
    lblMSGdisplay[0]->setObjectName(QStringLiteral("lblMSGdisplay0"));
    lblMSGdisplay[0]->setGeometry(twips.toPixels(120, 1200, 8535, 735));

    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(twips.toPixels(3960, 240, 840, 840));
    // Drawn at the box's own size: scaling would blend its edges again.
    const qreal ratio = devicePixelRatioF();
    QPixmap gem = QPixmap::fromImage(drawGemPicture(qRound(Image1->width() * ratio)));
    gem.setDevicePixelRatio(ratio);
    Image1->setPixmap(gem);

    lblMSGdisplay[1] = makeMessageLabel(this, QColor(255, 255, 255), QStringLiteral("Label1"));
    lblMSGdisplay[1]->setObjectName(QStringLiteral("lblMSGdisplay1"));
    lblMSGdisplay[1]->setGeometry(twips.toPixels(120, 1200, 8535, 735));
}

void frmMSG::Form_Load()
{
    if (m_loaded)
        return;
    m_loaded = true;

    QPalette background = palette();
    background.setColor(QPalette::Window, keyColour());
    setPalette(background);
    setAutoFillBackground(true);

    const QString message = TheMessage;
    Timer1->stop();
    Timer1->setInterval(MessageLayout::timerInterval(message.length()));
    Timer1->start();

    lblMSGdisplay[0]->setText(message);
    lblMSGdisplay[1]->setText(message);

    const Twips twips = Twips::of(this);
    const qint64 labelHeight = MessageLayout::labelHeight(message.length());
    const QRect area = screenArea();
    const qint64 windowHeight = MessageLayout::windowHeight(
        labelHeight, area.isValid() ? twips.toTwipsY(area.height()) : 0);

    const QRect label0 = twips.toPixels(120, 1200, 8535, double(labelHeight));
    lblMSGdisplay[0]->setGeometry(label0);
    lblMSGdisplay[1]->setGeometry(twips.toPixels(120 + 25, 1200 + 25, 8535, double(labelHeight)));
    resize(width(), std::min(twips.toPixelsY(double(windowHeight)),
                             area.isValid() ? area.height() : QWIDGETSIZE_MAX));

    if (area.isValid())
        move(area.x() + (area.width() - width()) / 2, area.y() + (area.height() - height()) / 2);

    TransparentKey::apply(this, keyColour());
}

void frmMSG::Timer1_Timer()
{
    Timer1->stop();
    close();
}

QRect frmMSG::screenArea() const
{
    if (m_screenArea)
        return *m_screenArea;
    const QScreen* shown = screen() ? screen() : QGuiApplication::primaryScreen();
    return shown ? shown->availableGeometry() : QRect();
}

void frmMSG::showEvent(QShowEvent* event)
{
    Form_Load();
    QWidget::showEvent(event);
}

void frmMSG::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    if (!m_loaded || m_refreshQueued)
        return;
    // Rebuilt once the resize has settled, not in the middle of it.
    m_refreshQueued = true;
    QMetaObject::invokeMethod(this, &frmMSG::refreshTransparency, Qt::QueuedConnection);
}

void frmMSG::refreshTransparency()
{
    m_refreshQueued = false;
    TransparentKey::apply(this, keyColour());
}
