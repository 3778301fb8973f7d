#pragma once

#include <QColor>
#include <QStyledItemDelegate>

// Draws the item column of the listing: the item's picture (Qt::DecorationRole,
// a QImage) at the cell's top left on its canvas colour, and the item number
// over it in the cell's own font and alignment.
class ItemPictureDelegate : public QStyledItemDelegate
{
    Q_OBJECT
public:
    explicit ItemPictureDelegate(QObject* parent = nullptr);

    // The colour of the picture's canvas, which covers the rest of the cell.
    void setCanvasColour(const QColor& colour) { m_canvas = colour; }
    QColor canvasColour() const { return m_canvas; }

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;

private:
    QColor m_canvas = QColor(240, 240, 240);
};
