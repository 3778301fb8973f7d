#pragma once

#include <QHash>
#include <QString>
#include <QStringList>

// The installation's deployment configuration (cv_veskauction.ini in the
// installation folder): servers, databases and credentials of the fixed remote
// connections, the embedded SQLite alternatives, and the default texts of the
// helper's text fields. Nothing of it lives in the source or the binary.
//
//   [itemdb]      server= port= database= user= password=   or   sqlite=items.sqlite
//                 tls=off|preferred|required|verify-ca|verify-identity ca= cert= key=
//   [catalogue]   same keys
//   [directory]   same keys
//   [suite]       sqlite=suite.sqlite  (optional: the suite's data source as an SQLite file)
//   [textfields]  txtserverNAME= ... txtMarrowinFTPfolder=
//   [timeouts]    connect=15 read=30 write=30  (seconds; optional)
class ConnectionConfig
{
public:
    // Reads the file; never throws. Problems are kept and reported by error().
    static ConnectionConfig load(const QString& iniPath);

    QString filePath() const { return m_filePath; }
    // Empty when the file was read without problems.
    QString error() const { return m_error; }
    bool fileFound() const { return m_fileFound; }

    // Connection string of a fixed remote connection ("itemdb", "catalogue",
    // "directory"), in the MySQL driver form with the configured values filled in
    // (or the SQLite driver form for a group with sqlite=). A group with problems
    // gives a string that resolve() turns into an error naming the file and key.
    QString remoteConnectionString(const QString& group) const;
    // Default text of one of the helper's nine text fields; null if not configured,
    // empty (not null) if configured empty.
    QString textFieldDefault(const QString& fieldName) const;

    bool hasKey(const QString& group, const QString& key) const;
    QString value(const QString& group, const QString& key) const;

    // How a connection string resolves: used by DataControl.
    struct Target
    {
        enum class Kind
        {
            Invalid,
            MySql,
            Sqlite,
            Odbc
        } kind = Kind::Invalid;
        QString host;
        int port = 3306;
        QString database; // database name, SQLite file or ODBC data source name
        QString user;
        QString password;
        int options = 0;    // driver option bits (2: found rows, 16384: BIGINT as INT)
        QString error;      // why kind is Invalid; never contains a password
        QString dataSource; // for the suite's data source served from SQLite: its name
        // Seconds a server may take to accept a connection, to answer, to take a
        // write ([timeouts] connect=, read=, write=).
        int connectTimeout = 15;
        int readTimeout = 30;
        int writeTimeout = 30;
        // How the link to a MySQL server is protected, weakest first: off,
        // TLS when offered, TLS or nothing, TLS with the authority checked,
        // with the authority and the server's name checked.
        enum class Tls
        {
            Off,
            Preferred,
            Required,
            VerifyCa,
            VerifyIdentity
        } tls = Tls::Required;
        QString tlsCa;   // PEM file of the trusted authorities; empty: none given
        QString tlsCert; // client certificate and key (PEM), optional
        QString tlsKey;
        QString tlsOrigin; // where tls came from, for messages ("tls=required in [itemdb] of F")

        // Identifies the connection: equal keys may share an open connection state.
        QString key() const;
        // Server and database, file or data source name, for messages.
        QString describe() const;
    };
    Target resolve(const QString& connectionString) const;

    // The tls= and SSLMODE= words ("verify-ca" or "VERIFY_CA", any case); false if unknown.
    static bool parseTls(const QString& text, Target::Tls* out);
    static QString tlsName(Target::Tls tls); // "verify-ca"
    // What applies when nothing is said: verify-ca with an authority file,
    // preferred on this computer (loopback), required elsewhere.
    static Target::Tls defaultTls(const QString& host, bool caGiven);

    // Key/value pairs of an ODBC connection string, keys upper-cased; values in
    // {braces} are unwrapped ("}}" stands for "}").
    static QHash<QString, QString> parseOdbcString(const QString& text);
    // Key/value pairs of an OLE DB connection string, keys upper-cased; values in
    // double or single quotes are unwrapped (a doubled quote stands for one).
    static QHash<QString, QString> parseOleDbString(const QString& text);
    // A value written so that parseOdbcString() gives it back unchanged.
    static QString odbcValue(const QString& value);

    // The option bits of the design-time remote connection strings.
    static constexpr int kDesignOptions = 16387;

private:
    QString readGroupLine(const QString& line, QString& group);
    QString readKeyLine(const QString& line, const QString& group);
    Target dataSourceTarget(const QString& dsn, const QString& uid, const QString& password) const;
    Target mySqlTarget(const QHash<QString, QString>& odbc, const QString& group,
                       const QString& user, const QString& password) const;
    void applyTimeouts(Target* target) const;
    QString tlsProblem(const QString& group) const;
    QString tlsPairs(const QString& group) const;
    QString applyTls(const QHash<QString, QString>& odbc, const QString& group,
                     Target* target) const;
    QString installationDir() const;
    QString absoluteFile(const QString& fileName) const;
    QString groupProblem(const QString& group) const;

    QString m_filePath;
    QString m_error;
    bool m_fileFound = false;
    QHash<QString, QHash<QString, QString>> m_groups; // group -> key -> value
};
