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

int RecordSet::columnIndex(const QString& name) const
{
    const int exact = m_columns.indexOf(name);
    if (exact >= 0)
        return exact;
    for (int i = 0; i < m_columns.size(); ++i)
        if (m_columns[i].compare(name, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
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

void RecordSet::Update()
{
    requireRow("update");
    QVector<int> changed;
    for (int c = 0; c < m_columns.size(); ++c)
        if (m_changed[m_pos][c])
            changed << c;
    if (changed.isEmpty())
        return;
    const Source& src = *m_source;
    if (src.table.isEmpty())
        throw DataError(prefix() + QStringLiteral("cannot update: %1").arg(src.tableProblem));

    QSqlDatabase db = QSqlDatabase::database(src.connectionName, false);
    if (!db.isOpen())
        throw DataError(prefix() + QStringLiteral("cannot update: the connection is closed"));
    const auto fail = [&](const QString& what, const QSqlError& error) {
        return DataError(
            prefix() + scrubSecret(QStringLiteral("%1: %2").arg(what, error.text()), src.password));
    };

    TableInfo info;
    if (src.tables && src.tables->contains(src.table)) {
        info = src.tables->value(src.table);
    } else {
        const QSqlRecord record = db.record(src.table);
        for (int i = 0; i < record.count(); ++i)
            info.columns << record.fieldName(i);
        const QSqlIndex pk = db.primaryIndex(src.table);
        for (int i = 0; i < pk.count(); ++i)
            info.primaryKey << pk.fieldName(i);
        if (info.columns.isEmpty())
            throw fail(QStringLiteral("cannot update: table %1 not found").arg(src.table),
                       db.lastError());
        if (src.tables)
            src.tables->insert(src.table, info);
    }

    QSqlDriver* driver = db.driver();
    const auto ident = [&](const QString& name) {
        return driver->escapeIdentifier(name, QSqlDriver::FieldName);
    };
    const QVector<QVariant>& row = m_rows[m_pos];
    const QVector<QVariant>& original = m_original[m_pos];

    QStringList sets;
    QVariantList setValues;
    for (int c : changed) {
        bool found = false;
        const QString column = indexOfName(info.columns, m_columns[c], &found);
        if (!found)
            throw DataError(prefix() + QStringLiteral("cannot update: field %1 is not a column of "
                                                      "table %2")
                                           .arg(m_columns[c], src.table));
        sets << ident(column) + QStringLiteral("=?");
        setValues << row[c];
    }

    // The row must still hold every value read: a change by anyone else is a conflict.
    QStringList criteria;
    QVariantList criteriaValues;
    QStringList covered;
    for (int c = 0; c < m_columns.size(); ++c) {
        bool found = false;
        const QString column = indexOfName(info.columns, m_columns[c], &found);
        if (!found || covered.contains(column, Qt::CaseInsensitive))
            continue;
        const QVariant& v = original[c];
        if (v.isNull()) {
            criteria << ident(column) + QStringLiteral(" IS NULL");
        } else if (!isComparable(v)) {
            continue;
        } else if (isFloatingType(v.metaType())) {
            // Single-precision columns do not give back exactly what was read.
            criteria << QStringLiteral("ABS(%1-?)<=?").arg(ident(column));
            criteriaValues << v << std::max(std::abs(v.toDouble()) * 1e-6, 1e-9);
        } else {
            criteria << ident(column) + QStringLiteral("=?");
            criteriaValues << v;
        }
        covered << column;
    }
    bool keyCovered = !info.primaryKey.isEmpty();
    for (const QString& k : info.primaryKey)
        keyCovered = keyCovered && covered.contains(k, Qt::CaseInsensitive);
    if (criteria.isEmpty())
        throw DataError(prefix() + QStringLiteral("cannot update: no column identifies the row"));

    const QString table = driver->escapeIdentifier(src.table, QSqlDriver::TableName);
    const QString where = criteria.join(QStringLiteral(" AND "));
    const auto run = [&](const QString& sql, const QVariantList& values, QSqlQuery& q) {
        q.setForwardOnly(true);
        if (!q.prepare(sql))
            return false;
        for (const QVariant& v : values)
            q.addBindValue(v);
        return q.exec();
    };
    const auto countMatching = [&]() {
        QSqlQuery q(db);
        if (!run(QStringLiteral("SELECT COUNT(*) FROM %1 WHERE %2").arg(table, where),
                 criteriaValues, q) ||
            !q.next())
            throw fail(QStringLiteral("cannot update"), q.lastError());
        return q.value(0).toLongLong();
    };
    const auto conflict = [&](qint64 matched) {
        if (matched == 0)
            return UpdateConflict(
                prefix() +
                QStringLiteral("the row was changed or deleted by someone else; nothing written"));
        return UpdateConflict(prefix() + QStringLiteral("the row cannot be told apart from %1 "
                                                        "other rows of %2; nothing written")
                                             .arg(matched - 1)
                                             .arg(src.table));
    };

    // Without a key the update could hit several rows: check first, inside a transaction.
    const bool guarded = !keyCovered;
    const bool inTransaction =
        guarded && driver->hasFeature(QSqlDriver::Transactions) && db.transaction();
    const auto rollback = [&] {
        if (inTransaction)
            db.rollback();
    };
    if (guarded) {
        const qint64 matched = countMatching();
        if (matched != 1) {
            rollback();
            throw conflict(matched);
        }
    }
    QSqlQuery q(db);
    if (!run(QStringLiteral("UPDATE %1 SET %2 WHERE %3")
                 .arg(table, sets.join(QStringLiteral(", ")), where),
             setValues + criteriaValues, q)) {
        const QSqlError error = q.lastError();
        rollback();
        throw fail(QStringLiteral("update of %1 rejected").arg(src.table), error);
    }
    qint64 affected = q.numRowsAffected();
    q.finish();
    // Without found-rows counting the server reports a row set to the values it held as 0.
    if (affected == 0 && src.mysql)
        affected = countMatching();
    if (affected != 1) {
        rollback();
        throw conflict(std::max<qint64>(affected, 0));
    }
    if (inTransaction && !db.commit())
        throw fail(QStringLiteral("update of %1 not committed").arg(src.table), db.lastError());
    m_original[m_pos] = row;
    m_changed[m_pos].fill(false);
}
