#include "auction_core/ItemTableModel.h"

#include "auction_core/AuctionGrid.h"
#include "timeconv/StoreClock.h"

#include <QBrush>

#include <algorithm>

using namespace auctiongrid;

namespace {
const QColor kPendingColour(135, 206, 250);
const QColor kNotSavedColour(255, 165, 0);

// Only the stamp counts: the same moment picked on either clock is no change.
bool sameEnd(const ItemEnd& a, const ItemEnd& b)
{
    return a.stamp == b.stamp && a.unreadable == b.unreadable;
}

// After the time of an end whose own date keeps the other clock than the box.
const QString kSummerMark = QStringLiteral(" \u2600"); // a sun
const QString kWinterMark = QStringLiteral(" \u2744"); // a snowflake
} // namespace

ItemTableModel::ItemTableModel(QObject* parent) : QAbstractTableModel(parent) {}

int ItemTableModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int ItemTableModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : kColumnCount;
}

Qt::ItemFlags ItemTableModel::flags(const QModelIndex& index) const
{
    return index.isValid() ? Qt::ItemIsSelectable | Qt::ItemIsEnabled : Qt::NoItemFlags;
}

QVariant ItemTableModel::data(const QModelIndex& index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return QVariant();
    const int row = index.row();
    const int column = index.column();
    const ItemRow& item = m_rows.at(row);
    switch (role) {
    case Qt::DisplayRole:
        return display(item, row, column);
    case Qt::DecorationRole:
        return column == 0 && !item.picture.isNull() ? QVariant(item.picture) : QVariant();
    case Qt::BackgroundRole:
    case Qt::ToolTipRole:
        return column >= kStampColumn && column <= kTimeColumn ? endLooks(row, role) : QVariant();
    default:
        return QVariant();
    }
}

QVariant ItemTableModel::display(const ItemRow& item, int row, int column) const
{
    const auto textOf = [](const QString& text) { return text.isNull() ? QVariant() : text; };
    switch (column) {
    case 0:
        return item.itemId ? QString::number(*item.itemId) : textOf(item.unreadableId);
    case 1:
        return textOf(item.sku);
    case 2:
        return textOf(item.description);
    case kRetailColumn:
        return item.retail ? formatRetail(*item.retail, m_locale) : QVariant();
    default:
        break;
    }
    const ItemEnd end = shownEnd(row);
    if (column == kStampColumn)
        return end.stamp ? QString::number(*end.stamp) : end.unreadable;
    if (!end.stamp)
        return QVariant();
    // On the box's clock, as a listing with the box as it is shows every stamp.
    const EndOnClocks clocks = endOnClocks(*end.stamp, m_summerTime);
    if (!clocks.onBox.isValid())
        return QVariant();
    if (column == kDateColumn)
        return formatAuctionDate(clocks.onBox.date(), m_locale);
    if (column != kTimeColumn)
        return QVariant();
    QString time = formatAuctionTime(clocks.onBox.time(), m_locale);
    if (clocks.otherSide)
        time += clocks.ownSummerTime ? kSummerMark : kWinterMark;
    return time;
}

// The end's cells: marked not saved, else pending, else the listed state's colour.
QVariant ItemTableModel::endLooks(int row, int role) const
{
    const bool notSaved = m_notSaved.contains(row);
    const bool pending = isPending(row);
    if (role == Qt::ToolTipRole) {
        QStringList tips;
        if (notSaved)
            tips << tr("Not saved yet");
        else if (pending)
            tips << tr("Unsaved end: Ctrl+Z takes it back");
        tips << otherClockTip(row);
        tips.removeAll(QString());
        return tips.isEmpty() ? QVariant() : tips.join(u'\n');
    }
    if (notSaved)
        return QBrush(kNotSavedColour);
    if (pending)
        return QBrush(kPendingColour);
    const QColor state = stateColour(m_rows.at(row).state);
    return state.isValid() ? QVariant(QBrush(state)) : QVariant();
}

// The end's own clock, for a row whose time is marked.
QString ItemTableModel::otherClockTip(int row) const
{
    const ItemEnd end = shownEnd(row);
    if (!end.stamp)
        return QString();
    const EndOnClocks clocks = endOnClocks(*end.stamp, m_summerTime);
    if (!clocks.otherSide)
        return QString();
    QString own = m_locale.toString(clocks.ownWall.time(), QStringLiteral("HH:mm"));
    if (clocks.ownWall.date() != clocks.onBox.date())
        own = formatAuctionDate(clocks.ownWall.date(), m_locale) + u' ' + own;
    return clocks.ownSummerTime
               ? tr("Ends %1 summer time: the grid shows winter time, as the daylight box "
                    "is not ticked")
                     .arg(own)
               : tr("Ends %1 winter time: the grid shows summer time, as the daylight box "
                    "is ticked")
                     .arg(own);
}

