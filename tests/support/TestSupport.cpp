#include "TestSupport.h"

#include "data/ConnectionConfig.h"

#include <QFileInfo>
#include <QProcess>
#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>

#ifndef VESK_SOURCE_DIR
#error "VESK_SOURCE_DIR must name the repository's source folder"
#endif

namespace vesktest {

namespace {
QString uniqueSuffix()
{
    return QUuid::createUuid().toString(QUuid::Id128);
}

// sql/<engine>/<name>.sql, engine "mysql" or "sqlite"; name "item" or "suite".
QString runSchema(QSqlDatabase db, const QString& engine, const QString& name)
{
    QFile f(QStringLiteral(VESK_SOURCE_DIR "/sql/%1/%2.sql").arg(engine, name));
    if (!f.open(QIODevice::ReadOnly))
        return QStringLiteral("cannot read ") + f.fileName();
    return runSqlScript(db, QString::fromUtf8(f.readAll()));
}

QSqlDatabase openMariaDb(const QString& connection, const MariaDbServer& server,
                         const QString& database = {})
{
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QMYSQL"), connection);
    db.setHostName(server.host);
    db.setPort(server.port);
    db.setUserName(server.user);
    db.setPassword(server.password);
    db.setDatabaseName(database);
    // The test's own connection outlives restarts of the server.
    if (!database.isEmpty())
        db.setConnectOptions(QStringLiteral("MYSQL_OPT_RECONNECT=1"));
    db.open();
    return db;
}

// Runs one statement on a connection of its own to the server.
QString adminExec(const MariaDbServer& server, const QString& name, const QString& sql)
{
    QString error;
    {
        QSqlDatabase admin = openMariaDb(QStringLiteral("admin-") + name, server);
        error = admin.isOpen() ? exec(admin, sql)
                               : "cannot reach the test server: " + admin.lastError().text();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("admin-") + name);
    return error;
}

} // namespace

QString run(QSqlQuery& q, const QString& sql, const QVariantList& values)
{
    if (!q.prepare(sql))
        return q.lastError().text();
    for (const QVariant& v : values)
        q.addBindValue(v);
    return q.exec() ? QString() : q.lastError().text();
}

QString insertRows(QSqlDatabase db, const QString& table, const QStringList& columns,
                   const QList<QVariantList>& rows)
{
    const QString sql =
        QStringLiteral("INSERT INTO %1 (%2) VALUES (?%3)")
            .arg(table, columns.join(u','), QStringLiteral(",?").repeated(columns.size() - 1));
    db.transaction(); // one commit for all rows: a commit per row crawls on a slow disk
    for (const QVariantList& row : rows) {
        const QString error = exec(db, sql, row);
        if (!error.isEmpty()) {
            db.rollback();
            return error;
        }
    }
    return db.commit() ? QString() : db.lastError().text();
}

QVariant scalar(QSqlDatabase db, const QString& sql, const QVariantList& values)
{
    QSqlQuery q(db);
    return run(q, sql, values).isEmpty() && q.next() ? q.value(0) : QVariant();
}

QString MariaDbServer::fromEnvironment(bool tls)
{
    const QString prefix = tls ? "VESK_TEST_TLS_" : "VESK_TEST_MYSQL_";
    const auto env = [&](const QString& name) {
        return qEnvironmentVariable(qPrintable(prefix + name));
    };
    QStringList absent;
    for (const QString& name : QStringList{"PORT", "USER", "PASSWORD"} +
                                   (tls ? QStringList{"CA"} : QStringList{"HOST", "CTL"}))
        if (env(name).isEmpty())
            absent << prefix + name;
    *this = {tls ? QStringLiteral("127.0.0.1") : env("HOST"), env("PORT").toInt(), env("USER"),
             env("PASSWORD"), tls ? QString() : env("CTL")};
    return absent.isEmpty() ? QString()
                            : "MariaDB test environment missing (" + absent.join(", ") +
                                  "): run scripts/test-services.sh start DIR, source DIR/env.sh";
}

bool MariaDbServer::control(const QString& action, QString* output) const
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), ctl + QLatin1Char(' ') + action});
    const bool finished = p.waitForFinished(180000);
    if (output)
        *output = QString::fromLocal8Bit(p.readAll());
    return finished && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

