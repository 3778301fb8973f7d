#include "auction/ItemPictureDelegate.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QStyle>

void ColumnLooksDelegate::initStyleOption(QStyleOptionViewItem* option,
                                          const QModelIndex& index) const
{
    QStyledItemDelegate::initStyleOption(option, index);
    if (!index.data(Qt::TextAlignmentRole).isValid())
        option->displayAlignment = m_alignment;
    if (m_font && !index.data(Qt::FontRole).isValid()) {
        option->font = *m_font;
        option->fontMetrics = QFontMetrics(*m_font);
    }
}

ItemPictureDelegate::ItemPictureDelegate(QObject* parent)
    : ColumnLooksDelegate(Qt::AlignHCenter | Qt::AlignBottom, parent)
{
}

void ItemPictureDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                const QModelIndex& index) const
{
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);
    const QString text = opt.text;
    const QImage picture = index.data(Qt::DecorationRole).value<QImage>();

    // The cell's background and selection without text or icon: those come below.
    opt.text.clear();
    opt.icon = QIcon();
    opt.features &= ~QStyleOptionViewItem::HasDecoration;
    const QWidget* widget = option.widget;
    QStyle* style = widget ? widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);

    painter->save();
    painter->setClipRect(option.rect);
    if (!picture.isNull()) {
        painter->fillRect(option.rect, m_canvas);
        painter->drawImage(option.rect.topLeft(), picture);
    }
    if (!text.isEmpty()) {
        painter->setFont(opt.font);
        const bool selected = opt.state & QStyle::State_Selected;
        painter->setPen(opt.palette.color(selected && picture.isNull() ? QPalette::HighlightedText
                                                                       : QPalette::Text));
        const QRect area = option.rect.adjusted(1, 1, -1, -1);
        painter->drawText(area, int(opt.displayAlignment), text);
    }
    painter->restore();
}
