#pragma once

// Helpers shared by the tests: fresh databases on every engine, test
// installations with their cv_veskauction.ini, and the environment that
// scripts/test-services.sh exports.

#include "data/ConnectionConfig.h"
#include "data/Installation.h"
#include "data/SqlScript.h"

#include <QColor>
#include <QMap>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>
#include <exception>
#include <memory>

namespace vesktest {

// Each returns the first error, empty on success.
QString run(QSqlQuery& q, const QString& sql, const QVariantList& values); // prepared, bound
inline QString exec(QSqlDatabase db, const QString& sql, const QVariantList& values = {})
{
    QSqlQuery q(db);
    return run(q, sql, values);
}
// Rows of values (a null QVariant for NULL) in one transaction.
QString insertRows(QSqlDatabase db, const QString& table, const QStringList& columns,
                   const QList<QVariantList>& rows);
// The first column of the first row (invalid when there is none).
QVariant scalar(QSqlDatabase db, const QString& sql, const QVariantList& values = {});

// A remote item database's connection string as the program's design holds it.
QString designRemote(const QString& database, const QString& server, const QString& user,
                     const QString& password, const QString& port, int option = 16387);

// The private MariaDB server of scripts/test-services.sh (VESK_TEST_MYSQL_*).
struct MariaDbServer
{
    QString host;
    int port = 0;
    QString user;
    QString password;
    QString ctl;
    // What is missing from the environment; empty when the server is set up.
    // `tls`: the server with TLS (on 127.0.0.1, no control script).
    QString fromEnvironment(bool tls = false);
    // Runs "$VESK_TEST_MYSQL_CTL <action>" (stop, start, kill, freeze, thaw).
    bool control(const QString& action, QString* output = nullptr) const;
};

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

// The sum of the channel differences.
inline int colourDistance(const QColor& a, const QColor& b)
{
    return qAbs(a.red() - b.red()) + qAbs(a.green() - b.green()) + qAbs(a.blue() - b.blue());
}

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

// A fresh SQLite database file with the named schemas of sql/sqlite/.
class TestSqliteDb
{
public:
    explicit TestSqliteDb(const QString& filePath, const QStringList& schemas = {});
    ~TestSqliteDb()
    {
        QSqlDatabase::database(m_connection, false).close();
        QSqlDatabase::removeDatabase(m_connection);
    }
    QString error() const { return m_error; }
    QString filePath() const { return m_file; }
    QString connectionString() const // a data control's
    {
        return "DRIVER={SQLite3 ODBC Driver};DATABASE=" + ConnectionConfig::odbcValue(m_file) + ';';
    }
    QSqlDatabase db() const { return QSqlDatabase::database(m_connection); } // the test's own

protected:
    QString m_file;
    QString m_connection;
    QString m_error;
};

// The ODBC data source ODBCCORVANDEL redirected, for this test process, to a
// fresh SQLite file of its own (ODBCINI names a private file).
class TestOdbcSource : public TestSqliteDb
{
public:
    explicit TestOdbcSource(const QStringList& schemas = {QStringLiteral("suite")});
};

// A temporary installation folder and its cv_veskauction.ini.
class TestInstallation
{
public:
    Installation installation() const { return Installation(m_dir.path()); }
    QString dir() const { return m_dir.path(); }
    QString path(const QString& fileName) const { return m_dir.filePath(fileName); }
    void writeFile(const QString& fileName, const QByteArray& content) const;
    void setKey(const QString& group, const QString& key, const QString& value)
    {
        m_groups[group][key] = value;
    }
    // [group] sqlite=<file> (relative names are relative to the installation folder).
    void useSqlite(const QString& group, const QString& file)
    {
        m_groups[group] = {{"sqlite", file}};
    }
    void writeConnections() const;

private:
    QTemporaryDir m_dir;
    QMap<QString, QMap<QString, QString>> m_groups;
};

enum class Engine
{
    Sqlite,
    MariaDb,
    MariaDbTls // the TLS server, reached with verify-identity by an account that requires TLS
};

// The item table, empty, in items.sqlite of an installation or in a fresh
// database on the test server (dropped again at the end); [itemdb] names it.
class ItemDatabase
{
public:
    ItemDatabase(Engine engine, TestInstallation& install);
    ~ItemDatabase();
    QString error() const { return m_error; }
    // The test's own connection: "someone else" for conflicts, and the place to
    // check what reached the database.
    QSqlDatabase db() const { return m_sqlite ? m_sqlite->db() : QSqlDatabase::database(m_name); }
    // A data control's connection string (the option bits count on MariaDB only),
    // with the program's account: it may read the item table and write its
    // auction ends, nothing else.
    QString connectionString(int option = 16387) const;
    QString name() const { return m_name; } // of the database on the server
    // On MariaDB: [itemdb] names a database of its own whose item table is a view
    // of this one's rows of `store`, with an account of its own, as the shop's
    // administrator sets a store up. What went wrong.
    QString restrictToStore(TestInstallation& install, const QString& store);

private:
    struct Account
    {
        QString user;
        QString password;
    };
    // A new account that may read `table` and write its auction ends, nothing else.
    QString addProgramAccount(const QString& table, Account* account);
    void useAccount(TestInstallation& install, const QString& database, const Account& account);

    MariaDbServer m_server;
    bool m_tls = false;
    QString m_name;
    QString m_error;
    std::unique_ptr<TestSqliteDb> m_sqlite;
    Account m_program;
    QStringList m_accounts;  // dropped at the end
    QString m_storeDatabase; // the view's, dropped at the end
};

} // namespace vesktest
