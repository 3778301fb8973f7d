#include "data/RecordSet.h"

#include "data/DataError.h"

void RecordSet::MoveFirst() { m_pos = 0; }
void RecordSet::MoveNext() { ++m_pos; }
bool RecordSet::hasField(const QString& name) const { return m_columns.contains(name); }
int RecordSet::columnIndex(const QString& name) const { return m_columns.indexOf(name); }
QVariant RecordSet::Fields(const QString&) const { throw DataError(QStringLiteral("no row")); }
void RecordSet::setField(const QString&, const QVariant&) {}
void RecordSet::Update() {}
void RecordSet::reset(QSqlDatabase, QString, QStringList, QStringList, QVector<QVector<QVariant>>,
                      bool, QString)
{
}