// What is missing of the ODBC set-up of scripts/test-services.sh; empty when complete.
static QString missingOdbcEnvironment()
{
    QString missing;
    for (const char* name : {"ODBCSYSINI", "ODBCINI", "VESK_TEST_ODBC_DRIVER"})
        if (qEnvironmentVariableIsEmpty(name))
            missing += QLatin1Char(' ') + QLatin1String(name);
    if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QODBC")))
        missing += QStringLiteral(" Qt's QODBC driver");
    return missing.isEmpty() ? QString()
                             : QStringLiteral("ODBC test environment missing: ") + missing;
}

TestSqliteDb::TestSqliteDb(const QString& filePath, const QStringList& schemas)
    : m_file(QFileInfo(filePath).absoluteFilePath()),
      m_connection(QStringLiteral("vesktest-sqlite-") + uniqueSuffix())
{
    QFile::remove(m_file);
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connection);
    db.setDatabaseName(m_file);
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
    if (!db.open())
        m_error = QStringLiteral("cannot open %1: %2").arg(m_file, db.lastError().text());
    for (const QString& schema : schemas)
        if (m_error.isEmpty())
            m_error = runSchema(db, QStringLiteral("sqlite"), schema);
}

namespace {
// One private data source file per process: unixODBC reads it at every connect.
QString odbcSourceFile()
{
    static QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("suite-odbc.sqlite"));
    QFile ini(dir.filePath(QStringLiteral("odbc.ini")));
    if (ini.open(QIODevice::WriteOnly | QIODevice::Truncate))
        ini.write(QStringLiteral("[ODBCCORVANDEL]\nDriver=%1\nDatabase=%2\nTimeout=5000\n")
                      .arg(qEnvironmentVariable("VESK_TEST_ODBC_DRIVER"), file)
                      .toLocal8Bit());
    qputenv("ODBCINI", QFile::encodeName(ini.fileName()));
    return file;
}
} // namespace

TestOdbcSource::TestOdbcSource(const QStringList& schemas) : TestSqliteDb(odbcSourceFile(), schemas)
{
    if (m_error.isEmpty())
        m_error = missingOdbcEnvironment();
}

void TestInstallation::writeFile(const QString& fileName, const QByteArray& content) const
{
    QFile f(path(fileName));
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        qFatal("cannot write %s", qPrintable(f.fileName()));
    f.write(content);
    // As an installation keeps its credentials: readable by the owner only.
    if (fileName == QLatin1String("cv_veskauction.ini"))
        f.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}

void TestInstallation::writeConnections() const
{
    QByteArray out;
    for (auto group = m_groups.cbegin(); group != m_groups.cend(); ++group) {
        out += "[" + group.key().toUtf8() + "]\r\n";
        for (auto it = group->cbegin(); it != group->cend(); ++it)
            out += it.key().toUtf8() + "=" + it.value().toUtf8() + "\r\n";
    }
    writeFile(QStringLiteral("cv_veskauction.ini"), out);
}

ItemDatabase::ItemDatabase(Engine engine, TestInstallation& install)
{
    if (engine == Engine::Sqlite) {
        m_sqlite = std::make_unique<TestSqliteDb>(install.path(QStringLiteral("items.sqlite")),
                                                  QStringList{QStringLiteral("item")});
        install.useSqlite(QStringLiteral("itemdb"), QStringLiteral("items.sqlite"));
        m_error = m_sqlite->error();
        return;
    }
    m_tls = engine == Engine::MariaDbTls;
    m_error = m_server.fromEnvironment(m_tls);
    if (!m_error.isEmpty())
        return;
    m_name = QStringLiteral("vesk_t_") + uniqueSuffix();
    m_error = adminExec(m_server, m_name,
                        QStringLiteral("CREATE DATABASE `%1` CHARACTER SET utf8mb4").arg(m_name));
    if (!m_error.isEmpty()) {
        m_name.clear(); // nothing to drop
        return;
    }
    if (!openMariaDb(m_name, m_server, m_name).isOpen())
        m_error = db().lastError().text();
    else
        m_error = runSchema(db(), QStringLiteral("mysql"), QStringLiteral("item"));
    if (m_error.isEmpty())
        m_error = addProgramAccount(QStringLiteral("`%1`.item").arg(m_name), &m_program);
    useAccount(install, m_name, m_program);
}