void ItemTableModel::setDaylightSaving(bool summerTime)
{
    if (summerTime == m_summerTime)
        return;
    m_summerTime = summerTime;
    if (!m_rows.isEmpty())
        emit dataChanged(index(0, kDateColumn), index(int(m_rows.size()) - 1, kTimeColumn),
                         {Qt::DisplayRole, Qt::ToolTipRole});
}

QVector<ItemRow> ItemTableModel::startListing(int expectedRows, const QLocale& locale)
{
    beginResetModel();
    QVector<ItemRow> old = std::exchange(m_rows, QVector<ItemRow>());
    // Room for every row at once: growing step by step would copy them all each time.
    m_rows.reserve(expectedRows);
    m_locale = locale;
    m_shown.clear();
    m_undo.clear();
    m_redo.clear();
    m_notSaved.clear();
    m_restoredListed.clear();
    endResetModel();
    updateCount();
    return old;
}

void ItemTableModel::appendRows(QVector<ItemRow>::iterator first, QVector<ItemRow>::iterator last)
{
    if (first == last)
        return;
    const int count = int(last - first);
    beginInsertRows(QModelIndex(), int(m_rows.size()), int(m_rows.size()) + count - 1);
    std::move(first, last, std::back_inserter(m_rows));
    endInsertRows();
}

void ItemTableModel::setPicture(int row, const QImage& picture)
{
    if (row < 0 || row >= m_rows.size())
        return;
    m_rows[row].picture = picture;
    const QModelIndex cell = index(row, 0);
    emit dataChanged(cell, cell, {Qt::DecorationRole});
}

ItemEnd ItemTableModel::shownEnd(int row) const
{
    const auto shown = m_shown.constFind(row);
    return shown != m_shown.constEnd() ? *shown : m_rows.at(row).listed;
}

bool ItemTableModel::isPending(int row) const
{
    const auto shown = m_shown.constFind(row);
    return shown != m_shown.constEnd() && !sameEnd(*shown, m_rows.at(row).listed);
}

void ItemTableModel::setEnd(int row, qint32 stamp, const QDateTime& wall)
{
    setEnds({{row, stamp, wall}});
}

void ItemTableModel::setEnds(const QVector<NewEnd>& ends)
{
    Step before;
    for (const NewEnd& end : ends) {
        if (end.row < 0 || end.row >= m_rows.size())
            continue;
        ItemEnd after;
        after.stamp = end.stamp;
        after.wall = end.wall;
        const ItemEnd was = shownEnd(end.row);
        if (sameEnd(was, after))
            continue;
        before.append({end.row, was});
        write(end.row, after);
    }
    if (before.isEmpty())
        return;
    m_undo.append(before);
    // A new edit starts a new line of history: what was taken back stays so.
    m_redo.clear();
}

void ItemTableModel::write(int row, const ItemEnd& end)
{
    if (sameEnd(end, m_rows.at(row).listed)) {
        m_shown.remove(row);
        // Back to what the database holds: nothing is left unsaved.
        m_notSaved.remove(row);
        m_restoredListed.remove(row);
    } else {
        m_shown.insert(row, end);
    }
    endChanged(row);
}

bool ItemTableModel::canUndoRow(int row) const
{
    return std::any_of(m_undo.cbegin(), m_undo.cend(), [row](const Step& step) {
        return std::any_of(step.cbegin(), step.cend(), [row](const std::pair<int, ItemEnd>& edit) {
            return edit.first == row;
        });
    });
}

void ItemTableModel::undo()
{
    if (!m_undo.isEmpty())
        m_redo.append(writeStep(m_undo.takeLast()));
}

void ItemTableModel::redo()
{
    if (!m_redo.isEmpty())
        m_undo.append(writeStep(m_redo.takeLast()));
}

void ItemTableModel::undoRow(int row)
{
    for (int i = int(m_undo.size()) - 1; i >= 0; --i) {
        Step& step = m_undo[i];
        for (int j = 0; j < step.size(); ++j) {
            if (step.at(j).first != row)
                continue;
            // Only this row of the edit goes back; the others stay for the next undo.
            m_redo.append(writeStep({step.takeAt(j)}));
            if (step.isEmpty())
                m_undo.removeAt(i);
            return;
        }
    }
}

ItemTableModel::Step ItemTableModel::writeStep(const Step& step)
{
    Step replaced;
    // Newest first, so that a row twice in one step gets its oldest end back;
    // the ends replaced, written newest first in turn, do the step again.
    for (auto it = step.crbegin(); it != step.crend(); ++it) {
        if (it->first >= m_rows.size())
            continue;
        replaced.append({it->first, shownEnd(it->first)});
        write(it->first, it->second);
    }
    return replaced;
}

