#pragma once

#include "data/RecordSet.h"

#include <QString>
#include <memory>

class ConnectionConfig;

// A named, pre-configured database connection with one record set.
// Every query runs the same way: set CommandType, set RecordSource,
// optionally translate it, Refresh(), read Recordset().
class DataControl
{
public:
    enum class Engine { Unknown, MySql, Sqlite, Odbc };

    DataControl(QString name, QString connectionString, int commandType, QString recordSource,
                const ConnectionConfig* config);
    ~DataControl();
    DataControl(const DataControl&) = delete;
    DataControl& operator=(const DataControl&) = delete;

    QString name() const { return m_name; }

    // 1 = query text, 2 = table name.
    int CommandType = 1;
    QString RecordSource;
    QString ConnectionString;

    // Values bound to '?' placeholders of RecordSource at the next Refresh();
    // cleared by every Refresh().
    QVariantList Parameters;

    // Opens the connection if needed, runs RecordSource and replaces the record set.
    // Throws DataError with the server's message.
    void Refresh();
    // The rows of the last Refresh(); an empty set before the first one.
    RecordSet& Recordset() { return m_recordset; }

    // Which engine ConnectionString resolves to (opens nothing).
    Engine engine() const;
    // Human-readable name of the database this control talks to, for messages
    // (server and database name, or the file), never a password.
    QString describe() const;
    // The text as the body of a single-quoted SQL string literal for this engine,
    // so that no content can end the literal.
    QString escapeLiteral(const QString& text) const;

private:
    QString m_name;
    const ConnectionConfig* m_config;
    RecordSet m_recordset;
    QString m_sqlConnectionName; // QSqlDatabase connection owned by this control
};
