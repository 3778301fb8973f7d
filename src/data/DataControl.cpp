#include "data/DataControl.h"
#include "data/MySqlTlsBridge.h"
#include "sqlconv/SqlTokens.h"

#include <QAtomicInteger>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlField>
#include <QSqlQuery>
#include <QSqlRecord>
#include <limits>

namespace {
constexpr int kOptionFoundRows = 2;
constexpr int kOptionBigIntAsInt = 16384;
constexpr size_t kPreparedKept = 16;

QString nextConnectionName(const QString& control)
{
    static QAtomicInteger<quint64> counter;
    return QStringLiteral("vesk-%1-%2").arg(control).arg(counter.fetchAndAddRelaxed(1) + 1);
}

const ConnectionConfig& emptyConfig()
{
    static const ConnectionConfig config;
    return config;
}

// The one table a SELECT reads, for writing its rows back; empty with a reason otherwise.
QString singleTable(const QString& sql, QString* problem)
{
    const QVector<SqlToken> tokens = topLevelTokens(sql);
    if (tokens.isEmpty() || !isKeyword(tokens[0], "SELECT")) {
        *problem = QStringLiteral("only the rows of a SELECT can be written back");
        return {};
    }
    for (const SqlToken& t : tokens) {
        for (const char* w : {"UNION", "GROUP", "HAVING", "INTERSECT", "EXCEPT"}) {
            if (isKeyword(t, w)) {
                *problem = QStringLiteral("the rows of a query with %1 cannot be written back")
                               .arg(t.text.toUpper());
                return {};
            }
        }
    }
    int from = -1;
    for (int i = 0; i < tokens.size() && from < 0; ++i)
        if (isKeyword(tokens[i], "FROM"))
            from = i;
    if (from < 0) {
        *problem = QStringLiteral("the query reads no table");
        return {};
    }
    QVector<SqlToken> part;
    for (int i = from + 1; i < tokens.size(); ++i) {
        const SqlToken& t = tokens[i];
        bool end = t.text == QLatin1String(";");
        for (const char* w :
             {"WHERE", "ORDER", "LIMIT", "FOR", "LOCK", "PROCEDURE", "INTO", "WINDOW", "OFFSET"})
            end = end || isKeyword(t, w);
        if (end)
            break;
        part.append(t);
    }
    const auto isName = [](const SqlToken& t) { return t.word || t.quoted; };
    const bool plain = part.size() == 1 && isName(part[0]);
    const bool aliased =
        part.size() == 2 && isName(part[0]) && isName(part[1]) && !isKeyword(part[1], "JOIN");
    const bool asAliased =
        part.size() == 3 && isName(part[0]) && isKeyword(part[1], "AS") && isName(part[2]);
    if (!plain && !aliased && !asAliased) {
        *problem = QStringLiteral("the query does not read exactly one table");
        return {};
    }
    return part[0].text;
}

bool isReadOnlyStatement(const QString& sql)
{
    const QVector<SqlToken> tokens = topLevelTokens(sql);
    return !tokens.isEmpty() && (isKeyword(tokens[0], "SELECT") || isKeyword(tokens[0], "SHOW"));
}

bool isConnectionLoss(const QSqlError& error)
{
    // Server gone away, lost during query, cannot connect, killed, connection reset.
    static const QStringList codes = {QStringLiteral("2002"), QStringLiteral("2003"),
                                      QStringLiteral("2006"), QStringLiteral("2013"),
                                      QStringLiteral("2055"), QStringLiteral("1927"),
                                      QStringLiteral("4031")};
    return error.type() == QSqlError::ConnectionError || codes.contains(error.nativeErrorCode());
}
} // namespace

DataControl::DataControl(QString name, QString connectionString, int commandType,
                         QString recordSource, const ConnectionConfig* config)
    : CommandType(commandType), RecordSource(std::move(recordSource)),
      ConnectionString(std::move(connectionString)), m_name(std::move(name)), m_config(config),
      m_sqlConnectionName(nextConnectionName(m_name)),
      m_tables(std::make_shared<RecordSet::TableInfoCache>())
{
}

