// The auction window: saving the ends and undoing the last save, on the database worker.
#include "auction/frmVESKauction.h"

#include "auction/AuctionEditor.h"
#include "auction/ItemListing.h"
#include "auction/UnsavedEndsKeeper.h"
#include "auction_core/AuctionGrid.h"
#include "auction_core/AuctionJournal.h"
#include "auction_core/AuctionSaver.h"
#include "auction_core/Counted.h"
#include "auction_core/ItemTableModel.h"
#include "data/DatabaseWorker.h"
#include "data/frmadoHelper.h"
#include "timeconv/Clock.h"
#include "timeconv/UsDaylightSaving.h"
#include "windows/MessageBox.h"

#include <QApplication>
#include <QFileInfo>
#include <QLocale>
#include <QShortcut>
#include <QTimer>

namespace {
// The state of a running save, shared with the database worker.
constexpr int kSaveRunning = 0;
constexpr int kSaveStopping = 1; // end at the next row, committing what was written
constexpr int kSaveGivenUp = 2;  // nobody waits for the report: commit nothing more
// How long a stopped save may take to end by itself before it is given up on.
constexpr int kStopGraceMs = 250;

// A journal time (UTC) on the store's clock: five hours behind, four in summer time.
QString storeClockText(const QString& utcTime)
{
    const QDateTime utc = QDateTime::fromString(utcTime, Qt::ISODate);
    if (!utc.isValid())
        return utcTime;
    QDateTime wall = utc.addSecs(-4 * 3600);
    if (!usDaylightSaving(wall.date(), wall.time()))
        wall = utc.addSecs(-5 * 3600);
    return QLocale().toString(wall, auctiongrid::kDateFormat + QStringLiteral(" HH:mm"));
}

// "Undo the save of Dec-7-2026 12:22 for store 3: 4 items (R-1001, R-1002, E-77, ...)?"
QString undoQuestion(const AuctionJournal::Save& last)
{
    constexpr int kSkusNamed = 3;
    const QVector<AuctionJournal::Row> written = last.written();
    QVector<qint32> items;
    QStringList skus;
    for (const AuctionJournal::Row& row : written) {
        if (items.contains(row.itemId))
            continue;
        items << row.itemId;
        if (skus.size() < kSkusNamed)
            skus << (row.sku.isEmpty() ? frmVESKauction::tr("item %1").arg(row.itemId) : row.sku);
    }
    if (items.size() > kSkusNamed)
        skus << QString(QChar(0x2026));
    const QString what =
        frmVESKauction::tr("the save of %1 for store %2: %3 (%4)")
            .arg(
                storeClockText(last.isUndo() ? last.rows.first().undoes : last.rows.first().time),
                written.first().store,
                counted(int(items.size()), frmVESKauction::tr("item"), frmVESKauction::tr("items")),
                skus.join(QStringLiteral(", ")));
    return last.isUndo()
               ? frmVESKauction::tr("Redo %1?\n\nTheir ends go back to what that save set.")
                     .arg(what)
               : frmVESKauction::tr("Undo %1?\n\nTheir ends go back to what they were before it.")
                     .arg(what);
}
} // namespace

// Saves the auction ends of the grid on the database worker. The window stays
// live but takes no input that would change the grid meanwhile; a save that
// ends early keeps the ends it did not write, marked, for the next press.
void frmVESKauction::Command1_Click()
{
    if (isBusy())
        return;
    const QVector<AuctionRow> rows = m_items->auctionRows();
    const QString store = txtStoreID->text();
    startSave(
        false, AuctionSaver::rowsToWrite(rows),
        [rows, store](DataControl& control, const std::function<void(AuctionSaver&)>& prepare) {
            AuctionSaver saver(control, store);
            prepare(saver);
            return saver.save(rows);
        });
}

