#pragma once

#include "data/ConnectionConfig.h"
#include "data/DataError.h"
#include "data/RecordSet.h"

#include <QString>
#include <QVariantList>
#include <functional>
#include <map>
#include <memory>

class MySqlTlsBridge;
class QSqlDatabase;
class QSqlError;
class QSqlQuery;
class QSqlRecord;

// A named, pre-configured database connection with one record set.
// Every query runs the same way: set CommandType, set RecordSource,
// optionally translate it, Refresh(), read Recordset().
// One thread only: the connection belongs to the thread that opened it.
class DataControl
{
public:
    // Which kind of database the connection string names.
    using Engine = ConnectionConfig::Target::Kind;

    DataControl(QString name, QString connectionString, int commandType, QString recordSource,
                const ConnectionConfig* config);
    ~DataControl();
    DataControl(const DataControl&) = delete;
    DataControl& operator=(const DataControl&) = delete;

    QString name() const { return m_name; }
    const ConnectionConfig* config() const { return m_config; }

    // What RecordSource holds: the numbers the suite's settings use.
    static constexpr int kQueryText = 1;
    static constexpr int kTableName = 2;
    int CommandType = kQueryText;
    QString RecordSource;
    QString ConnectionString;

    // Values bound to '?' placeholders of RecordSource at the next Refresh();
    // cleared by every Refresh().
    QVariantList Parameters;

    // Opens the connection if needed, runs RecordSource and replaces the record set.
    // Throws DataError with the server's message. A connection found lost is
    // closed and opened again (a read-only query is retried once on the new
    // connection), except inside a transaction: a new connection would not
    // see what the transaction wrote, so the loss is reported instead.
    void Refresh();
    // The rows of the last Refresh(); an empty set before the first one.
    RecordSet& Recordset() { return m_recordset; }
    // Takes the rows that a control of the same name read on a worker thread.
    void takeRecordset(RecordSet records) { m_recordset = std::move(records); }
    // Rows changed by the last Refresh() of a statement that returns no rows; -1 otherwise.
    int RecordsAffected() const { return m_recordsAffected; }

    // Rows of a SELECT as readInBatches() hands them on: the result's columns,
    // its row count and the next rows.
    struct RowBatch
    {
        QStringList columns;
        int total = 0;
        QVector<QVector<QVariant>> rows;
    };
    using BatchSink = std::function<void(RowBatch&)>;
    // Runs the SELECT `sql` and hands its rows to `sink`, the first `firstRows`
    // in a batch of their own, then `batchRows` at a time; an empty result gives
    // one batch without rows. No record set is built, and the sink may take the
    // rows away. Where the driver holds the whole result once the statement ran
    // (it knows the row count), batches go as they are read; otherwise only
    // once every row was read, so that a result that fails part way hands on
    // nothing. Once `cancelled` says so the reading stops and the answer is
    // false. Throws DataError as Refresh() does, with the same one more try.
    // `prepared`: MySQL prepares the statement first, one more round trip, and
    // then hands numbers over as numbers: less to convert and to hold in a
    // long result.
    bool readInBatches(const QString& sql, bool prepared, int firstRows, int batchRows,
                       const std::function<bool()>& cancelled, const BatchSink& sink);

    // Runs a statement that returns no rows with `values` bound to its '?'
    // placeholders, and keeps it prepared for the next call with the same text.
    // Without values the text is sent as it is: one round trip instead of two.
    // Returns the rows it changed. Throws DataError; a lost connection is not
    // tried again (the statement may have reached the server): the control is
    // closed, and an open transaction with it.
    int execute(const QString& sql, const QVariantList& values = {});
    // A transaction on the control's connection, opened if needed. Throw DataError.
    // Once the connection of an open transaction is lost, every statement and
    // the commit fail as lost (DataError::connectionLost) until rollback().
    void beginTransaction();
    void commit();
    // Ends the open transaction without its changes; a failure is no news, as a
    // lost connection has ended the transaction already.
    void rollback();
    bool inTransaction() const { return m_transaction != Transaction::None; }

    // Which engine ConnectionString resolves to (opens nothing).
    Engine engine() const;
    // Human-readable name of the database this control talks to, for messages
    // (server and database name, or the file), never a password.
    QString describe() const;
    // The text as the body of a single-quoted SQL string literal for this engine,
    // so that no content can end the literal.
    QString escapeLiteral(const QString& text) const;

    // The QSqlDatabase connection name this control owns (unique per instance).
    QString connectionName() const { return m_sqlConnectionName; }
    // Closes the connection; the next Refresh() opens it again.
    void close();

private:
    // The columns of a result, and which of them are read as 32-bit numbers.
    struct Columns
    {
        QStringList names;
        QVector<QMetaType> types;
        QVector<bool> narrow;
    };
    static Columns columnsOf(const QSqlRecord& record, bool bigintAsInt);
    static QVector<QVariant> readRow(const QSqlQuery& q, const QVector<bool>& narrow);
    // The SELECT run on the open connection, positioned before its first row.
    std::unique_ptr<QSqlQuery> startSelect(const QString& sql, bool prepared,
                                           const ConnectionConfig::Target& target);
    bool handOnBatches(QSqlQuery& q, const ConnectionConfig::Target& target, int firstRows,
                       int batchRows, const std::function<bool()>& cancelled,
                       const BatchSink& sink);
    ConnectionConfig::Target resolve() const;
    void driverFor(const ConnectionConfig::Target& target, QString* driver, QString* options) const;
    bool openIfNeeded(const ConnectionConfig::Target& target);
    // openIfNeeded(), a failure to reach a server told as a lost connection.
    bool openOrLost(const ConnectionConfig::Target& target);
    // Throw DataError, marked lost when the connection broke down.
    void runQuery(const QString& sql, const QVariantList& params,
                  const ConnectionConfig::Target& target);
    void readRows(QSqlQuery& q, const QSqlDatabase& db,
                  const std::shared_ptr<RecordSet::Source>& source,
                  const ConnectionConfig::Target& target);
    // `again` runs the statement once more, on a new connection.
    void retryAfterFailure(const QString& sql, const std::function<void()>& again,
                           const ConnectionConfig::Target& target, bool reused,
                           const DataError& first);
    DataError failure(const QString& what, const QString& password, bool lost = false) const;
    // Throws when the open transaction's connection was lost.
    void checkTransaction(const QString& password) const;
    // Closes a connection that broke down or may have; true when it did.
    bool closeIfLost(const QSqlError& error);

    enum class Transaction
    {
        None,
        Open,
        Lost // its connection broke down: nothing of it was committed by us
    };

    QString m_name;
    const ConnectionConfig* m_config;
    RecordSet m_recordset;
    QString m_sqlConnectionName; // QSqlDatabase connection owned by this control
    QString m_openKey;           // what the open connection was opened for
    std::shared_ptr<RecordSet::TableInfoCache> m_tables;
    int m_recordsAffected = -1;
    Transaction m_transaction = Transaction::None;
    // Statements of execute(), prepared on the open connection.
    std::map<QString, std::unique_ptr<QSqlQuery>> m_prepared;
    // Between the MySQL driver and the server while a MySQL connection is open.
    std::unique_ptr<MySqlTlsBridge> m_bridge;
};