DataControl::~DataControl()
{
    m_recordset = RecordSet();
    close();
    if (QSqlDatabase::contains(m_sqlConnectionName))
        QSqlDatabase::removeDatabase(m_sqlConnectionName);
}

void DataControl::close()
{
    if (m_transaction == Transaction::Open)
        m_transaction = Transaction::Lost;
    m_prepared.clear();
    if (QSqlDatabase::contains(m_sqlConnectionName)) {
        QSqlDatabase db = QSqlDatabase::database(m_sqlConnectionName, false);
        db.close();
    }
    m_bridge.reset();
    m_openKey.clear();
    m_tables->clear();
}

ConnectionConfig::Target DataControl::resolve() const
{
    return (m_config ? *m_config : emptyConfig()).resolve(ConnectionString);
}

DataControl::Engine DataControl::engine() const
{
    return resolve().kind;
}

QString DataControl::describe() const
{
    const ConnectionConfig::Target target = resolve();
    return scrubSecret(target.describe(), target.password);
}

QString DataControl::escapeLiteral(const QString& text) const
{
    QString out = text;
    out.remove(QChar(0)); // a NUL would end the text early on some engines
    if (engine() == Engine::MySql)
        out.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    out.replace(QLatin1Char('\''), QStringLiteral("''"));
    return out;
}

DataError DataControl::failure(const QString& what, const QString& password, bool lost) const
{
    return DataError(
        scrubSecret(QStringLiteral("%1 (%2): %3").arg(m_name, describe(), what), password), lost);
}

void DataControl::checkTransaction(const QString& password) const
{
    if (m_transaction == Transaction::Lost)
        throw failure(QStringLiteral("the connection of the open transaction was lost, and "
                                     "what it wrote with it"),
                      password, true);
}

bool DataControl::closeIfLost(const QSqlError& error)
{
    const QSqlDatabase db = QSqlDatabase::database(m_sqlConnectionName, false);
    // Qt's SQLite driver calls a refused statement a connection error; a file
    // has no connection to lose.
    const bool file = db.isOpen() && engine() == Engine::Sqlite;
    const bool lost = !file && (isConnectionLoss(error) || !db.isOpen());
    if (lost)
        close();
    return lost;
}

// The Qt driver and its connect options for a target.
void DataControl::driverFor(const ConnectionConfig::Target& target, QString* driver,
                            QString* options) const
{
    switch (target.kind) {
    case ConnectionConfig::Target::Kind::MySql:
        *driver = QStringLiteral("QMYSQL");
        *options = QStringLiteral("MYSQL_OPT_CONNECT_TIMEOUT=%1;MYSQL_OPT_READ_TIMEOUT=%2;"
                                  "MYSQL_OPT_WRITE_TIMEOUT=%3")
                       .arg(target.connectTimeout)
                       .arg(target.readTimeout)
                       .arg(target.writeTimeout);
        if (target.options & kOptionFoundRows)
            *options += QStringLiteral(";CLIENT_FOUND_ROWS");
        break;
    case ConnectionConfig::Target::Kind::Sqlite:
        *driver = QStringLiteral("QSQLITE");
        *options = QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000");
        // Opening a missing file would silently create an empty database.
        if (!QFileInfo::exists(target.database))
            throw failure(QStringLiteral("the database file does not exist"), target.password);
        break;
    case ConnectionConfig::Target::Kind::Odbc:
        *driver = QStringLiteral("QODBC");
        // Qt's ODBC driver reaches no statement handle before it runs a query:
        // the connection's request time-out stands for the 30 s command time-out.
        *options = QStringLiteral("SQL_ATTR_LOGIN_TIMEOUT=%1;SQL_ATTR_CONNECTION_TIMEOUT=%2")
                       .arg(target.connectTimeout)
                       .arg(target.readTimeout);
        break;
    case ConnectionConfig::Target::Kind::Invalid:
        throw failure(target.error, target.password);
    }
    if (!QSqlDatabase::isDriverAvailable(*driver))
        throw failure(QStringLiteral("the database driver %1 is not installed").arg(*driver),
                      target.password);
}

