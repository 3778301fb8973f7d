#pragma once

#include <QHash>
#include <QString>
#include <QVector>
#include <QtGlobal>

#include <functional>
#include <optional>

#include "auction_core/AuctionJournal.h"

class DataControl;

// One listed row as the save reads it.
struct AuctionRow
{
    std::optional<qint64> itemId; // nullopt: none, or no whole number
    QString sku;                  // for the save journal
    // The end the row shows; nullopt when it shows none.
    std::optional<qint64> stamp;
    // The stamp the listing read from the database; nullopt when it held NULL.
    std::optional<qint64> listedStamp;
    // Whether the listing read the row's store id (storeid), and what it read:
    // nullopt for NULL. The listing shows every store's items, so an item number
    // alone does not say whose row it is.
    bool storeListed = false;
    std::optional<QString> listedStore;
};

// One end a save writes to an item of its store, decided before anything is
// written: from a grid row, or from the journal when a save is undone.
struct AuctionChange
{
    int row = 0; // the grid row (or journal line) it stands for
    qint32 itemId = 0;
    QString sku;                    // for the journal
    std::optional<qint32> stamp;    // the end to write; nullopt writes NULL
    std::optional<qint64> expected; // what the database must still hold; nullopt: NULL
    bool storeListed = false;       // as in AuctionRow
    std::optional<QString> listedStore;
};

// What a save did, row by row, for the one message the window shows.
struct AuctionSaveReport
{
    struct Entry
    {
        int row = 0; // grid row, counted from 0
        QString itemId;
        QString reason;
        // The database refused it this time; a later save may get it through.
        bool worthRetrying = false;
        // Changed elsewhere: what the database holds now, as text; empty if not known.
        QString heldNow = QString();
    };

    int saved = 0; // rows whose stamp the database now holds (committed)
    // Those rows with the stamp written (0 for NULL), in grid order.
    QVector<std::pair<int, qint32>> savedRows;
    int unchanged = 0; // rows with a stamp the listing already read: nothing to write
    QVector<Entry> failed;
    QVector<Entry> changedElsewhere;
    // The connection broke down: the rows after it that had something to write.
    bool connectionLost = false;
    QString connectionError;
    int notAttempted = 0;
    // The clerk stopped the save before its end.
    bool stopped = false;
    // The journal could not record the save, so it wrote nothing.
    QString journalError;
    // The journal could not record which rows a commit wrote: an undo misses them.
    QString journalWrittenError;

    bool hasProblems() const
    {
        return !failed.isEmpty() || !changedElsewhere.isEmpty() || endedEarly() ||
               !journalWrittenError.isEmpty();
    }
    // The save ended early: the ends not written are worth keeping in the grid.
    bool endedEarly() const { return connectionLost || stopped || !journalError.isEmpty(); }
    // Some ends not written may still be saved by another try.
    bool worthKeeping() const;
    // The text of the message for the person at the window; empty without problems.
    // `relisted`: the grid now shows what the database holds; otherwise the ends
    // not saved are still in it.
    QString message(bool relisted) const;
    // The text of the one message an undo of the last save ends with.
    QString undoMessage() const;
};

// Writes the auction ends of the grid rows to the item table of one store.
// A row is written only when its stamp differs from what the listing read and
// the database still holds that value, so nobody else's newer end is lost.
// The rows are read in one query and written in transactions of up to
// kRowsPerCommit rows, one UPDATE for each (row by row once the server refused
// a row of it); a row counts as saved once its transaction committed. A
// commit whose answer was lost counts the rows the database then holds.
// The store is matched as the server's LIKE compares a text without wildcards:
// the column's collation decides case, trailing blanks count. An item that
// matches more than one row of the store, or a row the listing read for
// another store, is not written.
// Never throws for database failures: they end up in the report.
class AuctionSaver
{
public:
    AuctionSaver(DataControl& control, QString storeId);

    static constexpr int kRowsPerCommit = 100;

