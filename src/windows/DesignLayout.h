#pragma once

#include "windows/Twips.h"

#include <vector>

class QWidget;

// The places of a window's controls in twips, as designed and after the window
// is stretched; puts each control at its place in pixels.
class DesignLayout
{
public:
    explicit DesignLayout(const Twips& twips) : m_twips(twips) {}

    const Twips& twips() const { return m_twips; }

    // Remembers the control's place and puts it there. `hasFont`: its font
    // follows the stretch.
    void place(QWidget* control, const TwipsRect& rect, bool hasFont = true);
    // A control's current place (after any stretching); one not placed here
    // gives its geometry in twips.
    TwipsRect geometry(const QWidget* control) const;
    // Moves a control; a control placed here keeps its new place.
    void setGeometry(QWidget* control, const TwipsRect& rect);
    // Widens every placed control and its left edge by the factor, whole twips
    // down; on a wider window small fonts grow to 9 points of Verdana.
    void stretch(double multiplier);

private:
    struct Control
    {
        QWidget* widget = nullptr;
        TwipsRect rect;
        bool hasFont = true;
    };
    // The control's entry, or -1.
    int indexOf(const QWidget* control) const;
    void apply(QWidget* control, const TwipsRect& rect) const;

    Twips m_twips;
    std::vector<Control> m_controls;
};
