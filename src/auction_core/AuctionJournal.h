#pragma once

#include <QString>
#include <QVector>
#include <QtGlobal>

#include <optional>

// The record of every save of auction ends, kept as a CSV file in the
// installation folder: one line per row a save is about to write, appended and
// on the disk before the save updates anything, so that no write goes
// unrecorded even when the program dies in the middle. It is what "Undo last
// save" reads back.
class AuctionJournal
{
public:
    struct Row
    {
        QString saveId; // the same for every row of one save
        QString time;   // UTC, ISO 8601
        QString store;
        qint32 itemId = 0;
        QString sku;
        std::optional<qint64> oldStamp; // what the database held before; nullopt for NULL
        std::optional<qint64> newStamp; // what the save writes; nullopt for NULL
    };
    struct Save
    {
        QVector<Row> rows; // empty when there is none, or on error
        QString error;
    };

    explicit AuctionJournal(QString filePath);

    QString filePath() const { return m_filePath; }
    bool exists() const;

    // Appends the rows of one save under a new save id and the current time,
    // and waits until they are on the disk. Empty on success, else why not.
    QString append(QVector<Row> rows) const;
    // The rows of the last save appended, in their order. A last line cut off
    // (the program died while appending it) is no row.
    Save lastSave() const;

private:
    QString m_filePath;
};