bool DataControl::openIfNeeded(const ConnectionConfig::Target& target)
{
    const QString key = target.key();
    if (QSqlDatabase::contains(m_sqlConnectionName)) {
        QSqlDatabase db = QSqlDatabase::database(m_sqlConnectionName, false);
        if (db.isOpen() && key == m_openKey)
            return true;
    }
    close();
    m_recordset = RecordSet();
    if (QSqlDatabase::contains(m_sqlConnectionName))
        QSqlDatabase::removeDatabase(m_sqlConnectionName);

    QString driver;
    QString options;
    driverFor(target, &driver, &options);
    const bool mysql = target.kind == ConnectionConfig::Target::Kind::MySql;
    // The driver talks to the bridge; the bridge talks to the server.
    quint16 bridgePort = 0;
    if (mysql) {
        m_bridge = std::make_unique<MySqlTlsBridge>(target);
        try {
            bridgePort = m_bridge->start();
        } catch (const DataError& error) {
            m_bridge.reset();
            throw failure(error.message(), target.password);
        }
    }
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(driver, m_sqlConnectionName);
        db.setNumericalPrecisionPolicy(QSql::LowPrecisionDouble);
        // Qt's ODBC driver takes a bare data source name, not "DSN=NAME;".
        db.setDatabaseName(target.database);
        if (mysql) {
            db.setHostName(QStringLiteral("127.0.0.1"));
            db.setPort(bridgePort);
        }
        db.setUserName(target.user);
        db.setPassword(target.password);
        db.setConnectOptions(options);
        if (!db.open()) {
            // The bridge's words, when it closed the link, say more than "lost connection".
            const QString why = m_bridge ? m_bridge->failure() : QString();
            const QString text = why.isEmpty() ? db.lastError().text() : why;
            db = QSqlDatabase();
            QSqlDatabase::removeDatabase(m_sqlConnectionName);
            m_bridge.reset();
            throw failure(QStringLiteral("cannot connect: %1").arg(text), target.password);
        }
    }
    m_openKey = key;
    return false;
}

bool DataControl::openOrLost(const ConnectionConfig::Target& target)
{
    try {
        return openIfNeeded(target);
    } catch (const DataError& error) {
        // A server whose driver is there and that does not take the connection
        // is out of reach, as much as one that drops it.
        const bool server = (target.kind == Engine::MySql &&
                             QSqlDatabase::isDriverAvailable(QStringLiteral("QMYSQL"))) ||
                            (target.kind == Engine::Odbc &&
                             QSqlDatabase::isDriverAvailable(QStringLiteral("QODBC")));
        if (!server || error.connectionLost())
            throw;
        throw DataError(error.message(), true);
    }
}

void DataControl::runQuery(const QString& sql, const QVariantList& params,
                           const ConnectionConfig::Target& target)
{
    QSqlDatabase db = QSqlDatabase::database(m_sqlConnectionName, false);
    QSqlQuery q(db);
    q.setForwardOnly(true);
    q.setNumericalPrecisionPolicy(QSql::LowPrecisionDouble);
    bool ok;
    if (params.isEmpty()) {
        ok = q.exec(sql);
    } else {
        ok = q.prepare(sql);
        if (ok) {
            for (const QVariant& p : params)
                q.addBindValue(p);
            ok = q.exec();
        }
    }
    if (!ok)
        throw failure(q.lastError().text(), target.password,
                      isConnectionLoss(q.lastError()) || !db.isOpen());

    auto source = std::make_shared<RecordSet::Source>();
    source->connectionName = m_sqlConnectionName;
    source->control = m_name;
    source->where = describe();
    source->password = target.password;
    source->mysql = target.kind == ConnectionConfig::Target::Kind::MySql;
    source->tables = m_tables;
    if (CommandType == kTableName)
        source->table = RecordSource.trimmed();
    else
        source->table = singleTable(sql, &source->tableProblem);

    if (!q.isSelect()) {
        if (isReadOnlyStatement(sql)) {
            // The driver took a result cut off in transfer for one without columns.
            throw failure(QStringLiteral("the connection was lost while reading the result"),
                          target.password, true);
        }
        m_recordsAffected = q.numRowsAffected();
        m_recordset.reset(source, {}, {}, {});
        return;
    }
    m_recordsAffected = -1;
    readRows(q, db, source, target);
}

