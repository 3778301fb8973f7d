#pragma once

// Helpers shared by the tests: fresh databases on every engine, test
// installations with their cv_veskauction.ini, and the environment that
// scripts/test-services.sh exports.

#include "data/Installation.h"

#include <QMap>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>
#include <exception>
#include <memory>

class QWidget;
class frmVESKauction;

namespace vesktest {

// The longest time the calling thread's event loop was held up while it ran:
// the longest gap between the ticks of a 5-ms timer.
class StallMeter
{
public:
    StallMeter();
    ~StallMeter();
    StallMeter(const StallMeter&) = delete;
    StallMeter& operator=(const StallMeter&) = delete;
    void restart();
    qint64 longestMs() const;

private:
    struct Private;
    std::unique_ptr<Private> d;
};

// Waits until the window has no listing or save under way; false after `ms`.
bool waitUntilIdle(const frmVESKauction& window, int ms = 30000);
// Clicks a button of the window and waits until the database work it started is over.
bool clickAndWait(frmVESKauction& window, QWidget* button);

// The repository's source folder (sql/, scripts/), fixed at configure time.
QString sourceDir();
// sql/<engine>/<name>.sql, engine "mysql" or "sqlite"; name "item" or "suite".
QString schemaFile(const QString& engine, const QString& name);
// Runs the statements of a text separated by ';' at line ends ("--" comments dropped).
// Returns the first error, empty on success.
QString runSql(QSqlDatabase db, const QString& statements);
QString runSqlFile(QSqlDatabase db, const QString& path);
// Runs one statement with values bound to its '?' placeholders; returns the error or empty.
QString exec(QSqlDatabase db, const QString& sql, const QVariantList& values = {});
// The first column of the first row of a query (invalid QVariant when there is none).
QVariant scalar(QSqlDatabase db, const QString& sql, const QVariantList& values = {});

// The private MariaDB server of scripts/test-services.sh (VESK_TEST_MYSQL_*).
struct MariaDbServer
{
    QString host;
    int port = 0;
    QString socket;
    QString user;
    QString password;
    QString ctl;
    // False with the names of the missing variables when the environment is incomplete.
    static bool fromEnvironment(MariaDbServer* server, QString* missing);
    // Runs "$VESK_TEST_MYSQL_CTL <action>" (stop, start); false with its output on failure.
    bool control(const QString& action, QString* output = nullptr) const;
};

// The ODBC set-up of scripts/test-services.sh (ODBCSYSINI, ODBCINI, VESK_TEST_ODBC_*).
bool odbcEnvironmentPresent(QString* missing);

// Ends the test with a failure, not a skip, when the services are not running.
#define VESK_REQUIRE_MARIADB(server)                                                               \
    do {                                                                                           \
        QString vesk_missing_;                                                                     \
        if (!vesktest::MariaDbServer::fromEnvironment(&(server), &vesk_missing_))                  \
            QFAIL(qPrintable(QStringLiteral("MariaDB test environment missing (%1): run "          \
                                            "scripts/test-services.sh start DIR and source "       \
                                            "DIR/env.sh")                                          \
                                 .arg(vesk_missing_)));                                            \
    } while (false)

#define VESK_REQUIRE_ODBC()                                                                        \
    do {                                                                                           \
        QString vesk_missing_;                                                                     \
        if (!vesktest::odbcEnvironmentPresent(&vesk_missing_))                                     \
            QFAIL(qPrintable(QStringLiteral("ODBC test environment missing (%1): run "             \
                                            "scripts/test-services.sh start DIR and source "       \
                                            "DIR/env.sh")                                          \
                                 .arg(vesk_missing_)));                                            \
    } while (false)

// Fails the test when a helper returned an error text.
#define VESK_VERIFY_OK(errorText)                                                                  \
    do {                                                                                           \
        const QString vesk_error_ = (errorText);                                                   \
        QVERIFY2(vesk_error_.isEmpty(), qPrintable(vesk_error_));                                  \
    } while (false)

// Fails the test unless the text contains every part; shows the whole text.
#define VESK_VERIFY_CONTAINS(text, ...)                                                            \
    do {                                                                                           \
        const QString vesk_text_ = (text);                                                         \
        for (const QString& vesk_part_ : QStringList{__VA_ARGS__})                                 \
            QVERIFY2(vesk_text_.contains(vesk_part_),                                              \
                     qPrintable(vesk_part_ + " not in: " + vesk_text_));                           \
    } while (false)

// The message of the exception that f throws; empty when it throws none.
template <class F> QString errorOf(F&& f)
{
    try {
        f();
    } catch (const std::exception& e) {
        return QString::fromUtf8(e.what());
    }
    return {};
}

// A uniquely named database on the test server, dropped again on destruction.
class TestMariaDb
{
public:
    explicit TestMariaDb(const MariaDbServer& server);
    ~TestMariaDb();
    TestMariaDb(const TestMariaDb&) = delete;
    TestMariaDb& operator=(const TestMariaDb&) = delete;

