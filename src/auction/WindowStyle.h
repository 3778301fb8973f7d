#pragma once

#include <QColor>
#include <QFont>
#include <QLabel>
#include <QMouseEvent>
#include <QPixmap>

#include <functional>

class QFrame;
class QPushButton;
class QWidget;

// The auction window's look: its colours, fonts and the small widgets it is
// built from.
namespace windowstyle {

inline const QColor kWindowColour(227, 227, 203);
inline const QColor kButtonColour(237, 237, 213);
inline const QColor kGridColour(245, 245, 220);
inline const QColor kBlueText(0, 0, 192);

// An image that reports a click (press and release on it), as the close icon needs.
class ClickableImage : public QLabel
{
public:
    ClickableImage(QWidget* parent, std::function<void()> onClick)
        : QLabel(parent), m_onClick(std::move(onClick))
    {
    }

protected:
    void mousePressEvent(QMouseEvent* event) override
    {
        m_pressed = event->button() == Qt::LeftButton;
        event->accept();
    }
    void mouseReleaseEvent(QMouseEvent* event) override
    {
        const bool click = m_pressed && event->button() == Qt::LeftButton &&
                           rect().contains(event->position().toPoint());
        m_pressed = false;
        event->accept();
        if (click)
            m_onClick();
    }
    void mouseDoubleClickEvent(QMouseEvent* event) override { event->accept(); }

private:
    std::function<void()> m_onClick;
    bool m_pressed = false;
};

QPixmap closeIcon();
// Where the design fonts are missing, fonts of about the same width keep the
// captions inside their controls.
void addFontSubstitutes();
QFont designFont(double pointSize, bool bold = false);
void setTextColour(QWidget* widget, const QColor& colour);
void setBaseColour(QWidget* widget, const QColor& colour);
void makeGraphicalButton(QPushButton* button);
// A drawn rectangle: clicks go to the window beneath.
QFrame* filledRectangle(QWidget* parent, const QColor& colour);

} // namespace windowstyle
