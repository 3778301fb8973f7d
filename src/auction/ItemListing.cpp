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

#include <QCheckBox>
#include <QCoreApplication>
#include <QFrame>
#include <QLineEdit>
#include <QProgressBar>
#include <QRadioButton>
#include <QScrollBar>
#include <QTableView>

#include <algorithm>
#include <exception>
#include <memory>

using namespace auctiongrid;

namespace {
// Long enough that letting events through costs nothing measurable, short
// enough that the window answers at once.
constexpr qint64 kEventPassMs = 30;
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

// What the worker thread hands back once it has read the rows: why there are
// none, if so.
struct ItemListing::QueryResult
{
    QString error;
};

void ItemListing::run()
{
    if (m_running) {
        m_again = true;
        // Rows still filling belong to a listing the clerk no longer wants.
        if (m_filling) {
            abandonFill();
            if (!m_reading)
                endRun(); // else once the worker has stopped reading
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
    m_asked = {filters, m_ui.txtSearch->text(), -1};

    DataControl& control = m_helper.adoKBvesk2;
    // Escaped for the engine the control talks to, so that no typed text can
    // end the literal; % and _ stay wildcards.
    const QString body = control.escapeLiteral(
        likePatternBody(m_ui.txtSearch->text(), control.engine() == DataControl::Engine::MySql));

    control.CommandType = DataControl::kQueryText;
    control.RecordSource = listingBasePiece(body);
    for (const QString& piece : listingFilterPieces(filters, m_now))
        control.RecordSource = control.RecordSource + piece;
    m_assembled = control.RecordSource;
    emit statementAssembled(m_assembled);
    control.RecordSource =
        convertSqlKeepingLiteral(control.RecordSource, listingStatementHead().size(), body.size());

    if (!startReading(DatabaseWorker::ControlSetup::of(control), control.RecordSource,
                      !filters.limit)) {
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

// Hands the statement to the worker, which reads the rows and turns them into
// grid rows in batches, each passed on as it is ready; false when the worker is
// busy. Only a listing without the row limit (`many`) is worth the prepared
// statement's extra round trip.
bool ItemListing::startReading(const DatabaseWorker::ControlSetup& setup, const QString& statement,
                               bool many)
{
    m_fill = Fill();
    auto result = std::make_shared<QueryResult>();
    const qint32 now = m_now;
    const bool daylightSaving = m_daylightSaving;
    m_reading = m_worker.runStreaming(
        [this, setup, statement, many, now, daylightSaving,
         result](DatabaseWorker::Session& session, DatabaseWorker::Outbox& outbox) {
            try {
                QSet<QString> stores; // store ids, one copy each
                session.control(setup).readInBatches(
                    statement, many, kFirstRows, kRowsPerStep,
                    [&outbox] { return outbox.cancelled(); },
                    [&](DataControl::RowBatch& batch) {
                        auto rows = std::make_shared<QVector<ItemRow>>(
                            listedItems(batch.columns, batch.rows, now, daylightSaving, stores));
                        batch.rows.clear();
                        outbox.post([this, rows, total = batch.total] {
                            rowsArrived(std::move(*rows), total);
                        });
                    });
            } catch (const std::exception& error) {
                result->error = errorText(error);
            }
        },
        [this, result] { queryDone(*result); });
    return m_reading;
}

void ItemListing::queryDone(QueryResult& result)
{
    m_reading = false;
    if (m_fill.abandoned) {
        endRun(); // the clerk stopped it or wants another listing
        return;
    }
    setWaiting(false);
    if (!result.error.isEmpty()) {
        if (m_filling)
            abandonFill();
        DataControl& control = m_helper.adoKBvesk2;
        showFailure(tr("The items could not be listed from %1.\n\n%2\n\nThe table still shows "
                       "what it showed before.")
                        .arg(control.describe(), result.error));
        endRun();
        return;
    }
    m_fill.allRead = true;
    if (m_fill.next >= m_fill.count)
        completeFill(); // else the last step of the fill does
}

void ItemListing::stop()
{
    if (m_filling) {
        abandonFill();
        m_again = false;
        if (!m_reading)
            endRun(); // else once the worker has stopped reading
        return;
    }
    if (m_fill.abandoned && m_reading) {
        m_again = false; // the listing asked for after the abandoned one is off too
        return;
    }
    if (!m_waitingForServer)
        return;
    m_worker.abandon();
    m_reading = false;
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
