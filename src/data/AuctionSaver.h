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
    };

    int saved = 0;     // rows whose stamp the database now holds
    int unchanged = 0; // rows with a stamp the listing already read: nothing to write
    QVector<Entry> failed;
    QVector<Entry> changedElsewhere;
    // The connection broke down: the rows after it that had something to write.
    bool connectionLost = false;
    QString connectionError;
    int notAttempted = 0;

    bool hasProblems() const
    {
        return !failed.isEmpty() || !changedElsewhere.isEmpty() || connectionLost;
    }
    // The text of the message for the person at the window; empty without problems.
    QString message() const;
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

    // Runs before each grid row is looked at (row index); lets tests act mid-save.
    std::function<void(int)> beforeRow;

private:
    enum class Outcome
    {
        Saved,
        Failed,
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

    Plan plan(const AuctionRow& row) const;
    Outcome write(const Plan& plan, const AuctionRow& row, std::optional<qint64> expected,
                  QString* reason);
    bool serverAnswers();

    DataControl& m_control;
    QString m_storeId;
};