DataControl::Columns DataControl::columnsOf(const QSqlRecord& record, bool bigintAsInt)
{
    Columns columns;
    for (int i = 0; i < record.count(); ++i) {
        columns.names << record.fieldName(i);
        QMetaType type = record.field(i).metaType();
        const bool isBig = type.id() == QMetaType::LongLong || type.id() == QMetaType::ULongLong;
        columns.narrow << (bigintAsInt && isBig);
        if (bigintAsInt && isBig)
            type = QMetaType::fromType<int>();
        columns.types << type;
    }
    return columns;
}

QVector<QVariant> DataControl::readRow(const QSqlQuery& q, const QVector<bool>& narrow)
{
    QVector<QVariant> row(narrow.size());
    for (int i = 0; i < narrow.size(); ++i) {
        if (q.isNull(i))
            continue; // stays a null QVariant
        QVariant v = q.value(i);
        if (narrow[i]) {
            bool ok64 = false;
            const qint64 n = v.toLongLong(&ok64);
            // A value beyond 32 bits is kept whole rather than cut.
            if (ok64 && n >= std::numeric_limits<qint32>::min() &&
                n <= std::numeric_limits<qint32>::max())
                v = QVariant(int(n));
        }
        row[i] = std::move(v);
    }
    return row;
}

// The rows of a SELECT into the record set.
void DataControl::readRows(QSqlQuery& q, const QSqlDatabase& db,
                           const std::shared_ptr<RecordSet::Source>& source,
                           const ConnectionConfig::Target& target)
{
    const Columns columns =
        columnsOf(q.record(), source->mysql && (target.options & kOptionBigIntAsInt));
    QVector<QVector<QVariant>> rows;
    while (q.next())
        rows.append(readRow(q, columns.narrow));
    if (q.lastError().isValid())
        throw failure(q.lastError().text(), target.password,
                      isConnectionLoss(q.lastError()) || !db.isOpen());
    m_recordset.reset(source, columns.names, columns.types, rows);
}

void DataControl::Refresh()
{
    const QVariantList params = std::exchange(Parameters, {});
    const ConnectionConfig::Target target = resolve();
    if (target.kind == ConnectionConfig::Target::Kind::Invalid)
        throw failure(target.error, target.password);

    QString sql;
    if (CommandType == kQueryText) {
        sql = RecordSource;
        if (sql.trimmed().isEmpty())
            throw failure(QStringLiteral("no query text in RecordSource"), target.password);
    } else if (CommandType == kTableName) {
        if (RecordSource.trimmed().isEmpty())
            throw failure(QStringLiteral("no table name in RecordSource"), target.password);
    } else {
        throw failure(QStringLiteral("CommandType %1 is not supported").arg(CommandType),
                      target.password);
    }

    checkTransaction(target.password);
    const bool reused = openOrLost(target);
    if (CommandType == kTableName) {
        QSqlDatabase db = QSqlDatabase::database(m_sqlConnectionName, false);
        sql = QStringLiteral("SELECT * FROM ") +
              db.driver()->escapeIdentifier(RecordSource.trimmed(), QSqlDriver::TableName);
    }

    try {
        runQuery(sql, params, target);
    } catch (const DataError& error) {
        retryAfterFailure(
            sql, [&] { runQuery(sql, params, target); }, target, reused, error);
    }
}

