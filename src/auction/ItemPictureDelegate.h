#pragma once

#include <QColor>
#include <QFont>
#include <QStyledItemDelegate>

#include <optional>

// Gives the cells of a column their alignment, and a font, where a cell sets
// none of its own: a hundred thousand rows need not each carry the same values.
class ColumnLooksDelegate : public QStyledItemDelegate
{
    Q_OBJECT
public:
    explicit ColumnLooksDelegate(Qt::Alignment alignment, QObject* parent = nullptr)
        : QStyledItemDelegate(parent), m_alignment(alignment)
    {
    }
    void setFont(const QFont& font) { m_font = font; }

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;

private:
    Qt::Alignment m_alignment;
    std::optional<QFont> m_font;
};

// Draws the item column of the listing: the item's picture (Qt::DecorationRole,
// a QImage) at the cell's top left on its canvas colour, and the item number
// over it in the column's font and alignment.
class ItemPictureDelegate : public ColumnLooksDelegate
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
