// The auction window: listing the items and the clerk's pending ends in the grid.
#include "auction/frmVESKauction.h"

#include "auction/AuctionEditor.h"
#include "auction/ItemListing.h"
#include "auction/SetEndsDialog.h"
#include "auction/UnsavedEndsKeeper.h"
#include "auction_core/AuctionGrid.h"
#include "auction_core/Counted.h"
#include "auction_core/ItemTableModel.h"
#include "timeconv/Clock.h"
#include "windows/MessageBox.h"

#include <QDialog>
#include <QLabel>
#include <QMenu>
#include <QSpinBox>

void frmVESKauction::Timer1_Timer()
{
    Timer1->stop();
    if (m_saving)
        return; // the grid is being saved; the save lists again when it ends
    rememberGridSpot();
    if (!m_listingAfterSave)
        m_savedNote.clear(); // a listing of the clerk's own is the next action
    ++listingRuns;
    emit listingStarted();
    m_listing->run();
    updateBusyState();
}

void frmVESKauction::listingFinished()
{
    updateBusyState();
    updateStatus();
    if (!m_listingAfterSave)
        return;
    m_listingAfterSave = false;
    const QString report = std::exchange(m_reportAfterListing, QString());
    if (!report.isEmpty() && m_reportIsWarning)
        MessageBox::warning(messageParent(), report);
    else if (!report.isEmpty())
        MessageBox::information(messageParent(), report);
    emit saveEnded();
}

void frmVESKauction::Command2_Click()
{
    if (confirmDiscardPending())
        Timer1_Timer();
}

bool frmVESKauction::confirmDiscardPending()
{
    const int count = m_items->pendingCount();
    if (count == 0)
        return true;
    const QString unsaved = counted(count, tr("unsaved end"), tr("unsaved ends"));
    // A reflexive Return keeps the work.
    return MessageBox::question(messageParent(), tr("Discard %1?").arg(unsaved),
                                QMessageBox::Yes | QMessageBox::No, QString(),
                                QMessageBox::No) == QMessageBox::Yes;
}

int frmVESKauction::unsavedCount() const
{
    return m_items->pendingCount() + m_unsavedEnds->waitingCount();
}

void frmVESKauction::undoEnd()
{
    if (!m_saving)
        m_items->undo();
}

void frmVESKauction::showGridMenu(const QPoint& position)
{
    if (m_saving)
        return;
    const int row = Flex->rowAt(position.y());
    QVector<int> rows;
    for (const QModelIndex& index : Flex->selectionModel()->selectedIndexes()) {
        if (!rows.contains(index.row()))
            rows << index.row();
    }
    if (rows.isEmpty() && row >= 0)
        rows << row;
    // Top to bottom as the grid shows them, whatever order they were picked in.
    std::sort(rows.begin(), rows.end());

    auto* menu = new QMenu(Flex);
    menu->setObjectName(QStringLiteral("gridMenu"));
    menu->setAttribute(Qt::WA_DeleteOnClose);
    QAction* undo = menu->addAction(tr("Undo end"), this, [this, row] { m_items->undoRow(row); });
    undo->setShortcut(QKeySequence::Undo);
    undo->setEnabled(row >= 0 && m_items->canUndoRow(row));
    QAction* setEnds =
        menu->addAction(tr("Set ends") + QChar(0x2026), this, [this, rows] { openSetEnds(rows); });
    setEnds->setEnabled(!rows.isEmpty());
    menu->popup(Flex->viewport()->mapToGlobal(position));
}

void frmVESKauction::openSetEnds(const QVector<int>& rows)
{
    // The first row's end when it is still to come, else now rounded up to
    // the next five minutes.
    const QDateTime now = clock().now();
    const QDateTime wallNow(now.date(), now.time(), Qt::UTC);
    QDateTime start = m_editor->rowEnd(rows.first());
    if (!start.isValid() || start <= wallNow) {
        const qint64 seconds = wallNow.toSecsSinceEpoch();
        start = QDateTime::fromSecsSinceEpoch((seconds + 299) / 300 * 300, Qt::UTC);
    }
    auto* dialog = new SetEndsDialog(int(rows.size()), start.date(), start.time(), this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QDialog::accepted, this, [this, dialog, rows] {
        // The selection's highlight would hide the marks of the rows just set.
        if (m_editor->setEnds(rows, dialog->startDate->date(), dialog->startTime->time(),
                              dialog->stepMinutes->value()))
            Flex->clearSelection();
    });
    dialog->open();
}

void frmVESKauction::showUnsavedCount(int count)
{
    // Restored ends not listed yet are unsaved too.
    count += m_unsavedEnds->waitingCount();
    m_unsavedLabel->setText(count > 0 ? tr("%1 unsaved").arg(count) : QString());
    m_unsavedLabel->setVisible(count > 0);
}

void frmVESKauction::Flex_Click()
{
    m_editor->gridClick();
}

void frmVESKauction::Flex_Scroll()
{
    m_editor->gridScrolled();
}

void frmVESKauction::cmdSave_Click()
{
    m_editor->apply();
}

void frmVESKauction::setUpStatusLine()
{
    connect(m_listing, &ItemListing::listed, this, &frmVESKauction::updateStatus);
    for (QAbstractButton* filter :
         {static_cast<QAbstractButton*>(Option1), static_cast<QAbstractButton*>(optPast),
          static_cast<QAbstractButton*>(optFree), static_cast<QAbstractButton*>(optCurrent),
          static_cast<QAbstractButton*>(chkLimit)})
        connect(filter, &QAbstractButton::toggled, this, &frmVESKauction::updateStatus);
    connect(txtSearch, &QLineEdit::textChanged, this, &frmVESKauction::updateStatus);
    connect(m_items, &QAbstractItemModel::dataChanged, this, &frmVESKauction::gridEndsChanged);
}

void frmVESKauction::updateStatus()
{
    const ItemListing::Shown& shown = m_listing->shown();
    const bool filterChanged =
        shown.rows >= 0 &&
        (shown.filters.past != optPast->isChecked() ||
         shown.filters.current != optCurrent->isChecked() ||
         shown.filters.free != optFree->isChecked() ||
         shown.filters.limit != chkLimit->isChecked() || shown.search != txtSearch->text());
    QStringList parts;
    if (!m_savedNote.isEmpty())
        parts << m_savedNote;
    // Rows of another filter say nothing about the new one.
    if (filterChanged)
        parts << tr("Press REFRESH (F5) to apply the new filter: the table still shows the "
                    "one before.");
    else if (shown.rows == 0)
        parts << tr("No items match.");
    else if (shown.filters.limit && shown.rows == kListingLimit)
        parts << tr("Only the first %1 items are shown: untick (limit to %1) and press REFRESH "
                    "to see all.")
                     .arg(kListingLimit);
    m_statusLabel->setText(parts.join(QStringLiteral("   ")));
}

void frmVESKauction::gridEndsChanged(const QModelIndex& topLeft)
{
    if (topLeft.column() != auctiongrid::kStampColumn || m_savedNote.isEmpty())
        return;
    m_savedNote.clear();
    updateStatus();
}