    AuctionSaveReport save(const QVector<AuctionRow>& rows);
    // Writes the changes in their order; what save() does once it has read the
    // grid rows. The entries `report` has already stay.
    AuctionSaveReport write(const QVector<AuctionChange>& changes, AuctionSaveReport report = {});
    // The changes that put back the ends a journaled save replaced, where the
    // database still holds what that save wrote. Made with its store.
    static QVector<AuctionChange> undoOf(const QVector<AuctionJournal::Row>& rows);
    // The grid rows that a save of `rows` would write.
    static QVector<int> rowsToWrite(const QVector<AuctionRow>& rows);

    // When set, the rows a save will write are appended to it before any is,
    // and the rows each commit wrote once it has.
    const AuctionJournal* journal = nullptr;
    // Journaled with the rows: the time of the save this one undoes, if any.
    QString undoes;
    // Runs before each row to write (its row); lets tests act mid-save.
    std::function<void(int)> beforeRow;
    // Asked before each row: true ends the save there, keeping what it wrote.
    std::function<bool()> stopRequested;
    // Asked before each commit: true ends the save without committing, as
    // nobody waits for its report any more.
    std::function<bool()> givenUp;
    // A row's stamp reached the database (row, stamp), once it is committed.
    std::function<void(int, qint32)> rowSaved;

private:
    // What a row asks for, decided from the grid alone.
    struct Plan
    {
        enum class Kind
        {
            Skip,
            Unchanged,
            Write,
            Fail
        } kind = Kind::Skip;
        qint32 itemId = 0;
        qint32 stamp = 0;
        QString failure;
    };

    // A row of the item table that matches the store and an item.
    struct Held
    {
        std::optional<QString> store;
        std::optional<qint64> stamp;
    };

    // What a change comes to against what the server holds.
    struct Decision
    {
        enum class Kind
        {
            Write,   // from `expected` to the change's stamp
            Holds,   // the database holds the stamp already
            Fail,    // not this store's one row of the item
            Changed, // someone else's end is there
        } kind = Kind::Write;
        std::optional<qint64> expected;
        QString reason;
        QString heldNow;
    };

    // A row of one transaction.
    struct Planned
    {
        int change = 0;
        std::optional<qint64> expected;
        bool write = true; // false: counts as saved once the others are
    };
    struct Chunk
    {
        QVector<Planned> rows;
        int end = 0;          // the first change after it
        bool stopped = false; // the clerk stopped the save at `end`
    };
    enum class Outcome
    {
        Committed,
        Refused, // the server refused a statement: nothing of it is kept
        CommitRefused,
        Lost,
        CommitUnknown, // the commit's answer was lost
        GivenUp
    };
    struct Run;

    static Plan plan(const AuctionRow& row);
    static Decision decide(const AuctionChange& change, const QVector<Held>& rows,
                           const std::optional<std::optional<qint64>>& wroteBefore,
                           const QString& store);
    // One UPDATE for the rows to write: each item from the end its first row
    // expects to the end its last row writes. `storePattern` is the store as
    // the body of a string literal that LIKE matches exactly.
    static QString batchStatement(const QVector<AuctionChange>& changes,
                                  const QVector<Planned>& rows, const QString& storePattern);
    // The store's rows of the changes' items, read in few queries. Throws DataError.
    QHash<qint32, QVector<Held>> readHeld(const QVector<AuctionChange>& changes);

    bool journalIntent(Run& run);
    bool readAll(Run& run);
    Chunk collectChunk(Run& run, int from);
    void commitChunk(Run& run, Chunk& chunk);
    Outcome runTransaction(Run& run, Chunk& chunk, bool rowByRow, QString* reason, int* refused);
    void writeBatch(Run& run, Chunk& chunk);
    int writeRowByRow(Run& run, Chunk& chunk, QString* reason);
    void dropChangedRows(Run& run, Chunk& chunk);
    void countSaved(Run& run, const QVector<Planned>& rows);
    void confirmAfterLostCommit(Run& run, const Chunk& chunk, const QString& reason);
    void failAll(Run& run, const Chunk& chunk, const QString& reason);
    void endLost(Run& run, const Chunk& chunk, int rows, const QString& reason);
    QString storePattern() const;

    DataControl& m_control;
    QString m_storeId;
};
