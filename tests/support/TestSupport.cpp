#include "TestSupport.h"

#include "auction/frmVESKauction.h"

#include "data/ConnectionConfig.h"
#include "data/SqlScript.h"

#include <QAtomicInteger>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>
#include <QTimer>

#ifndef VESK_SOURCE_DIR
#error "VESK_SOURCE_DIR must name the repository's source folder"
#endif

namespace vesktest {

namespace {
QString uniqueSuffix()
{
    static QAtomicInteger<quint64> counter;
    return QStringLiteral("%1_%2_%3")
        .arg(QCoreApplication::applicationPid())
        .arg(counter.fetchAndAddRelaxed(1) + 1)
        .arg(QRandomGenerator::global()->generate() % 100000);
}

QString env(const char* name)
{
    return qEnvironmentVariable(name);
}

void dropConnection(const QString& name)
{
    if (name.isEmpty() || !QSqlDatabase::contains(name))
        return;
    {
        QSqlDatabase db = QSqlDatabase::database(name, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
}

QSqlDatabase openSqlite(const QString& connection, const QString& file, QString* error)
{
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
    db.setDatabaseName(file);
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
    if (!db.open())
        *error = QStringLiteral("cannot open %1: %2").arg(file, db.lastError().text());
    return db;
}
} // namespace

QString sourceDir()
{
    return QStringLiteral(VESK_SOURCE_DIR);
}

QString schemaFile(const QString& engine, const QString& name)
{
    return QDir(sourceDir()).filePath(QStringLiteral("sql/%1/%2.sql").arg(engine, name));
}

QString runSql(QSqlDatabase db, const QString& statements)
{
    return runSqlScript(db, statements);
}

QString runSqlFile(QSqlDatabase db, const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QStringLiteral("cannot read %1").arg(path);
    return runSql(db, QString::fromUtf8(f.readAll()));
}

QString exec(QSqlDatabase db, const QString& sql, const QVariantList& values)
{
    QSqlQuery q(db);
    if (!q.prepare(sql))
        return q.lastError().text();
    for (const QVariant& v : values)
        q.addBindValue(v);
    return q.exec() ? QString() : q.lastError().text();
}

QVariant scalar(QSqlDatabase db, const QString& sql, const QVariantList& values)
{
    QSqlQuery q(db);
    q.prepare(sql);
    for (const QVariant& v : values)
        q.addBindValue(v);
    if (!q.exec() || !q.next())
        return {};
    return q.value(0);
}

bool MariaDbServer::fromEnvironment(MariaDbServer* server, QString* missing)
{
    QStringList absent;
    for (const char* name : {"VESK_TEST_MYSQL_HOST", "VESK_TEST_MYSQL_PORT", "VESK_TEST_MYSQL_USER",
                             "VESK_TEST_MYSQL_PASSWORD", "VESK_TEST_MYSQL_CTL"})
        if (env(name).isEmpty())
            absent << QString::fromLatin1(name);
    *missing = absent.join(QStringLiteral(", "));
    if (!absent.isEmpty())
        return false;
    server->host = env("VESK_TEST_MYSQL_HOST");
    server->port = env("VESK_TEST_MYSQL_PORT").toInt();
    server->socket = env("VESK_TEST_MYSQL_SOCKET");
    server->user = env("VESK_TEST_MYSQL_USER");
    server->password = env("VESK_TEST_MYSQL_PASSWORD");
    server->ctl = env("VESK_TEST_MYSQL_CTL");
    return true;
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

bool odbcEnvironmentPresent(QString* missing)
{
    QStringList absent;
    for (const char* name :
         {"ODBCSYSINI", "ODBCINI", "VESK_TEST_ODBC_DATABASE", "VESK_TEST_ODBC_DRIVER"})
        if (env(name).isEmpty())
            absent << QString::fromLatin1(name);
    if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QODBC")))
        absent << QStringLiteral("Qt's QODBC driver");
    *missing = absent.join(QStringLiteral(", "));
    return absent.isEmpty();
}

TestMariaDb::TestMariaDb(const MariaDbServer& server) : m_server(server)
{
    m_name = QStringLiteral("vesk_t_") + uniqueSuffix();
    m_adminConnection = QStringLiteral("vesktest-admin-") + m_name;
    m_connection = QStringLiteral("vesktest-") + m_name;
    {
        QSqlDatabase admin = QSqlDatabase::addDatabase(QStringLiteral("QMYSQL"), m_adminConnection);
        admin.setHostName(server.host);
        admin.setPort(server.port);
        admin.setUserName(server.user);
        admin.setPassword(server.password);
        if (!admin.open()) {
            m_error = QStringLiteral("cannot reach the test server: ") + admin.lastError().text();
            return;
        }
        const QString err = vesktest::exec(
            admin, QStringLiteral("CREATE DATABASE `%1` CHARACTER SET utf8mb4").arg(m_name));
        if (!err.isEmpty()) {
            m_error = err;
            return;
        }
    }
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QMYSQL"), m_connection);
    db.setHostName(server.host);
    db.setPort(server.port);
    db.setUserName(server.user);
    db.setPassword(server.password);
    db.setDatabaseName(m_name);
    db.setConnectOptions(QStringLiteral("MYSQL_OPT_RECONNECT=1"));
    if (!db.open())
        m_error = db.lastError().text();
}

TestMariaDb::~TestMariaDb()
{
    dropConnection(m_connection);
    if (QSqlDatabase::contains(m_adminConnection) && m_error.isEmpty()) {
        QSqlDatabase admin = QSqlDatabase::database(m_adminConnection, false);
        // The server may have been restarted meanwhile.
        if (!admin.isOpen() || !vesktest::exec(admin, QStringLiteral("DO 1")).isEmpty()) {
            admin.close();
            admin.open();
        }
        vesktest::exec(admin, QStringLiteral("DROP DATABASE IF EXISTS `%1`").arg(m_name));
    }
    dropConnection(m_adminConnection);
}

QString TestMariaDb::connectionString(int option) const
{
    const auto v = &ConnectionConfig::odbcValue;
    return QStringLiteral("Provider=MSDASQL.1;Persist Security Info=False;Extended Properties=\""
                          "DRIVER={MySQL ODBC 3.51 Driver};DESC=;DATABASE=%1;SERVER=%2;UID=%3;"
                          "PASSWORD=%4;PORT=%5;Option=%6;Promt=complete;STMT=;\"")
        .arg(v(m_name), v(m_server.host), v(m_server.user), v(m_server.password))
        .arg(m_server.port)
        .arg(option);
}

QSqlDatabase TestMariaDb::db() const
{
    return QSqlDatabase::database(m_connection);
}

QString TestMariaDb::loadSchema(const QString& schema)
{
    return runSqlFile(db(), schemaFile(QStringLiteral("mysql"), schema));
}

TestSqliteDb::TestSqliteDb(const QString& filePath, const QStringList& schemas)
    : m_file(QFileInfo(filePath).absoluteFilePath())
{
    QFile::remove(m_file);
    m_connection = QStringLiteral("vesktest-sqlite-") + uniqueSuffix();
    QSqlDatabase db = openSqlite(m_connection, m_file, &m_error);
    for (const QString& schema : schemas)
        if (m_error.isEmpty())
            m_error = runSqlFile(db, schemaFile(QStringLiteral("sqlite"), schema));
}

TestSqliteDb::~TestSqliteDb()
{
    dropConnection(m_connection);
}

QString TestSqliteDb::connectionString() const
{
    return QStringLiteral("DRIVER={SQLite3 ODBC Driver};DATABASE=%1;")
        .arg(ConnectionConfig::odbcValue(m_file));
}

QSqlDatabase TestSqliteDb::db() const
{
    return QSqlDatabase::database(m_connection);
}

TestOdbcSource::TestOdbcSource(const QStringList& schemas)
{
    QString missing;
    if (!odbcEnvironmentPresent(&missing)) {
        m_error = QStringLiteral("ODBC test environment missing: ") + missing;
        return;
    }
    // One private data source file per process: unixODBC reads it at every connect.
    static QTemporaryDir dir;
    if (!dir.isValid()) {
        m_error = QStringLiteral("no temporary folder");
        return;
    }
    m_file = dir.filePath(QStringLiteral("suite-odbc.sqlite"));
    const QString ini = dir.filePath(QStringLiteral("odbc.ini"));
    QFile f(ini);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        m_error = QStringLiteral("cannot write ") + ini;
        return;
    }
    f.write(QStringLiteral("[ODBCCORVANDEL]\nDriver=%1\nDatabase=%2\nTimeout=5000\n")
                .arg(env("VESK_TEST_ODBC_DRIVER"), m_file)
                .toLocal8Bit());
    f.close();
    qputenv("ODBCINI", QFile::encodeName(ini));

    QFile::remove(m_file);
    m_connection = QStringLiteral("vesktest-odbcfile-") + uniqueSuffix();
    QSqlDatabase db = openSqlite(m_connection, m_file, &m_error);
    for (const QString& schema : schemas)
        if (m_error.isEmpty())
            m_error = runSqlFile(db, schemaFile(QStringLiteral("sqlite"), schema));
}

TestOdbcSource::~TestOdbcSource()
{
    dropConnection(m_connection);
}

QSqlDatabase TestOdbcSource::db() const
{
    return QSqlDatabase::database(m_connection);
}

TestInstallation::TestInstallation() = default;

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

void TestInstallation::setGroup(const QString& group, const QMap<QString, QString>& keys)
{
    if (!m_order.contains(group))
        m_order << group;
    m_groups[group] = keys;
}

void TestInstallation::setKey(const QString& group, const QString& key, const QString& value)
{
    if (!m_order.contains(group))
        m_order << group;
    m_groups[group][key] = value;
}

void TestInstallation::removeGroup(const QString& group)
{
    m_order.removeAll(group);
    m_groups.remove(group);
}

void TestInstallation::useMariaDb(const QString& group, const TestMariaDb& db)
{
    setGroup(group, {{QStringLiteral("server"), db.server().host},
                     {QStringLiteral("port"), QString::number(db.server().port)},
                     {QStringLiteral("database"), db.name()},
                     {QStringLiteral("user"), db.server().user},
                     {QStringLiteral("password"), db.server().password}});
}

void TestInstallation::useSqlite(const QString& group, const QString& file)
{
    setGroup(group, {{QStringLiteral("sqlite"), file}});
}

QByteArray TestInstallation::connectionsText() const
{
    QByteArray out;
    for (const QString& group : m_order) {
        out += "[" + group.toUtf8() + "]\r\n";
        const auto& keys = m_groups[group];
        for (auto it = keys.constBegin(); it != keys.constEnd(); ++it)
            out += it.key().toUtf8() + "=" + it.value().toUtf8() + "\r\n";
        out += "\r\n";
    }
    return out;
}

void TestInstallation::writeConnections() const
{
    writeFile(QStringLiteral("cv_veskauction.ini"), connectionsText());
}

struct StallMeter::Private
{
    QTimer timer;
    QElapsedTimer sinceTick;
    qint64 longest = 0;
};

StallMeter::StallMeter() : d(std::make_unique<Private>())
{
    d->timer.setInterval(5);
    d->timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&d->timer, &QTimer::timeout,
                     [p = d.get()] { p->longest = std::max(p->longest, p->sinceTick.restart()); });
    restart();
}

StallMeter::~StallMeter() = default;

void StallMeter::restart()
{
    d->longest = 0;
    d->sinceTick.start();
    d->timer.start();
}

qint64 StallMeter::longestMs() const
{
    return std::max(d->longest, d->sinceTick.elapsed());
}

bool waitUntilIdle(const frmVESKauction& window, int ms)
{
    return QTest::qWaitFor([&] { return !window.isBusy(); }, ms);
}

bool clickAndWait(frmVESKauction& window, QWidget* button)
{
    QTest::mouseClick(button, Qt::LeftButton);
    return waitUntilIdle(window);
}

} // namespace vesktest
