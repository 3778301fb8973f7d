#pragma once

// What the database benchmarks share: the MariaDB of scripts/test-services.sh
// (source DIR/env.sh first), an item table of their own on it, an installation
// folder whose cv_veskauction.ini points there, and medians.

#include "data/SqlScript.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <exception>
#include <functional>
#include <stdexcept>
#include <vector>

namespace benchdb {

[[noreturn]] inline void fail(const QString& what)
{
    throw std::runtime_error(what.toStdString());
}

inline QString env(const char* name)
{
    const QString value = qEnvironmentVariable(name);
    if (value.isEmpty())
        fail(QStringLiteral("%1 is not set: run scripts/test-services.sh start DIR and source "
                            "DIR/env.sh")
                 .arg(QLatin1String(name)));
    return value;
}

inline QString sqlFile(const QString& engine, const QString& name)
{
    const QDir repo(QStringLiteral(VESK_SOURCE_DIR));
    QFile file(repo.filePath(QStringLiteral("sql/%1/%2.sql").arg(engine, name)));
    if (!file.open(QIODevice::ReadOnly))
        fail(QStringLiteral("cannot read %1").arg(file.fileName()));
    return QString::fromUtf8(file.readAll());
}

inline void run(QSqlDatabase db, const QString& sql)
{
    QSqlQuery q(db);
    if (!q.exec(sql))
        fail(QStringLiteral("%1: %2").arg(sql.left(80), q.lastError().text()));
}

inline void runScript(QSqlDatabase db, const QString& script)
{
    const QString error = runSqlScript(db, script);
    if (!error.isEmpty())
        fail(error);
}

// The suite's SQLite database (suite.sqlite), empty, in the installation folder.
inline void writeSuiteDatabase(const QString& folder)
{
    {
        QSqlDatabase suite =
            QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("suite"));
        suite.setDatabaseName(QDir(folder).filePath(QStringLiteral("suite.sqlite")));
        if (!suite.open())
            fail(QStringLiteral("cannot create the suite database"));
        runScript(suite, sqlFile(QStringLiteral("sqlite"), QStringLiteral("suite")));
    }
    QSqlDatabase::removeDatabase(QStringLiteral("suite"));
}

inline double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

inline double timeMs(const std::function<void()>& work)
{
    QElapsedTimer timer;
    timer.start();
    work();
    return timer.nsecsElapsed() / 1e6;
}

// Runs "$VESK_TEST_MYSQL_CTL action" (freeze, thaw, ...).
inline void serverControl(const QString& action)
{
    QProcess ctl;
    ctl.start(env("VESK_TEST_MYSQL_CTL"), {action});
    if (!ctl.waitForFinished(120000) || ctl.exitCode() != 0)
        fail(QStringLiteral("mysql-ctl %1 failed").arg(action));
}

// A database of its own on the test server with the item table; `addRows`
// fills it through the admin connection. Dropped again on destruction.
class ItemDatabase
{
public:
    explicit ItemDatabase(const QString& prefix)
        : m_name(QStringLiteral("%1_%2").arg(prefix).arg(QCoreApplication::applicationPid()))
    {
        QSqlDatabase admin = QSqlDatabase::addDatabase(QStringLiteral("QMYSQL"), m_name);
        admin.setHostName(env("VESK_TEST_MYSQL_HOST"));
        admin.setPort(env("VESK_TEST_MYSQL_PORT").toInt());
        admin.setUserName(env("VESK_TEST_MYSQL_USER"));
        admin.setPassword(env("VESK_TEST_MYSQL_PASSWORD"));
        if (!admin.open())
            fail(QStringLiteral("cannot reach the test server: %1").arg(admin.lastError().text()));
        run(admin, QStringLiteral("CREATE DATABASE %1").arg(m_name));
        run(admin, QStringLiteral("USE %1").arg(m_name));
        runScript(admin, sqlFile(QStringLiteral("mysql"), QStringLiteral("item")));
    }
    ~ItemDatabase()
    {
        {
            QSqlDatabase admin = QSqlDatabase::database(m_name);
            QSqlQuery(admin).exec(QStringLiteral("DROP DATABASE %1").arg(m_name));
            admin.close();
        }
        QSqlDatabase::removeDatabase(m_name);
    }
    ItemDatabase(const ItemDatabase&) = delete;
    ItemDatabase& operator=(const ItemDatabase&) = delete;

    QSqlDatabase admin() const { return QSqlDatabase::database(m_name); }
    QString name() const { return m_name; }

    // Items 1..count of store S1 in batches; `values(id)` gives SKU, Description,
    // Retail and auction_until_unix as SQL text.
    void addItems(int count, const std::function<QString(int)>& values) const
    {
        for (int first = 1; first <= count; first += 500) {
            QStringList rows;
            for (int id = first; id < first + 500 && id <= count; ++id)
                rows << QStringLiteral("(%1,%2,'S1')").arg(id).arg(values(id));
            run(admin(), QStringLiteral("INSERT INTO item (CV_itemid, SKU, Description, Retail, "
                                        "auction_until_unix, storeid) VALUES ") +
                             rows.join(QLatin1Char(',')));
        }
    }

    // cv_veskauction.ini in `dir`: the item database here, the suite as an
    // SQLite file, and any further lines.
    void writeIni(const QString& dir, const QString& extra = QString()) const
    {
        QFile ini(QDir(dir).filePath(QStringLiteral("cv_veskauction.ini")));
        if (!ini.open(QIODevice::WriteOnly))
            fail(QStringLiteral("cannot write cv_veskauction.ini"));
        ini.write(QStringLiteral("[itemdb]\r\nserver=%1\r\nport=%2\r\ndatabase=%3\r\nuser=%4\r\n"
                                 "password=%5\r\n\r\n[suite]\r\nsqlite=suite.sqlite\r\n%6")
                      .arg(env("VESK_TEST_MYSQL_HOST"), env("VESK_TEST_MYSQL_PORT"), m_name,
                           env("VESK_TEST_MYSQL_USER"), env("VESK_TEST_MYSQL_PASSWORD"), extra)
                      .toUtf8());
    }

private:
    QString m_name;
};

// The peak resident size of the process (VmHWM), in kB; -1 where unknown.
inline qint64 peakMemoryKb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

// Lets the peak resident size start again from the current one.
inline bool resetPeakMemory()
{
    QFile refs(QStringLiteral("/proc/self/clear_refs"));
    return refs.open(QIODevice::WriteOnly) && refs.write("5") == 1;
}

// Records the longest time the event loop did not turn.
class StallMeter : public QObject
{
public:
    StallMeter()
    {
        m_timer.setInterval(1);
        connect(&m_timer, &QTimer::timeout, this, [this] {
            m_longest = std::max(m_longest, m_since.nsecsElapsed() / 1e6);
            m_since.restart();
        });
    }
    void start()
    {
        m_longest = 0;
        m_since.start();
        m_timer.start();
    }
    double stop()
    {
        m_timer.stop();
        return std::max(m_longest, m_since.nsecsElapsed() / 1e6);
    }

private:
    QTimer m_timer;
    QElapsedTimer m_since;
    double m_longest = 0;
};

// A benchmark's main: offscreen unless a platform is set, its arguments to
// `run`, a failure to standard error.
inline int runBenchmark(int argc, char** argv, const char* name,
                        const std::function<int(const QStringList&)>& run)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    try {
        return run(app.arguments());
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s: %s\n", name, error.what());
        return 1;
    }
}

} // namespace benchdb