// A connection that may be broken is dropped; the next use opens a new one. A
// read-only query that lost a connection it reused runs once more on a new one
// (outside a transaction). Returns when that run succeeds; throws otherwise.
void DataControl::retryAfterFailure(const QString& sql, const std::function<void()>& rerun,
                                    const ConnectionConfig::Target& target, bool reused,
                                    const DataError& first)
{
    const bool lost = first.connectionLost();
    if (!lost && target.kind == ConnectionConfig::Target::Kind::MySql)
        throw first;
    close();
    if (!lost || !reused || m_transaction != Transaction::None || !isReadOnlyStatement(sql))
        throw first;
    try {
        openIfNeeded(target);
    } catch (const DataError& again) {
        throw DataError(
            QStringLiteral("%1\nThen, connecting again: %2").arg(first.message(), again.message()),
            true);
    }
    try {
        rerun();
    } catch (const DataError& second) {
        if (second.connectionLost())
            close();
        throw;
    }
}

bool DataControl::readInBatches(const QString& sql, bool prepared, int firstRows, int batchRows,
                                const std::function<bool()>& cancelled, const BatchSink& sink)
{
    const ConnectionConfig::Target target = resolve();
    if (target.kind == ConnectionConfig::Target::Kind::Invalid)
        throw failure(target.error, target.password);
    if (sql.trimmed().isEmpty())
        throw failure(QStringLiteral("no query text"), target.password);
    checkTransaction(target.password);
    const bool reused = openOrLost(target);
    std::unique_ptr<QSqlQuery> q;
    try {
        q = startSelect(sql, prepared, target);
    } catch (const DataError& error) {
        retryAfterFailure(
            sql, [&] { q = startSelect(sql, prepared, target); }, target, reused, error);
    }
    try {
        return handOnBatches(*q, target, firstRows, batchRows, cancelled, sink);
    } catch (const DataError& error) {
        q.reset();
        if (error.connectionLost())
            close(); // the next statement opens a new connection
        throw;
    }
}

std::unique_ptr<QSqlQuery> DataControl::startSelect(const QString& sql, bool prepared,
                                                    const ConnectionConfig::Target& target)
{
    QSqlDatabase db = QSqlDatabase::database(m_sqlConnectionName, false);
    auto q = std::make_unique<QSqlQuery>(db);
    q->setForwardOnly(true);
    q->setNumericalPrecisionPolicy(QSql::LowPrecisionDouble);
    const bool ran =
        prepared && target.kind == Engine::MySql ? q->prepare(sql) && q->exec() : q->exec(sql);
    if (!ran)
        throw failure(q->lastError().text(), target.password,
                      isConnectionLoss(q->lastError()) || !db.isOpen());
    if (!q->isSelect()) {
        // A result cut off in transfer looks like one without columns.
        if (isReadOnlyStatement(sql))
            throw failure(QStringLiteral("the connection was lost while reading the result"),
                          target.password, true);
        throw failure(QStringLiteral("the statement gives no rows"), target.password);
    }
    return q;
}

bool DataControl::handOnBatches(QSqlQuery& q, const ConnectionConfig::Target& target, int firstRows,
                                int batchRows, const std::function<bool()>& cancelled,
                                const BatchSink& sink)
{
    const Columns columns = columnsOf(q.record(), target.kind == Engine::MySql &&
                                                      (target.options & kOptionBigIntAsInt));
    RowBatch batch;
    batch.columns = columns.names;
    batch.total = q.size();
    // Rows the driver holds already cannot fail to be read: they go at once.
    const bool asRead = batch.total >= 0;
    QVector<QVector<QVariant>> all;
    int wanted = firstRows;
    bool handed = false;
    const auto handOn = [&](QVector<QVariant> row) {
        batch.rows.append(std::move(row));
        if (batch.rows.size() < wanted)
            return;
        sink(batch);
        batch.rows.clear();
        wanted = batchRows;
        handed = true;
    };
    while (q.next()) {
        if (cancelled())
            return false;
        if (asRead)
            handOn(readRow(q, columns.narrow));
        else
            all.append(readRow(q, columns.narrow));
    }
    if (q.lastError().isValid())
        throw failure(q.lastError().text(), target.password,
                      isConnectionLoss(q.lastError()) || !q.driver()->isOpen());
    if (!asRead)
        batch.total = int(all.size());
    for (QVector<QVariant>& row : all) {
        if (cancelled())
            return false;
        handOn(std::move(row));
    }
    if (!batch.rows.isEmpty() || !handed)
        sink(batch);
    return true;
}

