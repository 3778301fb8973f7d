#include "data/RecordSet.h"

#include "data/DataError.h"
#include "numeric/HalfEven.h"

#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlField>
#include <QSqlIndex>
#include <QSqlQuery>
#include <QSqlRecord>
#include <cmath>
#include <limits>

namespace {
bool isWholeNumberType(QMetaType type)
{
    switch (type.id()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
        return true;
    default:
        return false;
    }
}

bool isFloatingType(QMetaType type)
{
    return type.id() == QMetaType::Double || type.id() == QMetaType::Float;
}

// Values whose round trip through the client is not exact enough to find the row by.
bool isComparable(const QVariant& value)
{
    switch (value.metaType().id()) {
    case QMetaType::QDateTime:
    case QMetaType::QDate:
    case QMetaType::QTime:
    case QMetaType::QByteArray:
        return false;
    default:
        return true;
    }
}

QString fieldName(const QSqlDatabase& db, const QString& column)
{
    return db.driver()->escapeIdentifier(column, QSqlDriver::FieldName);
}

bool runStatement(QSqlQuery& q, const QString& sql, const QVariantList& values)
{
    q.setForwardOnly(true);
    if (!q.prepare(sql))
        return false;
    for (const QVariant& v : values)
        q.addBindValue(v);
    return q.exec();
}

// Rolls back on every way out but commit(): a refused row leaves the table as it was.
class Transaction
{
public:
    Transaction(QSqlDatabase& db, bool wanted)
        : m_db(db),
          m_open(wanted && db.driver()->hasFeature(QSqlDriver::Transactions) && db.transaction())
    {
    }
    ~Transaction()
    {
        if (m_open)
            m_db.rollback();
    }
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;
    bool commit()
    {
        const bool wasOpen = m_open;
        m_open = false;
        return !wasOpen || m_db.commit();
    }

private:
    QSqlDatabase& m_db;
    bool m_open;
};

QString indexOfName(const QStringList& names, const QString& name, bool* found)
{
    for (const QString& n : names) {
        if (n.compare(name, Qt::CaseInsensitive) == 0) {
            *found = true;
            return n;
        }
    }
    *found = false;
    return {};
}
} // namespace

void RecordSet::MoveFirst()
{
    m_pos = 0;
}

void RecordSet::MoveNext()
{
    if (m_pos < m_rows.size())
        ++m_pos;
}

bool RecordSet::hasField(const QString& name) const
{
    return columnIndex(name) >= 0;
}

