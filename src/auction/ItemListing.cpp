#include "auction/ItemListing.h"

#include "auction/ItemPictureDelegate.h"
#include "auction_core/AuctionGrid.h"
#include "auction_core/ListingQuery.h"
#include "data/DataControl.h"
#include "data/DataError.h"
#include "data/DatabaseWorker.h"
#include "data/ThumbnailPipeline.h"
#include "data/frmadoHelper.h"
#include "timeconv/UnixTime.h"
#include "windows/MessageBox.h"
#include "windows/Platform.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QFrame>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QLocale>
#include <QProgressBar>
#include <QRadioButton>
#include <QScrollBar>
#include <QTableWidget>
#include <QThreadPool>

#include <algorithm>
#include <exception>
#include <memory>

using namespace auctiongrid;

namespace {
constexpr int kRowHeightTwips = 1000;
constexpr int kItemWidth = 1200;
constexpr int kSkuWidth = 2000;
constexpr int kDescriptionWidth = 5500;
constexpr int kRetailWidth = 1000;
constexpr int kStampWidth = 1200;
// Long enough that letting events through costs nothing measurable, short
// enough that the window answers at once.
constexpr qint64 kEventPassMs = 30;
constexpr qint64 kLookUpBatchMs = 10;
// A long listing shows its first rows at once and fills the rest in slices
// short enough that the window keeps answering.
constexpr int kFirstRows = 100;
constexpr int kRowsPerStep = 64;
constexpr int kClearStep = 500;
constexpr qint64 kBarEveryMs = 100;
constexpr qint64 kFillSliceMs = 8;

const QString kItemIdField = QStringLiteral("CV_itemid");
const QString kSkuField = QStringLiteral("SKU");
const QString kDescriptionField = QStringLiteral("Description");
const QString kRetailField = QStringLiteral("Retail");
const QString kStampField = QStringLiteral("auction_until_unix");
const QString kStoreField = QStringLiteral("storeid");

QTableWidgetItem* textItem(const QString& text)
{
    return new QTableWidgetItem(text);
}
} // namespace

ItemListing::ItemListing(const Controls& controls, frmadoHelper& helper, DatabaseWorker& worker,
                         QObject* parent)
    : QObject(parent), m_ui(controls), m_helper(helper), m_worker(worker),
      m_pictures(helper.pictures()), m_pipeline(m_pictures.pipeline())
{
    m_delegate = new ItemPictureDelegate(m_ui.Flex);
    m_ui.Flex->setItemDelegateForColumn(0, m_delegate);
    auto* numbers = new ColumnLooksDelegate(Qt::AlignRight | Qt::AlignVCenter, m_ui.Flex);
    m_ui.Flex->setItemDelegateForColumn(kRetailColumn, numbers);
    m_ui.Flex->setItemDelegateForColumn(kStampColumn, numbers);

    m_batchTimer.setSingleShot(true);
    m_batchTimer.setInterval(0);
    connect(&m_batchTimer, &QTimer::timeout, this, &ItemListing::lookUpBatch);
    m_fillTimer.setSingleShot(true);
    m_fillTimer.setInterval(0);
    connect(&m_fillTimer, &QTimer::timeout, this, &ItemListing::fillSlice);

    connect(&m_pipeline, &ThumbnailPipeline::thumbnailReady, this, &ItemListing::pictureDecoded,
            Qt::QueuedConnection);
    connect(m_ui.Flex->verticalScrollBar(), &QScrollBar::valueChanged, this,
            &ItemListing::prioritizeVisible);
}

ItemListing::~ItemListing()
{
    cancelPictures();
}

// What the worker thread hands back: the rows, or why there are none.
struct ItemListing::QueryResult
{
    RecordSet records;
    QString error;
};

void ItemListing::run()
{
    if (m_running) {
        m_again = true;
        // Rows still filling belong to a listing the clerk no longer wants.
        if (m_filling) {
            abandonFill();
            endRun();
        }
        return;
    }
    m_running = true;
    m_again = false;
    startOnce();
}

