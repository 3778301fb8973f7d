#pragma once

#include <QHash>
#include <QString>
#include <QStringList>

// The installation's deployment configuration (cv_veskauction.ini in the
// installation folder): servers, databases and credentials of the fixed remote
// connections, the embedded SQLite alternatives, and the default texts of the
// helper's text fields. Nothing of it lives in the source or the binary.
class ConnectionConfig
{
public:
    // Reads the file; never throws. Problems are kept and reported by error().
    static ConnectionConfig load(const QString& iniPath);

    QString filePath() const { return m_filePath; }
    // Empty when the file was read without problems.
    QString error() const { return m_error; }

    // Connection string of a fixed remote connection ("itemdb", "catalogue",
    // "directory"), in the MySQL driver form with the configured values filled in.
    QString remoteConnectionString(const QString& group) const;
    // Default text of one of the helper's nine text fields; empty if not configured.
    QString textFieldDefault(const QString& fieldName) const;

    // How a connection string resolves: used by DataControl.
    struct Target
    {
        enum class Kind { Invalid, MySql, Sqlite, Odbc } kind = Kind::Invalid;
        QString host;
        int port = 3306;
        QString database; // database name, SQLite file or ODBC data source name
        QString user;
        QString password;
        int options = 0; // driver option bits (2: found rows, 16384: BIGINT as INT)
        QString error;   // why kind is Invalid; never contains a password
    };
    Target resolve(const QString& connectionString) const;

private:
    QString m_filePath;
    QString m_error;
    QHash<QString, QHash<QString, QString>> m_groups; // group -> key -> value
};