int columnIndexOf(const QStringList& columns, const QString& name)
{
    const int exact = int(columns.indexOf(name));
    if (exact >= 0)
        return exact;
    for (int i = 0; i < columns.size(); ++i)
        if (columns[i].compare(name, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

int RecordSet::columnIndex(const QString& name) const
{
    return columnIndexOf(m_columns, name);
}

QString RecordSet::prefix() const
{
    if (!m_source)
        return QStringLiteral("record set: ");
    return QStringLiteral("%1 (%2): ").arg(m_source->control, m_source->where);
}

int RecordSet::requireColumn(const QString& name) const
{
    const int i = columnIndex(name);
    if (i < 0)
        throw DataError(prefix() + QStringLiteral("the record set has no field %1").arg(name));
    return i;
}

void RecordSet::requireRow(const char* action) const
{
    if (m_rows.isEmpty())
        throw DataError(
            prefix() +
            QStringLiteral("cannot %1: the record set has no records").arg(QLatin1String(action)));
    if (atEnd())
        throw DataError(
            prefix() +
            QStringLiteral("cannot %1: there is no current record").arg(QLatin1String(action)));
}

QVariant RecordSet::Fields(const QString& name) const
{
    const int c = requireColumn(name);
    requireRow("read a field");
    return m_rows[m_pos][c];
}

void RecordSet::setField(const QString& name, const QVariant& value)
{
    const int c = requireColumn(name);
    requireRow("assign a field");
    QVariant v = value;
    if (!v.isNull() && isWholeNumberType(m_types.value(c)) && isFloatingType(v.metaType())) {
        const std::optional<qint64> whole = toIntHalfEven<qint64>(v.toDouble());
        if (!whole)
            throw DataError(prefix() + QStringLiteral("%1 does not fit the whole-number field %2")
                                           .arg(v.toString(), m_columns[c]));
        v = QVariant(*whole);
    }
    m_rows[m_pos][c] = v;
    m_changed[m_pos][c] = true;
}

void RecordSet::reset(std::shared_ptr<const Source> source, QStringList columns,
                      QVector<QMetaType> types, QVector<QVector<QVariant>> rows)
{
    m_source = std::move(source);
    m_columns = std::move(columns);
    m_types = std::move(types);
    m_rows = std::move(rows);
    m_original = m_rows;
    m_changed = QVector<QVector<bool>>(m_rows.size(), QVector<bool>(m_columns.size(), false));
    m_pos = m_rows.isEmpty() ? -1 : 0;
}

// One part of the statement Update() writes: its text and the values bound to it.
struct RecordSet::Clause
{
    QStringList parts;
    QVariantList values;
};

void RecordSet::Update()
{
    requireRow("update");
    const QVector<int> changed = changedColumns();
    if (changed.isEmpty())
        return;
    const Source& src = *m_source;
    if (src.table.isEmpty())
        throw DataError(prefix() + QStringLiteral("cannot update: %1").arg(src.tableProblem));
    QSqlDatabase db = QSqlDatabase::database(src.connectionName, false);
    if (!db.isOpen())
        throw DataError(prefix() + QStringLiteral("cannot update: the connection is closed"));

    const TableInfo info = tableInfo(db);
    bool keyCovered = false;
    const Clause criteria = rowCriteria(db, info, &keyCovered);
    // Without a key the update could hit several rows: check first, inside a transaction.
    writeRow(db, assignments(db, info, changed), criteria, !keyCovered);
    m_original[m_pos] = m_rows[m_pos];
    m_changed[m_pos].fill(false);
}

QVector<int> RecordSet::changedColumns() const
{
    QVector<int> changed;
    for (int c = 0; c < m_columns.size(); ++c)
        if (m_changed[m_pos][c])
            changed << c;
    return changed;
}

DataError RecordSet::sqlFailure(const QString& what, const QSqlError& error) const
{
    return DataError(prefix() + scrubSecret(QStringLiteral("%1: %2").arg(what, error.text()),
                                            m_source->password));
}

RecordSet::TableInfo RecordSet::tableInfo(const QSqlDatabase& db) const
{
    const Source& src = *m_source;
    if (src.tables && src.tables->contains(src.table))
        return src.tables->value(src.table);
    TableInfo info;
    const QSqlRecord record = db.record(src.table);
    for (int i = 0; i < record.count(); ++i)
        info.columns << record.fieldName(i);
    const QSqlIndex pk = db.primaryIndex(src.table);
    for (int i = 0; i < pk.count(); ++i)
        info.primaryKey << pk.fieldName(i);
    if (info.columns.isEmpty())
        throw sqlFailure(QStringLiteral("cannot update: table %1 not found").arg(src.table),
                         db.lastError());
    if (src.tables)
        src.tables->insert(src.table, info);
    return info;
}

RecordSet::Clause RecordSet::assignments(const QSqlDatabase& db, const TableInfo& info,
                                         const QVector<int>& changed) const
{
    Clause sets;
    for (int c : changed) {
        bool found = false;
        const QString column = indexOfName(info.columns, m_columns[c], &found);
        if (!found)
            throw DataError(prefix() + QStringLiteral("cannot update: field %1 is not a column of "
                                                      "table %2")
                                           .arg(m_columns[c], m_source->table));
        sets.parts << fieldName(db, column) + QStringLiteral("=?");
        sets.values << m_rows[m_pos][c];
    }
    return sets;
}

// The row must still hold every value read: a change by anyone else is a conflict.
RecordSet::Clause RecordSet::rowCriteria(const QSqlDatabase& db, const TableInfo& info,
                                         bool* keyCovered) const
{
    Clause criteria;
    QStringList covered;
    for (int c = 0; c < m_columns.size(); ++c) {
        bool found = false;
        const QString column = indexOfName(info.columns, m_columns[c], &found);
        if (!found || covered.contains(column, Qt::CaseInsensitive))
            continue;
        const QVariant& v = m_original[m_pos][c];
        const QString name = fieldName(db, column);
        if (v.isNull()) {
            criteria.parts << name + QStringLiteral(" IS NULL");
        } else if (!isComparable(v)) {
            continue;
        } else if (isFloatingType(v.metaType())) {
            // Single-precision columns do not give back exactly what was read.
            criteria.parts << QStringLiteral("ABS(%1-?)<=?").arg(name);
            criteria.values << v << std::max(std::abs(v.toDouble()) * 1e-6, 1e-9);
        } else {
            criteria.parts << name + QStringLiteral("=?");
            criteria.values << v;
        }
        covered << column;
    }
    *keyCovered = !info.primaryKey.isEmpty();
    for (const QString& k : info.primaryKey)
        *keyCovered = *keyCovered && covered.contains(k, Qt::CaseInsensitive);
    if (criteria.parts.isEmpty())
        throw DataError(prefix() + QStringLiteral("cannot update: no column identifies the row"));
    return criteria;
}

void RecordSet::writeRow(QSqlDatabase& db, const Clause& sets, const Clause& criteria,
                         bool guarded) const
{
    const Source& src = *m_source;
    const QString table = db.driver()->escapeIdentifier(src.table, QSqlDriver::TableName);
    const QString where = criteria.parts.join(QStringLiteral(" AND "));
    const QString count = QStringLiteral("SELECT COUNT(*) FROM %1 WHERE %2").arg(table, where);
    Transaction transaction(db, guarded);
    if (guarded) {
        const qint64 matched = countRows(db, count, criteria.values);
        if (matched != 1)
            throw conflict(matched);
    }
    QSqlQuery q(db);
    if (!runStatement(q,
                      QStringLiteral("UPDATE %1 SET %2 WHERE %3")
                          .arg(table, sets.parts.join(QStringLiteral(", ")), where),
                      sets.values + criteria.values))
        throw sqlFailure(QStringLiteral("update of %1 rejected").arg(src.table), q.lastError());
    qint64 affected = q.numRowsAffected();
    q.finish();
    // Without found-rows counting the server reports a row set to the values it held as 0.
    if (affected == 0 && src.mysql)
        affected = countRows(db, count, criteria.values);
    if (affected != 1)
        throw conflict(std::max<qint64>(affected, 0));
    if (!transaction.commit())
        throw sqlFailure(QStringLiteral("update of %1 not committed").arg(src.table),
                         db.lastError());
}

qint64 RecordSet::countRows(const QSqlDatabase& db, const QString& sql,
                            const QVariantList& values) const
{
    QSqlQuery q(db);
    if (!runStatement(q, sql, values) || !q.next())
        throw sqlFailure(QStringLiteral("cannot update"), q.lastError());
    return q.value(0).toLongLong();
}

UpdateConflict RecordSet::conflict(qint64 matched) const
{
    if (matched == 0)
        return UpdateConflict(
            prefix() +
            QStringLiteral("the row was changed or deleted by someone else; nothing written"));
    return UpdateConflict(prefix() + QStringLiteral("the row cannot be told apart from %1 "
                                                    "other rows of %2; nothing written")
                                         .arg(matched - 1)
                                         .arg(m_source->table));
}