QString ItemDatabase::addProgramAccount(const QString& table, Account* account)
{
    account->user = QStringLiteral("vesk_p_") + uniqueSuffix().left(16);
    account->password = uniqueSuffix();
    m_accounts << account->user;
    // Exactly the grants the shop's administrator gives the program.
    for (const QString& host : {QStringLiteral("127.0.0.1"), QStringLiteral("localhost")}) {
        const QString who = QStringLiteral("'%1'@'%2'").arg(account->user, host);
        for (const QString& sql :
             {QStringLiteral("CREATE USER %1 IDENTIFIED BY '%2'%3")
                  .arg(who, account->password, m_tls ? QStringLiteral(" REQUIRE SSL") : QString()),
              QStringLiteral("GRANT SELECT, UPDATE (auction_until_unix) ON %1 TO %2")
                  .arg(table, who)}) {
            const QString error = adminExec(m_server, m_name, sql);
            if (!error.isEmpty())
                return error;
        }
    }
    return {};
}

void ItemDatabase::useAccount(TestInstallation& install, const QString& database,
                              const Account& account)
{
    for (const auto& [key, value] : {std::pair<const char*, QString>{"server", m_server.host},
                                     {"port", QString::number(m_server.port)},
                                     {"database", database},
                                     {"user", account.user},
                                     {"password", account.password}})
        install.setKey(QStringLiteral("itemdb"), QLatin1String(key), value);
    if (!m_tls)
        return;
    install.setKey(QStringLiteral("itemdb"), QStringLiteral("server"), QStringLiteral("localhost"));
    install.setKey(QStringLiteral("itemdb"), QStringLiteral("tls"),
                   QStringLiteral("verify-identity"));
    install.setKey(QStringLiteral("itemdb"), QStringLiteral("ca"),
                   qEnvironmentVariable("VESK_TEST_TLS_CA"));
}

QString ItemDatabase::restrictToStore(TestInstallation& install, const QString& store)
{
    if (m_sqlite)
        return QStringLiteral("a store's view needs the MariaDB server");
    m_storeDatabase = m_name + QStringLiteral("_s");
    QString error =
        adminExec(m_server, m_name, QStringLiteral("CREATE DATABASE `%1`").arg(m_storeDatabase));
    if (error.isEmpty())
        error = adminExec(m_server, m_name,
                          QStringLiteral("CREATE VIEW `%1`.item AS SELECT * FROM `%2`.item WHERE "
                                         "storeid = '%3' WITH CHECK OPTION")
                              .arg(m_storeDatabase, m_name, store));
    Account account;
    if (error.isEmpty())
        error = addProgramAccount(QStringLiteral("`%1`.item").arg(m_storeDatabase), &account);
    if (error.isEmpty())
        useAccount(install, m_storeDatabase, account);
    return error;
}

ItemDatabase::~ItemDatabase()
{
    if (m_name.isEmpty())
        return;
    QSqlDatabase::database(m_name, false).close();
    QSqlDatabase::removeDatabase(m_name);
    // Connected anew: the server may have been restarted meanwhile.
    for (const QString& database : {m_storeDatabase, m_name})
        if (!database.isEmpty())
            adminExec(m_server, m_name,
                      QStringLiteral("DROP DATABASE IF EXISTS `%1`").arg(database));
    for (const QString& user : std::as_const(m_accounts))
        adminExec(
            m_server, m_name,
            QStringLiteral("DROP USER IF EXISTS '%1'@'127.0.0.1', '%1'@'localhost'").arg(user));
}

QString designRemote(const QString& database, const QString& server, const QString& user,
                     const QString& password, const QString& port, int option)
{
    return QStringLiteral("Provider=MSDASQL.1;Persist Security Info=False;Extended Properties=\""
                          "DRIVER={MySQL ODBC 3.51 Driver};DESC=;DATABASE=%1;SERVER=%2;UID=%3;"
                          "PASSWORD=%4;PORT=%5;Option=%6;Promt=complete;STMT=;\"")
        .arg(database, server, user, password, port)
        .arg(option);
}

QString ItemDatabase::connectionString(int option) const
{
    if (m_sqlite)
        return m_sqlite->connectionString();
    const auto v = &ConnectionConfig::odbcValue;
    return designRemote(v(m_name), v(m_server.host), v(m_program.user), v(m_program.password),
                        QString::number(m_server.port), option);
}

} // namespace vesktest