QWidget* ItemListing::messageParent() const
{
    return m_ui.window->isVisible() ? m_ui.window : nullptr;
}

void ItemListing::letEventsThrough(bool always)
{
    if (!always && m_sinceEvents.isValid() && m_sinceEvents.elapsed() < kEventPassMs)
        return;
    QCoreApplication::processEvents();
    m_sinceEvents.restart();
}

void ItemListing::setWaiting(bool waiting)
{
    if (m_waitingForServer == waiting)
        return;
    m_waitingForServer = waiting;
    emit waitingChanged(waiting);
}

// Assembles the statement in the record source piece by piece, translates it
// and hands it to the worker; the grid is filled when the rows arrive.
void ItemListing::startOnce()
{
    // One "now" for the statement and the colours of this run.
    m_daylightSaving = m_ui.chkDayLight->isChecked();
    QDateTime now = m_ui.now();
    now.setTime(QTime(now.time().hour(), now.time().minute(), now.time().second()));
    m_now = veskTOunix(toDayCount(now), m_daylightSaving);

    m_barRange = {m_ui.Bar->minimum(), m_ui.Bar->maximum()};
    m_barValue = m_ui.Bar->value();
    m_ui.shpWait->show();

    ListingFilters filters;
    filters.past = m_ui.optPast->isChecked();
    filters.current = m_ui.optCurrent->isChecked();
    filters.free = m_ui.optFree->isChecked();
    filters.limit = m_ui.chkLimit->isChecked();

    DataControl& control = m_helper.adoKBvesk2;
    // Escaped for the engine the control talks to, so that no typed text can
    // end the literal; % and _ stay wildcards.
    const QString body = control.escapeLiteral(
        likePatternBody(m_ui.txtSearch->text(), control.engine() == DataControl::Engine::MySql));

    control.CommandType = 1;
    control.RecordSource = listingBasePiece(body);
    for (const QString& piece : listingFilterPieces(filters, m_now))
        control.RecordSource = control.RecordSource + piece;
    m_assembled = control.RecordSource;
    emit statementAssembled(m_assembled);
    control.RecordSource =
        convertSqlKeepingLiteral(control.RecordSource, listingStatementHead().size(), body.size());

    const DatabaseWorker::ControlSetup setup = DatabaseWorker::ControlSetup::of(control);
    const QString statement = control.RecordSource;
    auto result = std::make_shared<QueryResult>();
    const bool started = m_worker.run(
        [setup, statement, result](DatabaseWorker::Session& session) {
            try {
                DataControl& worker = session.control(setup);
                worker.CommandType = 1;
                worker.RecordSource = statement;
                worker.Refresh();
                RecordSet& records = worker.Recordset();
                QStringList missing;
                for (const QString& field :
                     {kItemIdField, kSkuField, kDescriptionField, kRetailField, kStampField}) {
                    if (!records.hasField(field))
                        missing << field;
                }
                if (!missing.isEmpty())
                    throw DataError(QStringLiteral("The item table has no column %1.")
                                        .arg(missing.join(QStringLiteral(", "))));
                result->records = std::move(records); // one copy of a long listing, not two
            } catch (const std::exception& error) {
                result->error = errorText(error);
            }
        },
        [this, result] { queryDone(*result); });
    if (!started) {
        // Another database step runs (a save): it lists again when it ends.
        m_ui.shpWait->hide();
        m_running = false;
        m_again = false;
        emit finished();
        return;
    }
    m_ui.Bar->setRange(0, 0); // busy: the server has the statement
    setWaiting(true);
    m_sinceEvents.restart();
}

void ItemListing::queryDone(QueryResult& result)
{
    setWaiting(false);
    if (!result.error.isEmpty()) {
        DataControl& control = m_helper.adoKBvesk2;
        showFailure(tr("The items could not be listed from %1.\n\n%2\n\nThe table still shows "
                       "what it showed before.")
                        .arg(control.describe(), result.error));
        endRun();
        return;
    }
    cancelPictures();
    m_fill = Fill();
    m_fill.records = std::move(result.records);
    m_filling = true;
    fillSlice();
}

