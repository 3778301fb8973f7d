#pragma once

#include <QString>
#include <QVector>
#include <QtGlobal>

#include <functional>
#include <optional>

class DataControl;

// One grid row as the save reads it.
struct AuctionRow
{
    QString idText;    // column 0: the item number
    QString stampText; // column 5: the auction end stamp
    // The stamp the listing read from the database; nullopt when it held NULL.
    std::optional<qint64> listedStamp;
    // Whether the listing read the row's store id (storeid), and what it read:
    // nullopt for NULL. The listing shows every store's items, so an item number
    // alone does not say whose row it is.
    bool storeListed = false;
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
    };

    int saved = 0; // rows whose stamp the database now holds
    // Those rows with the stamp written, in grid order.
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

    bool hasProblems() const
    {
        return !failed.isEmpty() || !changedElsewhere.isEmpty() || connectionLost || stopped;
    }
    // The save ended early: the ends not written are worth keeping in the grid.
    bool endedEarly() const { return connectionLost || stopped; }
    // Some ends not written may still be saved by another try.
    bool worthKeeping() const;
    // The text of the message for the person at the window; empty without problems.
    // `relisted`: the grid now shows what the database holds; otherwise the ends
    // not saved are still in it.
    QString message(bool relisted) const;
};

// Writes the auction ends of the grid rows to the item table of one store.
// A row is written only when its stamp differs from what the listing read and
// the database still holds that value, so nobody else's newer end is lost.
// The store is matched as the server's LIKE compares a text without wildcards:
// the column's collation decides case, trailing blanks count. An item that
// matches more than one row of the store, or a row the listing read for
// another store, is not written.
// Never throws for database failures: they end up in the report.
class AuctionSaver
{
public:
    AuctionSaver(DataControl& control, QString storeId);

    AuctionSaveReport save(const QVector<AuctionRow>& rows);
    // The grid rows that a save of `rows` would write.
    static QVector<int> rowsToWrite(const QVector<AuctionRow>& rows);

    // Runs before each grid row is looked at (row index); lets tests act mid-save.
    std::function<void(int)> beforeRow;
    // Asked before each row: true ends the save there.
    std::function<bool()> stopRequested;
    // A row's stamp reached the database (row index, stamp), as it happens.
    std::function<void(int, qint32)> rowSaved;

private:
    enum class Outcome
    {
        Saved,
        Failed,
        Refused,
        ChangedElsewhere,
        ConnectionLost
    };
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

    static Plan plan(const AuctionRow& row);
    Outcome write(const Plan& plan, const AuctionRow& row, std::optional<qint64> expected,
                  QString* reason);
    bool serverAnswers();

    DataControl& m_control;
    QString m_storeId;
};
