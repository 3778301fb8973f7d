#pragma once

#include <QString>
#include <QVector>
#include <QtGlobal>

#include <optional>

// The record of every save of auction ends, kept as a CSV file in the
// installation folder. A save first appends one intent record per row it is
// about to write, on the disk before it updates anything, so that no write
// goes unrecorded even when the program dies in the middle; after each commit
// it appends one written record per row that commit wrote. "Undo last save"
// reads back the written records of the last save (every row, in a journal
// from before written records were kept).
//
// Every record is one line: line breaks inside a field are written as blanks,
// so a record cut off anywhere hides nothing after it. A store or SKU that a
// spreadsheet would take for a formula is written after a ' (and read without it).
class AuctionJournal
{
public:
    enum class Record
    {
        OldIntent, // a line of seven fields: a save that kept no written records
        Intent,
        Written
    };
    struct Row
    {
        QString saveId; // the same for every row of one save
        QString time;   // UTC, ISO 8601
        QString store;
        qint32 itemId = 0;
        QString sku;
        std::optional<qint64> oldStamp; // what the database held before; nullopt for NULL
        std::optional<qint64> newStamp; // what the save writes; nullopt for NULL
        Record record = Record::Intent;
        // For the rows of an undo: the time of the save it undid (as `time`).
        // Empty for a clerk's save, and for an undo of an undo, which redoes.
        QString undoes = QString();
    };
    struct Save
    {
        QVector<Row> rows; // every record of the last save, in file order; empty for none
        QString error;
        // The rows the save wrote, in their order.
        QVector<Row> written() const;
        // The save put back the ends of an earlier one.
        bool isUndo() const { return !rows.isEmpty() && !rows.first().undoes.isEmpty(); }
    };

    explicit AuctionJournal(QString filePath);

    QString filePath() const { return m_filePath; }
    bool exists() const;

    // Appends the intent records of a new save, under a new save id and the
    // current time (set in `rows`), and waits until they are on the disk.
    // Throws FileError naming the journal when it cannot.
    void appendIntent(QVector<Row>& rows) const;
    // Appends the written records of rows a commit wrote, under their save id,
    // and waits until they are on the disk. Throws FileError when it cannot.
    void appendWritten(QVector<Row> rows) const;
    // The records of the last save appended, read back from the end of the
    // file in chunks: a long journal costs no more memory than a short one.
    Save lastSave() const;
    // Bytes the last lastSave() read from the file.
    qint64 bytesRead() const { return m_bytesRead; }

private:
    void append(QVector<Row>& rows, Record record) const;

    QString m_filePath;
    mutable qint64 m_bytesRead = 0;
};
