#pragma once

#include <QBrush>
#include <QHash>
#include <QObject>
#include <QString>
#include <QVector>

#include <array>
#include <utility>

class QTableWidget;

// The auction ends changed in the grid since it was listed and not saved yet:
// marked on their stamp cells, counted, and taken back edit by edit, newest
// first. A row set back to what the listing read is no longer pending.
class PendingEnds : public QObject
{
    Q_OBJECT
public:
    explicit PendingEnds(QTableWidget& grid, QObject* parent = nullptr);

    // Writes an end (stamp, date and time texts) into a row as an edit that can
    // be taken back.
    void setEnd(int row, const QString& stamp, const QString& date, const QString& time);

    int count() const { return m_pendingRows; }
    bool isPending(int row) const;
    bool canUndo() const { return !m_undo.isEmpty(); }
    bool canUndoRow(int row) const;
    // Takes back the newest edit of all rows, or of one row.
    void undo();
    void undoRow(int row);

    // The grid was listed again: its rows are other items now.
    void forget();
    // The database holds the row's end now: it is what the next undo would
    // compare with, and its older values are no longer offered.
    void rowSaved(int row);

signals:
    void countChanged(int count);

private:
    using Cells = std::array<QString, 3>;
    struct Listed
    {
        Cells cells;
        std::array<QBrush, 3> backgrounds;
    };

    Cells cellsOf(int row) const;
    void write(int row, const Cells& cells);
    void undoAt(int index);
    void updateMark(int row);
    void setCount(int count);

    QTableWidget& m_grid;
    // The row as listed, kept from its first edit on.
    QHash<int, Listed> m_listed;
    // Each edit with the row's texts before it.
    QVector<std::pair<int, Cells>> m_undo;
    int m_pendingRows = 0;
};
