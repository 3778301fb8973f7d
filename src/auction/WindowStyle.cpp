#include "auction/WindowStyle.h"

#include <QFrame>
#include <QPainter>
#include <QPalette>
#include <QPushButton>

namespace windowstyle {

QPixmap closeIcon()
{
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(96, 0, 0), 1.5));
    painter.setBrush(QColor(200, 30, 30));
    painter.drawRoundedRect(QRectF(2.5, 2.5, 27, 27), 5, 5);
    painter.setPen(QPen(Qt::white, 4, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(QPointF(10, 10), QPointF(22, 22));
    painter.drawLine(QPointF(22, 10), QPointF(10, 22));
    return pixmap;
}

void addFontSubstitutes()
{
    static const bool added = [] {
        QFont::insertSubstitutions(QStringLiteral("MS Sans Serif"),
                                   {QStringLiteral("Microsoft Sans Serif"), QStringLiteral("Arial"),
                                    QStringLiteral("Liberation Sans"),
                                    QStringLiteral("Nimbus Sans"), QStringLiteral("Helvetica")});
        QFont::insertSubstitutions(
            QStringLiteral("Verdana"),
            {QStringLiteral("DejaVu Sans"), QStringLiteral("Bitstream Vera Sans")});
        return true;
    }();
    Q_UNUSED(added);
}

QFont designFont(double pointSize, bool bold)
{
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setPointSizeF(pointSize);
    font.setBold(bold);
    return font;
}

void setTextColour(QWidget* widget, const QColor& colour)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, colour);
    palette.setColor(QPalette::ButtonText, colour);
    palette.setColor(QPalette::Text, colour);
    widget->setPalette(palette);
}

void setBaseColour(QWidget* widget, const QColor& colour)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Base, colour);
    widget->setPalette(palette);
}

void makeGraphicalButton(QPushButton* button)
{
    button->setStyleSheet(
        QStringLiteral("QPushButton { background-color: %1; border: 1px solid #8c8c78;"
                       " border-radius: 2px; padding: 1px 4px; }"
                       " QPushButton:pressed { background-color: %2; }"
                       " QPushButton:focus { border: 1px solid #000000; }")
            .arg(kButtonColour.name(), kButtonColour.darker(112).name()));
}

QFrame* filledRectangle(QWidget* parent, const QColor& colour)
{
    auto* frame = new QFrame(parent);
    frame->setFrameShape(QFrame::NoFrame);
    frame->setAutoFillBackground(true);
    QPalette palette = frame->palette();
    palette.setColor(QPalette::Window, colour);
    frame->setPalette(palette);
    // A drawn shape: clicks go to the window beneath.
    frame->setAttribute(Qt::WA_TransparentForMouseEvents);
    return frame;
}

} // namespace windowstyle
