#pragma once

#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>

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
    bool hasField(const QString& name) const;
    // A NULL value comes back as a null QVariant (isNull() true), distinct from empty text.
    // Throws DataError for an unknown column or when there is no current row.
    QVariant Fields(const QString& name) const;
    // Assigns a value to the current row; it reaches the database at Update().
    void setField(const QString& name, const QVariant& value);
    // Throws UpdateConflict when the row no longer holds the values read, DataError otherwise.
    void Update();

    // Used by DataControl::Refresh() to fill the set.
    void reset(QSqlDatabase db, QString table, QStringList columns, QStringList primaryKey,
               QVector<QVector<QVariant>> rows, bool bigintAsInt32, QString controlName);

private:
    int columnIndex(const QString& name) const;

    QSqlDatabase m_db;
    QString m_table;
    QString m_control;
    QStringList m_columns;
    QStringList m_primaryKey;
    QVector<QVector<QVariant>> m_rows;
    QVector<QVector<QVariant>> m_original;
    QVector<QVector<bool>> m_changed;
    bool m_bigintAsInt32 = false;
    int m_pos = -1;
};
