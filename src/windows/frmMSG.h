#pragma once

#include <QLabel>
#include <QRect>
#include <QString>
#include <QTimer>
#include <QWidget>
#include <optional>

// A borderless notice: one text in large letters under a picture, on a cyan
// background that is see-through and click-through. It closes (and deletes)
// itself after 10 ms per character, at least 3 s for texts under 200 characters.
class frmMSG : public QWidget
{
    Q_OBJECT
public:
    explicit frmMSG(QWidget* parent = nullptr);

    // The text to show; read once, by Form_Load().
    QString TheMessage;

    QTimer* Timer1 = nullptr;
    // Index 0: dark red text; index 1: the white copy drawn over it.
    QLabel* lblMSGdisplay[2] = {nullptr, nullptr};
    QLabel* Image1 = nullptr;

    // Takes TheMessage, lays the window out and starts the timer. Runs once;
    // showing the window runs it if the caller has not.
    void Form_Load();
    void Timer1_Timer();

    // The screen area the window is centred in and must fit into; by default
    // the available area of the window's screen.
    void setScreenArea(const QRect& area) { m_screenArea = area; }

    static QColor keyColour() { return QColor(0, 255, 255); }

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QRect screenArea() const;
    void refreshTransparency();

    bool m_loaded = false;
    bool m_refreshQueued = false;
    std::optional<QRect> m_screenArea;
};
