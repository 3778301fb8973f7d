#include "data/DataControl.h"

#include "data/DataError.h"

DataControl::DataControl(QString name, QString connectionString, int commandType,
                         QString recordSource, const ConnectionConfig* config)
    : CommandType(commandType), RecordSource(std::move(recordSource)),
      ConnectionString(std::move(connectionString)), m_name(std::move(name)), m_config(config)
{
}
DataControl::~DataControl() = default;
void DataControl::Refresh() { throw DataError(QStringLiteral("not connected")); }
DataControl::Engine DataControl::engine() const { return Engine::Unknown; }
QString DataControl::describe() const { return m_name; }
QString DataControl::escapeLiteral(const QString& text) const { return text; }