void ItemTableModel::dropRow(QVector<Step>& steps, int row)
{
    for (Step& step : steps)
        step.erase(std::remove_if(
                       step.begin(), step.end(),
                       [row](const std::pair<int, ItemEnd>& edit) { return edit.first == row; }),
                   step.end());
    steps.erase(
        std::remove_if(steps.begin(), steps.end(), [](const Step& step) { return step.isEmpty(); }),
        steps.end());
}

void ItemTableModel::markRowSaved(int row, qint32 stamp)
{
    if (row < 0 || row >= m_rows.size())
        return;
    ItemEnd saved = shownEnd(row);
    saved.stamp = stamp;
    saved.unreadable.clear();
    m_rows[row].listed = saved;
    m_shown.remove(row);
    m_notSaved.remove(row);
    m_restoredListed.remove(row);
    dropRow(m_undo, row);
    dropRow(m_redo, row);
    endChanged(row);
}

void ItemTableModel::markRowNotSaved(int row)
{
    if (row < 0 || row >= m_rows.size())
        return;
    m_notSaved.insert(row);
    endChanged(row);
}

void ItemTableModel::endChanged(int row)
{
    emit dataChanged(index(row, kStampColumn), index(row, kTimeColumn),
                     {Qt::DisplayRole, Qt::BackgroundRole, Qt::ToolTipRole});
    updateCount();
}

void ItemTableModel::updateCount()
{
    int count = 0;
    for (auto it = m_shown.constBegin(); it != m_shown.constEnd(); ++it)
        count += isPending(it.key()) ? 1 : 0;
    if (count == m_pendingCount)
        return;
    m_pendingCount = count;
    emit pendingCountChanged(count);
}

QVector<AuctionRow> ItemTableModel::auctionRows() const
{
    QVector<AuctionRow> rows;
    rows.reserve(m_rows.size());
    for (int r = 0; r < m_rows.size(); ++r) {
        const ItemRow& item = m_rows.at(r);
        AuctionRow row;
        row.itemId = item.itemId;
        row.sku = item.sku;
        row.stamp = shownEnd(r).stamp;
        const auto restored = m_restoredListed.constFind(r);
        row.listedStamp =
            restored != m_restoredListed.constEnd() && isPending(r) ? *restored : item.listed.stamp;
        row.storeListed = item.storeListed;
        row.listedStore = item.store;
        rows << row;
    }
    return rows;
}

QVector<UnsavedEndsFile::End> ItemTableModel::keptEnds() const
{
    QList<int> rows = m_shown.keys();
    std::sort(rows.begin(), rows.end());
    QVector<UnsavedEndsFile::End> ends;
    for (int row : std::as_const(rows)) {
        const ItemRow& item = m_rows.at(row);
        const ItemEnd& shown = m_shown.value(row);
        if (!item.itemId || !shown.stamp || !isPending(row))
            continue;
        const auto restored = m_restoredListed.constFind(row);
        ends.append({*item.itemId,
                     restored != m_restoredListed.constEnd() ? *restored : item.listed.stamp,
                     qint32(*shown.stamp), shown.wall, item.store});
    }
    return ends;
}

QVector<UnsavedEndsFile::End> ItemTableModel::restoreEnds(const QVector<UnsavedEndsFile::End>& ends)
{
    QMultiHash<qint64, int> rowsOfItem;
    for (int row = 0; row < m_rows.size(); ++row) {
        if (m_rows.at(row).itemId)
            rowsOfItem.insert(*m_rows.at(row).itemId, row);
    }
    QVector<UnsavedEndsFile::End> unmatched;
    QVector<NewEnd> restored;
    QSet<int> claimed;
    for (const UnsavedEndsFile::End& end : ends) {
        int found = -1;
        // The same item number may stand in rows of several stores.
        for (auto it = rowsOfItem.constFind(end.itemId);
             it != rowsOfItem.constEnd() && it.key() == end.itemId && found < 0; ++it) {
            if (m_rows.at(it.value()).store == end.listedStore && !m_shown.contains(it.value()) &&
                !claimed.contains(it.value()))
                found = it.value();
        }
        if (found < 0) {
            unmatched.append(end);
            continue;
        }
        // The database holds the end by now (saved before the program ended):
        // nothing is left to save, whatever wall time the clerk picked for it.
        if (m_rows.at(found).listed.stamp == end.stamp)
            continue;
        claimed.insert(found);
        restored.append({found, end.stamp, end.wall});
        m_restoredListed.insert(found, end.listedStamp);
    }
    // One step: Ctrl+Z takes the whole restore back, as it was put back at once.
    setEnds(restored);
    return unmatched;
}
