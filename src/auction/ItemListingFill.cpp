// The item listing's rows into the grid: the old rows away, the first rows at
// once, the rest in slices from the event loop.
#include "auction/ItemListing.h"

#include "auction/ItemPictureDelegate.h"
#include "auction_core/AuctionGrid.h"
#include "auction_core/ListingQuery.h"
#include "data/ItemPictures.h"
#include "data/ThumbnailPipeline.h"
#include "windows/Platform.h"

#include <QFrame>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QProgressBar>
#include <QTableWidget>
#include <QThreadPool>

#include <algorithm>
#include <memory>

using namespace auctiongrid;

namespace {
constexpr int kRowHeightTwips = 1000;
constexpr int kItemWidth = 1200;
constexpr int kSkuWidth = 2000;
constexpr int kDescriptionWidth = 5500;
constexpr int kRetailWidth = 1000;
constexpr int kStampWidth = 1200;
// A long listing shows its first rows at once and fills the rest in slices
// short enough that the window keeps answering.
constexpr int kFirstRows = 100;
constexpr int kRowsPerStep = 64;
constexpr int kClearStep = 500;
constexpr qint64 kBarEveryMs = 100;
constexpr qint64 kFillSliceMs = 8;

QTableWidgetItem* textItem(const QString& text)
{
    return new QTableWidgetItem(text);
}
} // namespace

// The grid made ready for the rows that arrived: the old rows are gone.
void ItemListing::beginFill()
{
    QTableWidget* grid = m_ui.Flex;
    grid->setUpdatesEnabled(false);
    grid->clear();
    grid->setColumnCount(kColumnCount);
    grid->setRowCount(0);
    grid->verticalHeader()->setMinimumSectionSize(1);
    grid->verticalHeader()->setDefaultSectionSize(m_ui.twips.toPixelsY(kRowHeightTwips));

    const int count = m_fill.records.RecordCount();
    m_ui.Bar->setRange(0, count + 1);
    m_ui.Bar->setValue(0);
    m_lookUp = QVector<std::optional<qint32>>(count);

    m_fill.count = count;
    m_fill.hasStore = m_fill.records.hasField(itemfield::kStore);
    QFont itemFont = grid->font();
    itemFont.setPointSizeF(6);
    m_delegate->setFont(itemFont);
    m_fill.cleared = true;
}

// Takes the old rows away from the end, a few hundred at a time: dropping a
// hundred thousand at once would hold the window up. The rows on screen stay
// until the last step.
bool ItemListing::clearRows(qint64 budgetMs)
{
    QTableWidget* grid = m_ui.Flex;
    QElapsedTimer slice;
    slice.start();
    while (grid->rowCount() > kClearStep && slice.elapsed() < budgetMs)
        grid->setRowCount(grid->rowCount() - kClearStep);
    return grid->rowCount() <= kClearStep;
}

// Adds rows to the grid until `last` (excluded) or until `budgetMs` is spent;
// the grid only ever holds complete rows.
void ItemListing::fillRows(int last, qint64 budgetMs)
{
    QTableWidget* grid = m_ui.Flex;
    RecordSet& records = m_fill.records;
    QElapsedTimer slice;
    slice.start();
    last = std::min(last, m_fill.count);

    while (m_fill.next < last &&
           (budgetMs <= 0 || slice.elapsed() < budgetMs || m_fill.next < grid->rowCount())) {
        // Rows are added a few at a time, each step filled whole: one row
        // count change per row would cost more.
        const int row = m_fill.next;
        if (row >= grid->rowCount())
            grid->setRowCount(std::min(last, row + kRowsPerStep));
        if (row == 0)
            records.MoveFirst();
        else
            records.MoveNext();
        ++m_fill.next;
        const QVariant itemId = records.Fields(itemfield::kItemId);
        const QVariant sku = records.Fields(itemfield::kSku);
        const QVariant description = records.Fields(itemfield::kDescription);
        const ListingRow cells =
            listingRow(itemId, sku, description, records.Fields(itemfield::kRetail),
                       records.Fields(itemfield::kStamp), m_now, m_daylightSaving, m_fill.locale);

        // Alignments and the item column's font come from the columns' delegates.
        auto* item = textItem(cells.itemId);
        // Whose row it is, for the save; a NULL store id stays a null value.
        if (m_fill.hasStore) {
            const QVariant store = records.Fields(itemfield::kStore);
            item->setData(Qt::UserRole, store.isNull() ? QVariant(QMetaType::fromType<QString>())
                                                       : QVariant(m_fill.shared(store.toString())));
        }
        grid->setItem(row, 0, item);
        m_fill.anyItemId = m_fill.anyItemId || !itemId.isNull();
        m_lookUp[row] = cells.pictureItem;

        if (!sku.isNull()) {
            grid->setItem(row, 1, textItem(cells.sku));
            m_fill.anySku = true;
        }
        if (!description.isNull()) {
            grid->setItem(row, 2, textItem(cells.description));
            m_fill.anyDescription = true;
        }
        if (!cells.retail.isEmpty())
            grid->setItem(row, kRetailColumn, textItem(cells.retail));

        const QBrush colour = m_fill.brush(stateColour(cells.state));
        auto* stampItem = textItem(cells.stamp);
        // What the listing read, for the save to tell changed rows and conflicts.
        stampItem->setData(Qt::UserRole, cells.listedStamp);
        auto* dateItem = cells.date.isEmpty() ? nullptr : textItem(m_fill.shared(cells.date));
        auto* timeItem = cells.time.isEmpty() ? nullptr : textItem(m_fill.shared(cells.time));
        if (colour.style() != Qt::NoBrush) {
            for (QTableWidgetItem* coloured : {stampItem, dateItem, timeItem}) {
                if (coloured)
                    coloured->setBackground(colour);
            }
        }
        grid->setItem(row, kStampColumn, stampItem);
        if (dateItem)
            grid->setItem(row, kDateColumn, dateItem);
        if (timeItem)
            grid->setItem(row, kTimeColumn, timeItem);
    }
    // The bar repaints the window at once: not after every slice.
    if (!m_fill.sinceBar.isValid() || m_fill.sinceBar.elapsed() >= kBarEveryMs) {
        m_ui.Bar->setValue(m_fill.next);
        m_fill.sinceBar.restart();
    }
}

