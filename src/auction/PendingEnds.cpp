#include "auction/PendingEnds.h"

#include "auction/AuctionEditor.h"
#include "auction_core/AuctionGrid.h"

#include <QTableWidget>

#include <algorithm>

using namespace auctiongrid;

namespace {
const QColor kPendingColour(135, 206, 250);
} // namespace

PendingEnds::PendingEnds(QTableWidget& grid, QObject* parent) : QObject(parent), m_grid(grid) {}

PendingEnds::Cells PendingEnds::cellsOf(int row) const
{
    Cells cells;
    for (int i = 0; i < 3; ++i) {
        if (const QTableWidgetItem* item = m_grid.item(row, kStampColumn + i))
            cells[i] = item->text();
    }
    return cells;
}

void PendingEnds::write(int row, const Cells& cells)
{
    for (int i = 0; i < 3; ++i) {
        if (QTableWidgetItem* item = m_grid.item(row, kStampColumn + i))
            item->setText(cells[i]);
        else
            m_grid.setItem(row, kStampColumn + i, new QTableWidgetItem(cells[i]));
    }
}

void PendingEnds::setEnd(int row, const QString& stamp, const QString& date, const QString& time)
{
    if (row < 0 || row >= m_grid.rowCount())
        return;
    const Cells before = cellsOf(row);
    const Cells after = {stamp, date, time};
    if (before == after)
        return;
    if (!m_listed.contains(row)) {
        Listed listed;
        listed.cells = before;
        for (int i = 0; i < 3; ++i) {
            if (const QTableWidgetItem* item = m_grid.item(row, kStampColumn + i))
                listed.backgrounds[i] = item->background();
        }
        m_listed.insert(row, listed);
    }
    m_undo.append({row, before});
    write(row, after);
    updateMark(row);
}

bool PendingEnds::isPending(int row) const
{
    const auto listed = m_listed.constFind(row);
    return listed != m_listed.constEnd() && listed->cells != cellsOf(row);
}

bool PendingEnds::canUndoRow(int row) const
{
    for (const std::pair<int, Cells>& edit : m_undo) {
        if (edit.first == row)
            return true;
    }
    return false;
}

void PendingEnds::undo()
{
    if (!m_undo.isEmpty())
        undoAt(m_undo.size() - 1);
}

void PendingEnds::undoRow(int row)
{
    for (int i = m_undo.size() - 1; i >= 0; --i) {
        if (m_undo.at(i).first == row) {
            undoAt(i);
            return;
        }
    }
}

void PendingEnds::undoAt(int index)
{
    const std::pair<int, Cells> edit = m_undo.takeAt(index);
    if (edit.first >= m_grid.rowCount())
        return;
    write(edit.first, edit.second);
    updateMark(edit.first);
}

void PendingEnds::forget()
{
    m_listed.clear();
    m_undo.clear();
    setCount(0);
}

void PendingEnds::rowSaved(int row)
{
    const auto listed = m_listed.constFind(row);
    if (listed == m_listed.constEnd())
        return;
    for (int i = 0; i < 3; ++i) {
        if (QTableWidgetItem* item = m_grid.item(row, kStampColumn + i)) {
            item->setBackground(listed->backgrounds[i]);
            item->setToolTip(QString());
        }
    }
    m_listed.erase(listed);
    m_undo.erase(
        std::remove_if(m_undo.begin(), m_undo.end(),
                       [row](const std::pair<int, Cells>& edit) { return edit.first == row; }),
        m_undo.end());
    updateMark(row);
}

void PendingEnds::updateMark(int row)
{
    const auto listed = m_listed.constFind(row);
    if (listed != m_listed.constEnd()) {
        const bool pending = listed->cells != cellsOf(row);
        if (!pending)
            unmarkRowNotSaved(m_grid, row);
        // A row a failed save marked keeps that mark while it is pending.
        if (!pending || !isRowMarkedNotSaved(m_grid, row)) {
            for (int i = 0; i < 3; ++i) {
                QTableWidgetItem* item = m_grid.item(row, kStampColumn + i);
                item->setBackground(pending ? QBrush(kPendingColour) : listed->backgrounds[i]);
                item->setToolTip(pending ? tr("Unsaved end: Ctrl+Z takes it back") : QString());
            }
        }
    }
    int pendingRows = 0;
    for (auto it = m_listed.constBegin(); it != m_listed.constEnd(); ++it) {
        if (it->cells != cellsOf(it.key()))
            ++pendingRows;
    }
    setCount(pendingRows);
}

void PendingEnds::setCount(int count)
{
    if (count == m_pendingRows)
        return;
    m_pendingRows = count;
    emit countChanged(count);
}