int DataControl::execute(const QString& sql, const QVariantList& values)
{
    const ConnectionConfig::Target target = resolve();
    if (target.kind == ConnectionConfig::Target::Kind::Invalid)
        throw failure(target.error, target.password);
    checkTransaction(target.password);
    openOrLost(target);
    if (values.isEmpty()) {
        QSqlQuery q(QSqlDatabase::database(m_sqlConnectionName, false));
        if (!q.exec(sql)) {
            const QSqlError error = q.lastError();
            throw failure(error.text(), target.password, closeIfLost(error));
        }
        return q.numRowsAffected();
    }
    QSqlDatabase db = QSqlDatabase::database(m_sqlConnectionName, false);
    auto found = m_prepared.find(sql);
    if (found == m_prepared.end()) {
        auto query = std::make_unique<QSqlQuery>(db);
        query->setForwardOnly(true);
        if (!query->prepare(sql)) {
            const QSqlError error = query->lastError();
            throw failure(error.text(), target.password, closeIfLost(error));
        }
        // Statements whose text differs with their rows are not kept for long.
        if (m_prepared.size() >= kPreparedKept)
            m_prepared.clear();
        found = m_prepared.emplace(sql, std::move(query)).first;
    }
    QSqlQuery& q = *found->second;
    for (int i = 0; i < values.size(); ++i)
        q.bindValue(i, values[i]);
    if (!q.exec()) {
        const QSqlError error = q.lastError();
        const bool lost = closeIfLost(error);
        if (!lost)
            m_prepared.erase(found);
        throw failure(error.text(), target.password, lost);
    }
    const int affected = q.numRowsAffected();
    q.finish();
    return affected;
}

void DataControl::beginTransaction()
{
    const ConnectionConfig::Target target = resolve();
    if (target.kind == ConnectionConfig::Target::Kind::Invalid)
        throw failure(target.error, target.password);
    checkTransaction(target.password);
    openOrLost(target);
    QSqlDatabase db = QSqlDatabase::database(m_sqlConnectionName, false);
    if (!db.transaction()) {
        const QSqlError error = db.lastError();
        const bool lost = closeIfLost(error);
        throw failure(QStringLiteral("cannot begin a transaction: %1").arg(error.text()),
                      target.password, lost);
    }
    m_transaction = Transaction::Open;
}

void DataControl::commit()
{
    const QString password = resolve().password;
    checkTransaction(password);
    QSqlDatabase db = QSqlDatabase::database(m_sqlConnectionName, false);
    if (!db.isOpen())
        throw failure(QStringLiteral("cannot commit: the connection is closed"), password, true);
    if (!db.commit()) {
        const QSqlError error = db.lastError();
        const bool lost = closeIfLost(error);
        throw failure(QStringLiteral("cannot commit: %1").arg(error.text()), password, lost);
    }
    m_transaction = Transaction::None;
}

void DataControl::rollback()
{
    m_transaction = Transaction::None;
    if (!QSqlDatabase::contains(m_sqlConnectionName))
        return;
    QSqlDatabase db = QSqlDatabase::database(m_sqlConnectionName, false);
    if (db.isOpen() && !db.rollback() && isConnectionLoss(db.lastError()))
        close();
}