// Puts back the ends the last save of the journal replaced, where nobody has
// changed them since, once the clerk has agreed to the save named. The undo is
// journaled as a save of its own, so a second press redoes the save.
void frmVESKauction::cmdUndoSave_Click()
{
    if (isBusy())
        return;
    const QString journalFile = m_helper.installation().auctionJournalFile();
    const AuctionJournal::Save last = AuctionJournal(journalFile).lastSave();
    const QVector<AuctionJournal::Row> written = last.written();
    AuctionSaveReport nothing;
    if (!last.error.isEmpty())
        nothing.journalError = last.error;
    else if (last.rows.isEmpty())
        nothing.journalError = QStringLiteral("the save journal %1 holds no save").arg(journalFile);
    else if (written.isEmpty())
        nothing.journalError = QStringLiteral("the last save wrote no end into the item "
                                              "database, so there is nothing to undo");
    if (!nothing.journalError.isEmpty()) {
        MessageBox::warning(messageParent(), nothing.undoMessage());
        return;
    }
    // No is the default: a reflexive Return or Esc changes no live auction.
    if (MessageBox::question(messageParent(), undoQuestion(last),
                             QMessageBox::Yes | QMessageBox::No, QString(),
                             QMessageBox::No) != QMessageBox::Yes)
        return;
    // The table is listed again after the undo: ask before that throws edits away.
    if (!confirmDiscardPending())
        return;
    // The save undone is the one asked about, even if another was journaled
    // meanwhile. Undoing an undo redoes: that is a save like any other again.
    const QString undoes = last.isUndo() ? QString() : last.rows.first().time;
    startSave(
        true, {},
        [written, undoes](DataControl& control, const std::function<void(AuctionSaver&)>& prepare) {
            AuctionSaver saver(control, written.first().store);
            prepare(saver);
            saver.undoes = undoes;
            return saver.write(AuctionSaver::undoOf(written));
        });
}

void frmVESKauction::updateUndoCaption()
{
    const bool redo =
        AuctionJournal(m_helper.installation().auctionJournalFile()).lastSave().isUndo();
    cmdUndoSave->setText(redo ? tr("Redo last save") : tr("Undo last save"));
}

void frmVESKauction::startSave(bool undo, const QVector<int>& rowsToWrite, SaveRun run)
{
    const DatabaseWorker::ControlSetup setup =
        DatabaseWorker::ControlSetup::of(m_helper.adoKBvesk1);
    const QString journalFile = m_helper.installation().auctionJournalFile();
    const quint64 generation = ++m_saveGeneration;
    const auto state = std::make_shared<std::atomic<int>>(kSaveRunning);
    const auto report = std::make_shared<AuctionSaveReport>();
    const bool started = m_worker->run(
        [this, run, setup, journalFile, generation, state, report,
         before = beforeSaveRow](DatabaseWorker::Session& session) {
            const AuctionJournal journal(journalFile);
            const auto prepare = [&](AuctionSaver& saver) {
                saver.journal = &journal;
                saver.beforeRow = before;
                saver.stopRequested = [state] { return state->load() != kSaveRunning; };
                saver.givenUp = [state] { return state->load() == kSaveGivenUp; };
                saver.rowSaved = [this, generation](int row, qint32 stamp) {
                    QMetaObject::invokeMethod(
                        this,
                        [this, generation, row, stamp] {
                            if (!m_saving || generation != m_saveGeneration)
                                return;
                            m_savedSoFar.append({row, stamp});
                            emit rowSaved(row);
                        },
                        Qt::QueuedConnection);
                };
            };
            *report = run(session.control(setup), prepare);
        },
        [this, report] { saveDone(*report); });
    if (!started)
        return;
    m_saving = true;
    m_undoing = undo;
    m_savedNote.clear();
    updateStatus();
    m_stopSave = state;
    m_rowsToWrite = rowsToWrite;
    m_savedSoFar.clear();
    m_barRangeBeforeSave = {Bar->minimum(), Bar->maximum()};
    m_barValueBeforeSave = Bar->value();
    Bar->setRange(0, 0);
    updateBusyState();
}

void frmVESKauction::saveDone(const AuctionSaveReport& report)
{
    m_saving = false;
    const bool endAfterSave = std::exchange(m_endAfterSave, false);
    const bool undo = std::exchange(m_undoing, false);
    Bar->setRange(m_barRangeBeforeSave.first, m_barRangeBeforeSave.second);
    Bar->setValue(m_barValueBeforeSave);
    updateUndoCaption();
    const QString at = clock().now().toString(QStringLiteral("HH:mm"));
    if (undo) {
        updateBusyState();
        if (report.endedEarly()) {
            MessageBox::warning(messageParent(), report.undoMessage());
            emit saveEnded();
            return;
        }
        // An undo that did all it was asked needs no box: the status line says so.
        m_savedNote = tr("%1 put back at %2").arg(counted(report.saved, tr("end"), tr("ends")), at);
        m_reportAfterListing = report.hasProblems() ? report.undoMessage() : QString();
        m_reportIsWarning = report.hasProblems();
        m_listingAfterSave = true;
        Timer1_Timer();
        return;
    }
    QVector<bool> saved(m_items->rowCount(), false);
    for (const std::pair<int, qint32>& row : report.savedRows) {
        if (row.first < m_items->rowCount()) {
            m_items->markRowSaved(row.first, row.second);
            saved[row.first] = true;
        }
    }
    // Set once the rows are marked: marking them is no edit of the clerk's.
    m_savedNote = report.saved > 0 || report.hasProblems()
                      ? tr("%1 saved at %2").arg(counted(report.saved, tr("end"), tr("ends")), at)
                      : tr("No changed end to save");
    // Ends that could still be written later stay in the grid rather than
    // being replaced by a new listing.
    if (report.worthKeeping()) {
        for (int row : std::as_const(m_rowsToWrite)) {
            if (row < m_items->rowCount() && !saved[row])
                m_items->markRowNotSaved(row);
        }
        updateBusyState();
        updateStatus();
        MessageBox::warning(messageParent(), report.message(false));
        emit saveEnded();
        return;
    }
    updateBusyState();
    if (endAfterSave && !report.hasProblems()) {
        m_unsavedEnds->writeNow(); // the program ends before the event loop would
        emit saveEnded();
        emit programEnded();
        return;
    }
    m_reportAfterListing = report.hasProblems() ? report.message(true) : QString();
    m_reportIsWarning = true;
    m_listingAfterSave = true;
    Timer1_Timer();
}