void ItemListing::setColumnWidths()
{
    QTableWidget* grid = m_ui.Flex;
    const auto width = [this](int twips) {
        return m_ui.twips.toPixelsX(scaledTwips(twips, m_ui.screenMultiplier()));
    };
    if (m_fill.anyItemId)
        grid->setColumnWidth(0, width(kItemWidth));
    if (m_fill.anySku)
        grid->setColumnWidth(1, width(kSkuWidth));
    if (m_fill.anyDescription)
        grid->setColumnWidth(2, width(kDescriptionWidth));
    if (m_fill.next > 0) {
        grid->setColumnWidth(kRetailColumn, width(kRetailWidth));
        for (int column = kStampColumn; column <= kTimeColumn; ++column)
            grid->setColumnWidth(column, width(kStampWidth));
    }
}

// One step of a listing's rows into the grid: the old rows away, the first
// rows at once (then shown), the rest a slice at a time from the event loop.
void ItemListing::fillSlice()
{
    if (!m_filling)
        return;
    if (!m_fill.cleared) {
        if (!clearRows(kFillSliceMs)) {
            m_fillTimer.start();
            return;
        }
        // The old rows' memory goes back before the new rows take theirs.
        Platform::returnFreedMemory();
        beginFill();
        fillRows(kFirstRows, 0);
        setColumnWidths();
        m_ui.Flex->setUpdatesEnabled(true);
    } else {
        fillRows(m_fill.count, kFillSliceMs);
    }
    if (m_fill.next < m_fill.count) {
        m_fillTimer.start();
        return;
    }
    endFill();
    finishRun();
    endRun();
}

// The grid holds the rows now. Letting go of a hundred thousand of them
// takes a while: another thread does it.
void ItemListing::releaseRows()
{
    auto rows = std::make_shared<RecordSet>(std::move(m_fill.records));
    m_fill.records = RecordSet();
    m_fill.texts = QSet<QString>();
    QThreadPool::globalInstance()->start([rows]() mutable {
        rows.reset();
        Platform::returnFreedMemory();
    });
}

// Every row is in the grid: the current cell and the pictures.
void ItemListing::endFill()
{
    m_filling = false;
    releaseRows();
    QTableWidget* grid = m_ui.Flex;
    const int count = m_fill.count;
    setColumnWidths();
    m_ui.Bar->setValue(count);
    if (count > 0) {
        // The last cell filled stays current (the editor relies on it), without
        // scrolling the grid away from its first rows.
        const bool autoScroll = grid->hasAutoScroll();
        grid->setAutoScroll(false);
        grid->selectionModel()->setCurrentIndex(grid->model()->index(count - 1, kTimeColumn),
                                                QItemSelectionModel::NoUpdate);
        grid->setAutoScroll(autoScroll);
    }

    m_pictures.setTwipsPerPixel(m_ui.twips.perPixelX(), m_ui.twips.perPixelY());
    m_delegate->setCanvasColour(m_pictures.pipeline().settings().background);
    m_blank = QImage(1, 1, QImage::Format_RGB32);
    m_blank.fill(m_delegate->canvasColour());
    m_rowPath = QVector<QString>(count);
    m_lookUpsLeft = 0;
    for (const std::optional<qint32>& item : std::as_const(m_lookUp))
        m_lookUpsLeft += item ? 1 : 0;
    m_nextLookUp = 0;
    m_picturesActive = true;
    if (count <= kImmediatePictures)
        lookUpAllPictures();
}

// A new listing or a stop while the grid fills: the grid keeps the rows it
// holds, without pictures, and the listing ends.
void ItemListing::abandonFill()
{
    m_fillTimer.stop();
    m_filling = false;
    releaseRows();
    cancelPictures();
    m_ui.Flex->setUpdatesEnabled(true);
    m_ui.Bar->setValue(m_fill.next);
    m_ui.shpWait->hide();
}
