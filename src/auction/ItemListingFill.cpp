// The item listing's rows into the grid: the old rows away, the first rows at
// once, the rest in slices from the event loop.
#include "auction/ItemListing.h"

#include "auction/ItemPictureDelegate.h"
#include "auction_core/AuctionGrid.h"
#include "auction_core/ItemTableModel.h"
#include "auction_core/ListingQuery.h"
#include "data/DatabaseWorker.h"
#include "data/ItemPictures.h"
#include "data/ThumbnailPipeline.h"
#include "windows/Platform.h"

#include <QFrame>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QProgressBar>
#include <QScrollBar>
#include <QTableView>
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
constexpr qint64 kBarEveryMs = 100;

// Letting go of a hundred thousand rows takes a while: another thread does it.
template <typename Rows> void releaseElsewhere(Rows rows)
{
    auto held = std::make_shared<Rows>(std::move(rows));
    QThreadPool::globalInstance()->start([held]() mutable {
        held.reset();
        Platform::returnFreedMemory();
    });
}
} // namespace

// The grid made ready for the records that arrived: the old rows are gone,
// and the new listing starts at its top with nothing selected.
void ItemListing::beginFill()
{
    QTableView* grid = m_ui.Flex;
    grid->setUpdatesEnabled(false);
    // Scrolled while the old rows are there: once they are gone the headers
    // would keep the old offset and hide the new listing's first rows.
    grid->scrollToTop();
    grid->horizontalScrollBar()->setValue(0);
    const int count = m_fill.count;
    releaseElsewhere(m_ui.model->startListing(count));
    m_shown = m_asked;
    m_shown.rows = count;
    grid->verticalHeader()->setMinimumSectionSize(1);
    grid->verticalHeader()->setDefaultSectionSize(m_ui.twips.toPixelsY(kRowHeightTwips));

    m_ui.Bar->setRange(0, count + 1);
    m_ui.Bar->setValue(0);
    m_lookUp = QVector<std::optional<qint32>>(count);
    QFont itemFont = grid->font();
    itemFont.setPointSizeF(6);
    m_delegate->setFont(itemFont);
}

// The worker turned more of the listing's records into rows: the first ones
// replace the grid's rows at once, the rest wait for the fill's next step.
void ItemListing::rowsArrived(QVector<ItemRow> rows, int total)
{
    if (m_fill.abandoned)
        return;
    m_fill.arrived.append(std::move(rows));
    if (!m_filling) {
        setWaiting(false);
        cancelPictures();
        m_filling = true;
        m_fill.count = total;
        beginFill();
        fillRows(kFirstRows);
        setColumnWidths();
        m_ui.Flex->setUpdatesEnabled(true);
    }
    if (!m_fillTimer.isActive())
        m_fillTimer.start();
}

// Adds the arrived rows before `last` to the grid.
void ItemListing::fillRows(int last)
{
    last = std::min(last, m_fill.count);
    while (m_fill.next < last && !m_fill.arrived.isEmpty()) {
        QVector<ItemRow>& batch = m_fill.arrived.first();
        const int take = std::min(last - m_fill.next, int(batch.size()) - m_fill.taken);
        const auto first = batch.begin() + m_fill.taken;
        for (int i = 0; i < take; ++i) {
            const ItemRow& item = first[i];
            m_fill.anyItemId = m_fill.anyItemId || item.itemId || !item.unreadableId.isNull();
            m_fill.anySku = m_fill.anySku || !item.sku.isNull();
            m_fill.anyDescription = m_fill.anyDescription || !item.description.isNull();
            m_lookUp[m_fill.next + i] = item.pictureKey();
        }
        m_ui.model->appendRows(first, first + take);
        m_fill.next += take;
        m_fill.taken += take;
        if (m_fill.taken == batch.size()) {
            m_fill.arrived.removeFirst();
            m_fill.taken = 0;
        }
    }
    // The bar repaints the window at once: not after every step.
    if (!m_fill.sinceBar.isValid() || m_fill.sinceBar.elapsed() >= kBarEveryMs) {
        m_ui.Bar->setValue(m_fill.next);
        m_fill.sinceBar.restart();
    }
}

void ItemListing::setColumnWidths()
{
    QTableView* grid = m_ui.Flex;
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

// One step of a listing's arrived rows into the grid; the last one, once the
// worker has read every row, ends the listing.
void ItemListing::fillSlice()
{
    if (!m_filling)
        return;
    fillRows(m_fill.next + kRowsPerStep);
    if (m_fill.next < m_fill.count) {
        if (!m_fill.arrived.isEmpty())
            m_fillTimer.start();
        return; // the next rows start the timer again
    }
    if (m_fill.allRead)
        completeFill();
}

void ItemListing::completeFill()
{
    endFill();
    finishRun();
    endRun();
}

// Rows that arrived and are not in the grid go.
void ItemListing::releaseRows()
{
    if (!m_fill.arrived.isEmpty())
        releaseElsewhere(std::exchange(m_fill.arrived, {}));
    m_fill.taken = 0;
}

// Every row is in the grid: the current cell and the pictures.
void ItemListing::endFill()
{
    m_filling = false;
    releaseRows();
    QTableView* grid = m_ui.Flex;
    const int count = m_fill.count;
    setColumnWidths();
    m_ui.Bar->setValue(count);
    if (count > 0) {
        // The last cell filled stays current (the editor relies on it), without
        // scrolling the grid away from its first rows.
        const bool autoScroll = grid->hasAutoScroll();
        grid->setAutoScroll(false);
        grid->selectionModel()->setCurrentIndex(m_ui.model->index(count - 1, kTimeColumn),
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
// holds, without pictures, and the worker stops reading.
void ItemListing::abandonFill()
{
    m_fillTimer.stop();
    m_filling = false;
    m_fill.abandoned = true;
    if (m_reading)
        m_worker.cancel();
    releaseRows();
    cancelPictures();
    m_ui.Flex->setUpdatesEnabled(true);
    m_ui.Bar->setValue(m_fill.next);
    m_ui.shpWait->hide();
}
