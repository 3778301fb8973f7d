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

namespace vesktest {

// Runs the statements of a text separated by ';' at line ends; the first error, empty on success.
QString runSql(QSqlDatabase db, const QString& statements);
// Runs one statement with values bound to its '?' placeholders; the error or empty.
QString exec(QSqlDatabase db, const QString& sql, const QVariantList& values = {});
// Inserts rows of values (a null QVariant for NULL) in one transaction; the error or empty.
QString insertRows(QSqlDatabase db, const QString& table, const QStringList& columns,
                   const QList<QVariantList>& rows);
// The first column of the first row of a query (invalid QVariant when there is none).
QVariant scalar(QSqlDatabase db, const QString& sql, const QVariantList& values = {});

// The private MariaDB server of scripts/test-services.sh (VESK_TEST_MYSQL_*).
struct MariaDbServer
{
    QString host;
    int port = 0;
    QString user;
    QString password;
    QString ctl;
    // False with the names of the missing variables when the environment is incomplete.
    static bool fromEnvironment(MariaDbServer* server, QString* missing);
    // Runs "$VESK_TEST_MYSQL_CTL <action>" (stop, start, kill, freeze, thaw).
    bool control(const QString& action, QString* output = nullptr) const;
};

// The ODBC set-up of scripts/test-services.sh; the names of what is missing.
QString missingOdbcEnvironment();

// End the test with a failure, not a skip, when the services are not running.
#define VESK_REQUIRE_MARIADB(server)                                                               \
    do {                                                                                           \
        QString vesk_missing_;                                                                     \
        if (!vesktest::MariaDbServer::fromEnvironment(&(server), &vesk_missing_))                  \
            QFAIL(qPrintable("MariaDB test environment missing (" + vesk_missing_ +                \
                             "): run scripts/test-services.sh start DIR, source DIR/env.sh"));     \
    } while (false)
#define VESK_REQUIRE_ODBC() VESK_VERIFY_OK(vesktest::missingOdbcEnvironment())

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

    QString error() const { return m_error; } // empty when the database was created
    QString name() const { return m_name; }
    const MariaDbServer& server() const { return m_server; }
    // A data control's connection string for this database (the driver form with Option).
    QString connectionString(int option = 16387) const;
    // A connection of the test's own to this database.
    QSqlDatabase db() const;

private:
    MariaDbServer m_server;
    QString m_name;
    QString m_error;
};

// A fresh SQLite database file, with the named schemas of sql/sqlite/ and a
// connection of the test's own.
class TestSqliteDb
{
public:
    explicit TestSqliteDb(const QString& filePath, const QStringList& schemas = {});
    ~TestSqliteDb();

    QString error() const { return m_error; }
    QString filePath() const { return m_file; }
    // The connection string of a data control on this file (SQLite driver form).
    QString connectionString() const;
    QSqlDatabase db() const;

protected:
    QString m_file;
    QString m_connection;
    QString m_error;
};

// The ODBC data source ODBCCORVANDEL redirected, for this test process, to a
// fresh SQLite file of its own: ODBCINI is pointed at a private file naming the
// driver of the test-services environment (VESK_TEST_ODBC_DRIVER).
class TestOdbcSource : public TestSqliteDb
{
public:
    explicit TestOdbcSource(const QStringList& schemas = {QStringLiteral("suite")});
};

// A temporary installation folder with helpers for its files and its
// cv_veskauction.ini.
class TestInstallation
{
public:
    Installation installation() const { return Installation(m_dir.path()); }
    QString dir() const { return m_dir.path(); }
    QString path(const QString& fileName) const { return m_dir.filePath(fileName); }
    // Writes a file of the installation folder byte for byte.
    void writeFile(const QString& fileName, const QByteArray& content) const;

    // The groups of cv_veskauction.ini; writeConnections() writes them.
    void setGroup(const QString& group, const QMap<QString, QString>& keys);
    void setKey(const QString& group, const QString& key, const QString& value);
    // [group] with server, port, database, user and password of the test database.
    void useMariaDb(const QString& group, const TestMariaDb& db);
    // [group] sqlite=<file> (relative names are relative to the installation folder).
    void useSqlite(const QString& group, const QString& file);
    void writeConnections() const;

private:
    QTemporaryDir m_dir;
    QStringList m_order;
    QMap<QString, QMap<QString, QString>> m_groups;
};

enum class Engine
{
    Sqlite,
    MariaDb
};

// The item table, empty, in items.sqlite of an installation or in a fresh
// database on the test server; the installation's [itemdb] names it.
class ItemDatabase
{
public:
    ItemDatabase(Engine engine, TestInstallation& install);
    QString error() const { return m_error; }
    // The test's own connection: "someone else" for conflicts, and the place to
    // check what reached the database.
    QSqlDatabase db() const;
    // A data control's connection string for it.
    QString connectionString() const;
    const TestMariaDb* mariaDb() const { return m_maria.get(); }

private:
    QString m_error;
    std::unique_ptr<TestSqliteDb> m_sqlite;
    std::unique_ptr<TestMariaDb> m_maria;
};

} // namespace vesktest