// Gives up the wait for the database: a save keeps every row it has
// committed, a listing leaves the table as it was.
void frmVESKauction::cmdStop_Click()
{
    if (m_saving) {
        int running = kSaveRunning;
        if (!m_stopSave->compare_exchange_strong(running, kSaveStopping)) {
            giveUpSave(); // pressed again
            return;
        }
        // A server that answers lets the save end at the next row, with what
        // it wrote committed; one that does not is given up on shortly.
        QTimer::singleShot(kStopGraceMs, this, [this, generation = m_saveGeneration] {
            if (m_saving && generation == m_saveGeneration)
                giveUpSave();
        });
        return;
    }
    if (m_listing->isWaiting()) {
        m_listing->stop();
        MessageBox::information(messageParent(),
                                tr("The listing was stopped before the item database answered.\n\n"
                                   "The table still shows what it showed before."));
    }
}

void frmVESKauction::giveUpSave()
{
    // From now on the save commits nothing more; the rows it confirmed still count.
    m_stopSave->store(kSaveGivenUp);
    QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
    m_worker->abandon();
    AuctionSaveReport report;
    report.stopped = true;
    report.savedRows = m_savedSoFar;
    report.saved = m_savedSoFar.size();
    report.notAttempted = std::max(0, int(m_rowsToWrite.size()) - report.saved);
    saveDone(report);
}

bool frmVESKauction::isBusy() const
{
    return m_saving || m_listing->isRunning();
}

void frmVESKauction::updateBusyState()
{
    const bool saving = m_saving;
    QWidget* const focused = focusWidget();
    for (QWidget* control : {static_cast<QWidget*>(Command2), static_cast<QWidget*>(Option1),
                             static_cast<QWidget*>(optPast), static_cast<QWidget*>(optFree),
                             static_cast<QWidget*>(optCurrent), static_cast<QWidget*>(chkLimit),
                             static_cast<QWidget*>(txtSearch), static_cast<QWidget*>(txtStoreID),
                             static_cast<QWidget*>(Flex), static_cast<QWidget*>(cmdSave),
                             static_cast<QWidget*>(dtDate), static_cast<QWidget*>(dtTime)})
        control->setEnabled(!saving);
    Command1->setEnabled(!saving && !m_listing->isRunning());
    cmdUndoSave->setEnabled(!saving && !m_listing->isRunning() &&
                            QFileInfo::exists(m_helper.installation().auctionJournalFile()));
    cmdStop->setVisible(saving || m_listing->isWaiting());
    m_stopKey->setEnabled(cmdStop->isVisibleTo(this));
    keepFocusOffDisabled(focused);
}

bool frmVESKauction::mayEnd()
{
    const int count = unsavedCount();
    if (count == 0 || m_saving)
        return true;
    switch (MessageBox::question(messageParent(),
                                 count == 1 ? tr("Save 1 unsaved end before closing?\n\n"
                                                 "Yes: save it, and close once it is saved.\n"
                                                 "No: close without it.\nCancel: stay.")
                                            : tr("Save %1 unsaved ends before closing?\n\n"
                                                 "Yes: save them, and close once they are saved.\n"
                                                 "No: close without them.\nCancel: stay.")
                                                  .arg(count),
                                 QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel)) {
    case QMessageBox::Yes:
        Command1_Click();
        m_endAfterSave = m_saving;
        return false;
    case QMessageBox::No:
        m_unsavedEnds->discardAll();
        return true;
    default:
        return false;
    }
}