void ItemListing::stop()
{
    if (m_filling) {
        abandonFill();
        m_again = false;
        endRun();
        return;
    }
    if (!m_waitingForServer)
        return;
    m_worker.abandon();
    setWaiting(false);
    m_ui.Bar->setRange(m_barRange.first, m_barRange.second);
    m_ui.Bar->setValue(m_barValue);
    m_ui.shpWait->hide();
    m_again = false;
    endRun();
}

void ItemListing::endRun()
{
    ++m_completed;
    if (m_again) {
        m_again = false;
        startOnce();
        return;
    }
    m_running = false;
    emit finished();
}

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
    m_fill.hasStore = m_fill.records.hasField(kStoreField);
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
        const QVariant itemId = records.Fields(kItemIdField);
        const QVariant sku = records.Fields(kSkuField);
        const QVariant description = records.Fields(kDescriptionField);
        const ListingRow cells =
            listingRow(itemId, sku, description, records.Fields(kRetailField),
                       records.Fields(kStampField), m_now, m_daylightSaving, m_fill.locale);

        // Alignments and the item column's font come from the columns' delegates.
        auto* item = textItem(cells.itemId);
        // Whose row it is, for the save; a NULL store id stays a null value.
        if (m_fill.hasStore) {
            const QVariant store = records.Fields(kStoreField);
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

void ItemListing::finishRun()
{
    m_ui.Flex->setUpdatesEnabled(true);
    m_ui.shpWait->hide();
    letEventsThrough(true);
    emit listed();
    if (!m_pictureFailure.isEmpty())
        reportPictureFailure();
    if (m_picturesActive && m_lookUpsLeft > 0)
        m_batchTimer.start();
    else
        checkPicturesComplete();
}

void ItemListing::showFailure(const QString& text)
{
    // The grid keeps its rows: an end the clerk has not saved is still there.
    m_ui.Bar->setRange(m_barRange.first, m_barRange.second);
    m_ui.Bar->setValue(m_barValue);
    m_ui.shpWait->hide();
    MessageBox::warning(messageParent(), text);
}

void ItemListing::cancelPictures()
{
    m_batchTimer.stop();
    if (!m_waiting.isEmpty())
        m_pipeline.cancel(m_waiting.keys(), kPictureSize);
    m_waiting.clear();
    m_lookUp.clear();
    m_rowPath.clear();
    m_nextLookUp = 0;
    m_lookUpsLeft = 0;
    m_picturesActive = false;
    m_pictureFailure.clear();
}

int ItemListing::picturesPending() const
{
    int waiting = 0;
    for (const QVector<int>& rows : m_waiting)
        waiting += rows.size();
    return m_lookUpsLeft + waiting;
}

// A short listing: every picture in place before the listing ends. The files
// decode in parallel while the next rows are looked up.
void ItemListing::lookUpAllPictures()
{
    QStringList toDecode;
    for (int row = 0; row < m_lookUp.size(); ++row) {
        const bool go = lookUpRow(row, &toDecode);
        m_pipeline.prefetch(toDecode, kPictureSize);
        toDecode.clear();
        if (!go)
            break;
    }
    for (int row = 0; row < m_rowPath.size(); ++row) {
        const QString path = std::exchange(m_rowPath[row], QString());
        if (!path.isEmpty())
            placePicture(row, m_pipeline.thumbnail(path, kPictureSize));
    }
    m_waiting.clear();
}

bool ItemListing::lookUpRow(int row, QStringList* toDecode)
{
    if (row < 0 || row >= m_lookUp.size() || !m_lookUp[row])
        return true;
    const qint32 item = *std::exchange(m_lookUp[row], std::nullopt);
    --m_lookUpsLeft;
    QString path;
    try {
        if (!m_pictures.findPictureFile(item, path))
            return true;
    } catch (const DataError& error) {
        // One unreachable picture database would otherwise cost every row a time-out.
        m_pictureFailure = error.message();
        m_lookUp.fill(std::nullopt);
        m_lookUpsLeft = 0;
        return false;
    }
    if (m_pipeline.isCached(path, kPictureSize)) {
        placePicture(row, m_pipeline.thumbnail(path, kPictureSize));
        return true;
    }
    m_rowPath[row] = path;
    QVector<int>& rows = m_waiting[path];
    if (rows.isEmpty())
        toDecode->append(path);
    rows.append(row);
    return true;
}

void ItemListing::placePicture(int row, const Thumbnail& thumbnail)
{
    QTableWidgetItem* item = m_ui.Flex->item(row, 0);
    if (!item)
        return;
    // Found but not readable as a picture: a blank image, as the found flag says.
    item->setData(Qt::DecorationRole, thumbnail.image.isNull() ? m_blank : thumbnail.image);
}

std::pair<int, int> ItemListing::visibleRows() const
{
    const QTableWidget* grid = m_ui.Flex;
    const int top = grid->rowAt(0);
    if (top < 0)
        return {0, -1};
    int bottom = grid->rowAt(grid->viewport()->height() - 1);
    if (bottom < 0)
        bottom = grid->rowCount() - 1;
    return {top, bottom};
}

void ItemListing::lookUpBatch()
{
    if (!m_picturesActive)
        return;
    QElapsedTimer batch;
    batch.start();
    QStringList visible;
    QStringList later;
    bool go = true;
    const auto [top, bottom] = visibleRows();
    for (int row = top; go && row <= bottom && batch.elapsed() < kLookUpBatchMs; ++row)
        go = lookUpRow(row, &visible);
    while (go && m_lookUpsLeft > 0 && m_nextLookUp < m_lookUp.size() &&
           batch.elapsed() < kLookUpBatchMs)
        go = lookUpRow(m_nextLookUp++, &later);

    if (!visible.isEmpty())
        m_pipeline.prioritize(visible, kPictureSize);
    if (!later.isEmpty())
        m_pipeline.prefetch(later, kPictureSize);

    if (!m_pictureFailure.isEmpty())
        reportPictureFailure();
    if (m_lookUpsLeft > 0)
        m_batchTimer.start();
    else
        checkPicturesComplete();
}

void ItemListing::prioritizeVisible()
{
    if (m_waiting.isEmpty())
        return;
    const auto [top, bottom] = visibleRows();
    QStringList paths;
    for (int row = top; row <= bottom && row < m_rowPath.size(); ++row) {
        if (!m_rowPath[row].isEmpty())
            paths << m_rowPath[row];
    }
    if (!paths.isEmpty())
        m_pipeline.prioritize(paths, kPictureSize);
}

void ItemListing::pictureDecoded(const QString& path, qint32 picSize, const QImage& image)
{
    Q_UNUSED(image);
    if (picSize != kPictureSize)
        return;
    const auto it = m_waiting.find(path);
    if (it == m_waiting.end())
        return;
    const QVector<int> rows = *it;
    m_waiting.erase(it);
    // From the cache, which also notices a file changed since it was queued.
    const Thumbnail thumbnail = m_pipeline.thumbnail(path, picSize);
    for (int row : rows) {
        if (row < m_rowPath.size())
            m_rowPath[row].clear();
        placePicture(row, thumbnail);
    }
    checkPicturesComplete();
}

void ItemListing::reportPictureFailure()
{
    const QString failure = std::exchange(m_pictureFailure, QString());
    MessageBox::warning(messageParent(),
                        tr("The item pictures could not be looked up in %1, so the items are "
                           "listed without them.\n\n%2")
                            .arg(m_helper.adoGetPic.describe(), failure));
}

void ItemListing::checkPicturesComplete()
{
    if (!m_picturesActive || m_lookUpsLeft > 0 || !m_waiting.isEmpty())
        return;
    m_picturesActive = false;
    emit picturesComplete();
}
