#pragma once

#include "auction_core/AuctionSaver.h"
#include "auction_core/ItemRow.h"
#include "auction_core/UnsavedEndsFile.h"

#include <QAbstractTableModel>
#include <QHash>
#include <QLocale>
#include <QSet>
#include <QVector>

#include <utility>

// The listed items, one row each, with the ends the clerk changed and not saved
// yet. Columns: item number and picture, SKU, description, (empty), retail,
// stamp, date and time of the end. The texts, state colours and marks come
// from the roles; alignment and fonts from the view's column delegates.
//
// An end set on a row is pending while it differs from what the listing read;
// edits are taken back one step at a time, newest first (ends set on many rows
// at once are one step), and what was taken back can be done again until the
// next edit. A save that could not
// write a pending end marks its row (orange) until the end is saved or taken back.
class ItemTableModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    explicit ItemTableModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // A new listing of about `expectedRows` rows: every row, pending end and
    // mark goes. The old rows are handed back, so that letting go of many can
    // happen elsewhere.
    QVector<ItemRow> startListing(int expectedRows = 0, const QLocale& locale = QLocale());
    // Appends the listing's next rows.
    void appendRows(QVector<ItemRow>::iterator first, QVector<ItemRow>::iterator last);
    const ItemRow& row(int row) const { return m_rows.at(row); }
    // The item's picture (Qt::DecorationRole of column 0).
    void setPicture(int row, const QImage& picture);

    // The end the row shows: the pending one, else the one listed.
    ItemEnd shownEnd(int row) const;
    // The daylight box's state: the date and time cells show its clock, and
    // mark the ends whose own date keeps the other one.
    void setDaylightSaving(bool summerTime);
    // Sets a row's end as an edit that can be taken back.
    void setEnd(int row, qint32 stamp, const QDateTime& wall);
    // An end for one row of setEnds.
    struct NewEnd
    {
        int row = 0;
        qint32 stamp = 0;
        QDateTime wall;
    };
    // Sets the ends of several rows as one edit, taken back as a whole.
    void setEnds(const QVector<NewEnd>& ends);
    int pendingCount() const { return m_pendingCount; }
    bool isPending(int row) const;
    bool canUndo() const { return !m_undo.isEmpty(); }
    bool canUndoRow(int row) const;
    // Takes back the newest edit of all rows, or of one row.
    void undo();
    void undoRow(int row);
    // Does the edit taken back last again.
    void redo();

    // The database holds the row's end now: it counts as listed, and its edits
    // are no longer offered for taking back.
    void markRowSaved(int row, qint32 stamp);
    // A save ended before it wrote the row's end: it stays, marked.
    void markRowNotSaved(int row);
    bool isMarkedNotSaved(int row) const { return m_notSaved.contains(row); }

    // The rows as the save reads them.
    QVector<AuctionRow> auctionRows() const;

    // The pending ends as the file of unsaved ends keeps them, top row first.
    QVector<UnsavedEndsFile::End> keptEnds() const;
    // Sets each end again, as an edit, on the row of its item and listed store
    // (not already pending); the save then checks the database against the end
    // listed when it was made. Gives back the ends that found no such row.
    QVector<UnsavedEndsFile::End> restoreEnds(const QVector<UnsavedEndsFile::End>& ends);

signals:
    void pendingCountChanged(int count);

private:
    QVariant display(const ItemRow& item, int row, int column) const;
    QVariant endLooks(int row, int role) const;
    QString otherClockTip(int row) const;
    void write(int row, const ItemEnd& end);
    // A group of rows, each with the end it is to get back.
    using Step = QVector<std::pair<int, ItemEnd>>;
    // Writes the step's ends; gives back the ends they replaced, as a step.
    Step writeStep(const Step& step);
    void dropRow(QVector<Step>& steps, int row);
    void endChanged(int row);
    void updateCount();

    QVector<ItemRow> m_rows;
    QLocale m_locale;
    // The ends shown instead of the listed ones, by row.
    QHash<int, ItemEnd> m_shown;
    // Each edit with its rows' ends before it, newest last; the edits taken
    // back with the ends they had set, taken back last at the end.
    QVector<Step> m_undo;
    QVector<Step> m_redo;
    QSet<int> m_notSaved;
    // Rows with a restored end: the listed end its save checks, by row.
    QHash<int, std::optional<qint64>> m_restoredListed;
    int m_pendingCount = 0;
    bool m_summerTime = false;
};