    // Empty when the database was created.
    QString error() const { return m_error; }
    QString name() const { return m_name; }
    const MariaDbServer& server() const { return m_server; }
    // A data control's connection string for this database (the driver form with Option).
    QString connectionString(int option = 16387) const;
    // A connection of the test's own to this database: "someone else" for conflicts,
    // and the place to check what reached the database.
    QSqlDatabase db() const;
    // Loads sql/mysql/<schema>.sql; returns the error or empty.
    QString loadSchema(const QString& schema);

private:
    MariaDbServer m_server;
    QString m_name;
    QString m_connection;
    QString m_adminConnection;
    QString m_error;
};

// A fresh SQLite database file with a connection of the test's own.
class TestSqliteDb
{
public:
    // Creates (or truncates) the file and loads the named schemas from sql/sqlite/.
    explicit TestSqliteDb(const QString& filePath, const QStringList& schemas = {});
    ~TestSqliteDb();
    TestSqliteDb(const TestSqliteDb&) = delete;
    TestSqliteDb& operator=(const TestSqliteDb&) = delete;

    QString error() const { return m_error; }
    QString filePath() const { return m_file; }
    // The connection string of a data control on this file (SQLite driver form).
    QString connectionString() const;
    QSqlDatabase db() const;

private:
    QString m_file;
    QString m_connection;
    QString m_error;
};

// The ODBC data source ODBCCORVANDEL redirected, for this test process, to an SQLite
// file of its own, made fresh by every instance: ODBCINI is pointed at a private file
// naming the driver of the test-services environment (VESK_TEST_ODBC_DRIVER).
class TestOdbcSource
{
public:
    explicit TestOdbcSource(const QStringList& schemas = {QStringLiteral("suite")});
    ~TestOdbcSource();
    TestOdbcSource(const TestOdbcSource&) = delete;
    TestOdbcSource& operator=(const TestOdbcSource&) = delete;

    QString error() const { return m_error; }
    // The SQLite file behind the data source.
    QString filePath() const { return m_file; }
    // A direct (QSQLITE) connection to the same file.
    QSqlDatabase db() const;

private:
    QString m_file;
    QString m_connection;
    QString m_error;
};

// A temporary installation folder with helpers for its files and its
// cv_veskauction.ini.
class TestInstallation
{
public:
    TestInstallation();

    Installation installation() const { return Installation(m_dir.path()); }
    QString dir() const { return m_dir.path(); }
    QString path(const QString& fileName) const { return m_dir.filePath(fileName); }
    // Writes a file of the installation folder byte for byte.
    void writeFile(const QString& fileName, const QByteArray& content) const;

    // The groups of cv_veskauction.ini; writeConnections() writes them.
    void setGroup(const QString& group, const QMap<QString, QString>& keys);
    void setKey(const QString& group, const QString& key, const QString& value);
    void removeGroup(const QString& group);
    // [group] with server, port, database, user and password of the test database.
    void useMariaDb(const QString& group, const TestMariaDb& db);
    // [group] sqlite=<file> (relative names are relative to the installation folder).
    void useSqlite(const QString& group, const QString& file);
    // No sqlite= in [suite]: the suite is reached through the ODBC data source.
    void useOdbcSuite() { removeGroup(QStringLiteral("suite")); }
    void setTextField(const QString& field, const QString& text)
    {
        setKey(QStringLiteral("textfields"), field, text);
    }
    // The text of cv_veskauction.ini for the groups set so far.
    QByteArray connectionsText() const;
    void writeConnections() const;

private:
    QTemporaryDir m_dir;
    QStringList m_order;
    QMap<QString, QMap<QString, QString>> m_groups;
};

} // namespace vesktest
