#pragma once

#include <QHash>
#include <QMetaType>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>
#include <memory>

class DataError;
class QSqlDatabase;
class QSqlError;
class UpdateConflict;

// The column of that name among the result's columns: the same name, else the
// same ignoring case; -1 when none.
int columnIndexOf(const QStringList& columns, const QString& name);

// A client-side static cursor: the whole result of one Refresh(), held in memory.
// Fields are read and assigned by column name; Update() writes the changed
// columns of the current row back at once, with optimistic locking.
class RecordSet
{
public:
    RecordSet() = default;

    int RecordCount() const { return m_rows.size(); }
    void MoveFirst();
    void MoveNext();
    bool atEnd() const { return m_pos < 0 || m_pos >= m_rows.size(); }
    int position() const { return m_pos; }

    QStringList fieldNames() const { return m_columns; }
    // Column names match exactly, or else ignoring case.
    bool hasField(const QString& name) const;
    // A NULL value comes back as a null QVariant (isNull() true), distinct from empty text.
    // Throws DataError for an unknown column or when there is no current row.
    QVariant Fields(const QString& name) const;
    // Assigns a value to the current row; it reaches the database at Update().
    // A number assigned to a whole-number column is rounded (halves to even).
    void setField(const QString& name, const QVariant& value);
    // Throws UpdateConflict when the row no longer holds the values read, DataError otherwise.
    void Update();

    // Columns and primary key of a table, looked up once per connection.
    struct TableInfo
    {
        QStringList columns;
        QStringList primaryKey;
    };
    using TableInfoCache = QHash<QString, TableInfo>;

    // Where the rows came from: filled by DataControl::Refresh().
    struct Source
    {
        QString connectionName; // the control's QSqlDatabase connection
        QString control;        // for messages
        QString where;          // DataControl::describe()
        QString password;       // only to scrub it from messages
        QString table;          // the table Update() writes to; empty if none
        QString tableProblem;   // why there is no table
        bool mysql = false;
        std::shared_ptr<TableInfoCache> tables; // owned with the control's connection
    };
    void reset(std::shared_ptr<const Source> source, QStringList columns, QVector<QMetaType> types,
               QVector<QVector<QVariant>> rows);

private:
    int columnIndex(const QString& name) const;
    int requireColumn(const QString& name) const;
    void requireRow(const char* action) const;
    QString prefix() const;

    struct Clause;
    QVector<int> changedColumns() const;
    DataError sqlFailure(const QString& what, const QSqlError& error) const;
    TableInfo tableInfo(const QSqlDatabase& db) const;
    Clause assignments(const QSqlDatabase& db, const TableInfo& info,
                       const QVector<int>& changed) const;
    Clause rowCriteria(const QSqlDatabase& db, const TableInfo& info, bool* keyCovered) const;
    void writeRow(QSqlDatabase& db, const Clause& sets, const Clause& criteria, bool guarded) const;
    qint64 countRows(const QSqlDatabase& db, const QString& sql, const QVariantList& values) const;
    UpdateConflict conflict(qint64 matched) const;

    std::shared_ptr<const Source> m_source;
    QStringList m_columns;
    QVector<QMetaType> m_types;
    QVector<QVector<QVariant>> m_rows;
    QVector<QVector<QVariant>> m_original;
    QVector<QVector<bool>> m_changed;
    int m_pos = -1;
};
