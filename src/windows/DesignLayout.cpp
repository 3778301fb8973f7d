#include "windows/DesignLayout.h"

#include <QFont>
#include <QWidget>

#include <cmath>
#include <cstddef>

void DesignLayout::place(QWidget* control, const TwipsRect& rect, bool hasFont)
{
    m_controls.push_back({control, rect, hasFont});
    apply(control, rect);
}

int DesignLayout::indexOf(const QWidget* control) const
{
    for (std::size_t i = 0; i < m_controls.size(); ++i) {
        if (m_controls[i].widget == control)
            return static_cast<int>(i);
    }
    return -1;
}

TwipsRect DesignLayout::geometry(const QWidget* control) const
{
    const int index = indexOf(control);
    if (index >= 0)
        return m_controls[index].rect;
    return control ? m_twips.toTwips(control->geometry()) : TwipsRect();
}

void DesignLayout::setGeometry(QWidget* control, const TwipsRect& rect)
{
    if (!control)
        return;
    // Controls added later (the editor's own) are placed but not remembered.
    const int index = indexOf(control);
    if (index >= 0)
        m_controls[index].rect = rect;
    apply(control, rect);
}

void DesignLayout::apply(QWidget* control, const TwipsRect& rect) const
{
    control->setGeometry(m_twips.edgesToPixels(rect));
}

void DesignLayout::stretch(double multiplier)
{
    const bool wider = multiplier > 1.0;
    for (Control& control : m_controls) {
        control.rect.width = std::floor(control.rect.width * multiplier);
        control.rect.left = std::floor(control.rect.left * multiplier);
        apply(control.widget, control.rect);
        if (!control.hasFont || !wider)
            continue;
        QFont font = control.widget->font();
        if (font.pointSizeF() < 10)
            font.setPointSizeF(9);
        if (font.pointSizeF() < 10)
            font.setFamily(QStringLiteral("Verdana"));
        control.widget->setFont(font);
    }
}
