// By hand: QSettings cuts values at ';', makes lists of ',' and unescapes '\': wrong for passwords.
#include "data/ConnectionConfig.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHostAddress>
#include <QMutex>
#include <QSet>

namespace {
const QString kSuiteDataSource = QStringLiteral("ODBCCORVANDEL");
const QStringList kRemoteGroups = {QStringLiteral("itemdb"), QStringLiteral("catalogue"),
                                   QStringLiteral("directory")};

QString providerPrefix()
{
    return QStringLiteral("Provider=MSDASQL.1;Persist Security Info=False;Extended Properties=\"");
}

// The ODBC part goes inside double quotes: a quote in it is doubled.
QString wrapExtendedProperties(const QString& odbc)
{
    QString inner = odbc;
    inner.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return providerPrefix() + inner + QLatin1Char('"');
}

QString nonNull(const QString& s)
{
    return s.isNull() ? QStringLiteral("") : s;
}

// Splits "key=value;key=value" where a value may be wrapped: braces (ODBC) or
// quotes (OLE DB). Keys are upper-cased and trimmed.
QHash<QString, QString> parsePairs(const QString& text, bool quotes)
{
    QHash<QString, QString> out;
    const qsizetype n = text.size();
    qsizetype i = 0;
    while (i < n) {
        while (i < n && (text[i] == QLatin1Char(';') || text[i].isSpace()))
            ++i;
        if (i >= n)
            break;
        const qsizetype eq = text.indexOf(QLatin1Char('='), i);
        const qsizetype semi = text.indexOf(QLatin1Char(';'), i);
        if (eq < 0 || (semi >= 0 && semi < eq)) {
            // A bare word: kept as a key without value.
            const qsizetype end = semi < 0 ? n : semi;
            out.insert(text.mid(i, end - i).trimmed().toUpper(), QString());
            i = end;
            continue;
        }
        const QString key = text.mid(i, eq - i).trimmed().toUpper();
        i = eq + 1;
        while (i < n && text[i] == QLatin1Char(' '))
            ++i;
        QString value;
        const QChar open = i < n ? text[i] : QChar();
        const bool braced = !quotes && open == QLatin1Char('{');
        const bool quoted = quotes && (open == QLatin1Char('"') || open == QLatin1Char('\''));
        if (braced || quoted) {
            const QChar close = braced ? QLatin1Char('}') : open;
            ++i;
            while (i < n) {
                if (text[i] == close) {
                    if (i + 1 < n && text[i + 1] == close) {
                        value += close;
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                value += text[i++];
            }
            // Anything up to the next ';' after the closing mark is ignored.
            const qsizetype next = text.indexOf(QLatin1Char(';'), i);
            i = next < 0 ? n : next + 1;
        } else {
            const qsizetype end = text.indexOf(QLatin1Char(';'), i);
            value = text.mid(i, (end < 0 ? n : end) - i).trimmed();
            i = end < 0 ? n : end + 1;
        }
        out.insert(key, nonNull(value));
    }
    return out;
}

// The file holds database passwords: other users of this computer should not
// read it. Said once per file; Windows decides this by access lists instead.
void warnIfReadableByOthers(const QFile& file)
{
#ifdef Q_OS_WIN
    Q_UNUSED(file);
#else
    if (!(file.permissions() & (QFileDevice::ReadGroup | QFileDevice::ReadOther)))
        return;
    static QMutex mutex;
    static QSet<QString> warned;
    {
        QMutexLocker lock(&mutex);
        if (warned.contains(file.fileName()))
            return;
        warned.insert(file.fileName());
    }
    qWarning("cv_veskauction: %s holds database passwords and other users of this computer can "
             "read it; make it readable by its owner only (chmod 600).",
             qUtf8Printable(file.fileName()));
#endif
}

ConnectionConfig::Target invalid(const QString& why)
{
    ConnectionConfig::Target t;
    t.error = why;
    return t;
}
// The ODBC pairs of a connection string: a bare data source name, an ODBC
// string, or an OLE DB string of the ODBC provider. Returns why it cannot be read.
QString odbcPairsOf(const QString& cs, QHash<QString, QString>* odbc)
{
    if (!cs.contains(QLatin1Char('='))) {
        odbc->insert(QStringLiteral("DSN"), cs);
        return {};
    }
    const auto outer = ConnectionConfig::parseOleDbString(cs);
    if (!outer.contains(QStringLiteral("PROVIDER"))) {
        *odbc = ConnectionConfig::parseOdbcString(cs);
        return {};
    }
    if (!outer.value(QStringLiteral("PROVIDER"))
             .startsWith(QStringLiteral("MSDASQL"), Qt::CaseInsensitive))
        return QStringLiteral("unsupported provider %1")
            .arg(outer.value(QStringLiteral("PROVIDER")));
    *odbc = ConnectionConfig::parseOdbcString(outer.value(QStringLiteral("EXTENDED PROPERTIES")));
    for (const char* k : {"DSN", "UID", "PWD", "PASSWORD", "USER ID", "DATA SOURCE"}) {
        const QString key = QString::fromLatin1(k);
        if (outer.contains(key) && !odbc->contains(key))
            odbc->insert(key == QStringLiteral("DATA SOURCE") ? QStringLiteral("DSN") : key,
                         outer.value(key));
    }
    return {};
}
} // namespace

ConnectionConfig ConnectionConfig::load(const QString& iniPath)
{
    ConnectionConfig c;
    c.m_filePath = iniPath;
    QFile file(iniPath);
    if (!file.exists()) {
        c.m_error = QStringLiteral("connection settings file %1 not found").arg(iniPath);
        return c;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        c.m_error = QStringLiteral("connection settings file %1 cannot be read: %2")
                        .arg(iniPath, file.errorString());
        return c;
    }
    c.m_fileFound = true;
    warnIfReadableByOthers(file);
    const QString text = QString::fromUtf8(file.readAll());
    QString group;
    int lineNo = 0;
    for (const QString& raw : text.split(QLatin1Char('\n'))) {
        ++lineNo;
        const QString line = raw.trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char(';')) ||
            line.startsWith(QLatin1Char('#')))
            continue;
        const QString problem = line.startsWith(QLatin1Char('[')) ? c.readGroupLine(line, group)
                                                                  : c.readKeyLine(line, group);
        // Only the line number: the line itself may hold a password.
        if (!problem.isEmpty() && c.m_error.isEmpty())
            c.m_error = QStringLiteral("connection settings file %1, line %2: %3")
                            .arg(iniPath)
                            .arg(lineNo)
                            .arg(problem);
    }
    return c;
}

// "[name]": the group the next lines fill. Returns what is wrong with the line.
QString ConnectionConfig::readGroupLine(const QString& line, QString& group)
{
    const qsizetype close = line.indexOf(QLatin1Char(']'));
    const QString rest = close < 0 ? QString() : line.mid(close + 1).trimmed();
    if (close < 0 || (!rest.isEmpty() && !rest.startsWith(QLatin1Char(';'))))
        return QStringLiteral("a group name must be written as [name]");
    group = line.mid(1, close - 1).trimmed();
    if (group.isEmpty())
        return QStringLiteral("empty group name");
    m_groups[group]; // an empty group still exists
    return {};
}

// "key=value" of the current group. Returns what is wrong with the line.
QString ConnectionConfig::readKeyLine(const QString& line, const QString& group)
{
    const qsizetype eq = line.indexOf(QLatin1Char('='));
    if (eq < 0)
        return QStringLiteral("expected key=value");
    const QString key = line.left(eq).trimmed();
    if (key.isEmpty())
        return QStringLiteral("key missing before '='");
    if (group.isEmpty())
        return QStringLiteral("key %1 before the first [group]").arg(key);
    QString value = line.mid(eq + 1).trimmed();
    if (value.size() >= 2 && value.startsWith(QLatin1Char('"')) && value.endsWith(QLatin1Char('"')))
        value = value.mid(1, value.size() - 2);
    m_groups[group].insert(key, nonNull(value));
    return {};
}

bool ConnectionConfig::hasKey(const QString& group, const QString& key) const
{
    const auto g = m_groups.constFind(group);
    return g != m_groups.constEnd() && g->contains(key);
}

QString ConnectionConfig::value(const QString& group, const QString& key) const
{
    const auto g = m_groups.constFind(group);
    return g == m_groups.constEnd() ? QString() : g->value(key);
}

QString ConnectionConfig::installationDir() const
{
    return QFileInfo(m_filePath).absolutePath();
}

QString ConnectionConfig::absoluteFile(const QString& fileName) const
{
    if (fileName.isEmpty() || QDir::isAbsolutePath(fileName) || m_filePath.isEmpty())
        return fileName;
    return QDir::cleanPath(installationDir() + QLatin1Char('/') + fileName);
}

QString ConnectionConfig::groupProblem(const QString& group) const
{
    if (!m_error.isEmpty())
        return m_error;
    if (!m_groups.contains(group))
        return QStringLiteral("connection settings file %1 has no group [%2]")
            .arg(m_filePath, group);
    if (hasKey(group, QStringLiteral("sqlite"))) {
        if (value(group, QStringLiteral("sqlite")).isEmpty())
            return QStringLiteral("connection settings file %1: key sqlite of [%2] is empty")
                .arg(m_filePath, group);
        return {};
    }
    for (const char* key : {"server", "database", "user"}) {
        const QString k = QString::fromLatin1(key);
        if (!hasKey(group, k))
            return QStringLiteral("connection settings file %1: [%2] has no key %3 (nor sqlite)")
                .arg(m_filePath, group, k);
        if (value(group, k).isEmpty())
            return QStringLiteral("connection settings file %1: key %3 of [%2] is empty")
                .arg(m_filePath, group, k);
    }
    const QString port = value(group, QStringLiteral("port"));
    bool ok = true;
    const int p = port.isEmpty() ? 3306 : port.toInt(&ok);
    if (!ok || p <= 0 || p > 65535)
        return QStringLiteral("connection settings file %1: key port of [%2] is not a port number")
            .arg(m_filePath, group);
    return tlsProblem(group);
}

QString ConnectionConfig::tlsProblem(const QString& group) const
{
    const QString where = QStringLiteral("connection settings file %1: ").arg(m_filePath);
    Target::Tls tls = Target::Tls::Off;
    if (hasKey(group, QStringLiteral("tls")) &&
        !parseTls(value(group, QStringLiteral("tls")), &tls))
        return where + QStringLiteral("key tls of [%1] is none of off, preferred, required, "
                                      "verify-ca, verify-identity")
                           .arg(group);
    if (tls >= Target::Tls::VerifyCa && value(group, QStringLiteral("ca")).isEmpty())
        return where + QStringLiteral("key tls of [%1] asks to verify the server, but [%1] names "
                                      "no authority file (key ca)")
                           .arg(group);
    if (value(group, QStringLiteral("cert")).isEmpty() !=
        value(group, QStringLiteral("key")).isEmpty())
        return where + QStringLiteral("keys cert and key of [%1] go together").arg(group);
    return {};
}

// The TLS keys of a group as the extra pairs of its connection string.
QString ConnectionConfig::tlsPairs(const QString& group) const
{
    QString out;
    Target::Tls tls = Target::Tls::Off;
    if (hasKey(group, QStringLiteral("tls")) && parseTls(value(group, QStringLiteral("tls")), &tls))
        out += QStringLiteral("SSLMODE=%1;").arg(tlsName(tls).toUpper().replace('-', '_'));
    const auto file = [&](const char* key, const char* name) {
        const QString v = value(group, QString::fromLatin1(key));
        if (!v.isEmpty())
            out += QLatin1String(name) + QLatin1Char('=') + odbcValue(absoluteFile(v)) +
                   QLatin1Char(';');
    };
    file("ca", "SSLCA");
    file("cert", "SSLCERT");
    file("key", "SSLKEY");
    return out;
}

QString ConnectionConfig::remoteConnectionString(const QString& group) const
{
    const auto v = [&](const char* key) {
        return odbcValue(value(group, QString::fromLatin1(key)));
    };
    if (!groupProblem(group).isEmpty()) {
        // DESC names the group so that Refresh() can tell what is missing.
        return wrapExtendedProperties(
            QStringLiteral("DRIVER={MySQL ODBC 3.51 Driver};DESC=%1;DATABASE=;SERVER=;UID=;"
                           "PASSWORD=;PORT=;Option=%2;Promt=complete;STMT=;")
                .arg(odbcValue(group))
                .arg(kDesignOptions));
    }
    if (hasKey(group, QStringLiteral("sqlite")))
        return wrapExtendedProperties(
            QStringLiteral("DRIVER={SQLite3 ODBC Driver};DATABASE=%1;")
                .arg(odbcValue(absoluteFile(value(group, QStringLiteral("sqlite"))))));
    return wrapExtendedProperties(
        QStringLiteral("DRIVER={MySQL ODBC 3.51 Driver};DESC=") + odbcValue(group) +
        QStringLiteral(";DATABASE=") + v("database") + QStringLiteral(";SERVER=") + v("server") +
        QStringLiteral(";UID=") + v("user") + QStringLiteral(";PASSWORD=") + v("password") +
        QStringLiteral(";PORT=") + v("port") +
        QStringLiteral(";Option=%1;Promt=complete;STMT=;").arg(kDesignOptions) + tlsPairs(group));
}

QString ConnectionConfig::textFieldDefault(const QString& fieldName) const
{
    return value(QStringLiteral("textfields"), fieldName);
}

QHash<QString, QString> ConnectionConfig::parseOdbcString(const QString& text)
{
    return parsePairs(text, false);
}

QHash<QString, QString> ConnectionConfig::parseOleDbString(const QString& text)
{
    return parsePairs(text, true);
}

QString ConnectionConfig::odbcValue(const QString& value)
{
    static const QString special = QStringLiteral(";{}=");
    bool needsBraces = !value.isEmpty() && (value.front().isSpace() || value.back().isSpace());
    for (const QChar c : value)
        needsBraces = needsBraces || special.contains(c);
    if (!needsBraces)
        return value;
    QString v = value;
    v.replace(QLatin1Char('}'), QStringLiteral("}}"));
    return QLatin1Char('{') + v + QLatin1Char('}');
}

ConnectionConfig::Target ConnectionConfig::resolve(const QString& connectionString) const
{
    const QString cs = connectionString.trimmed();
    if (cs.isEmpty())
        return invalid(QStringLiteral("the connection string is empty"));

    QHash<QString, QString> odbc;
    const QString unsupported = odbcPairsOf(cs, &odbc);
    if (!unsupported.isEmpty())
        return invalid(unsupported);

    const QString desc = odbc.value(QStringLiteral("DESC"));
    // Only the configuration that wrote the string knows its group.
    if (kRemoteGroups.contains(desc) && !m_filePath.isEmpty()) {
        const QString problem = groupProblem(desc);
        if (!problem.isEmpty())
            return invalid(problem);
    }

    const QString database = odbc.value(QStringLiteral("DATABASE"));
    const QString server = odbc.value(QStringLiteral("SERVER"));
    const QString uid = odbc.contains(QStringLiteral("UID")) ? odbc.value(QStringLiteral("UID"))
                                                             : odbc.value(QStringLiteral("USER"));
    const QString password = odbc.contains(QStringLiteral("PASSWORD"))
                                 ? odbc.value(QStringLiteral("PASSWORD"))
                                 : odbc.value(QStringLiteral("PWD"));
    const QString port = odbc.value(QStringLiteral("PORT"));
    if (database == QStringLiteral("databasename") || server == QStringLiteral("servername") ||
        uid == QStringLiteral("username") || password == QStringLiteral("passwordname") ||
        port == QStringLiteral("portnumber"))
        return invalid(QStringLiteral("the connection is not configured (its connection string "
                                      "still holds placeholder words)"));

    const QString driver = odbc.value(QStringLiteral("DRIVER"));
    Target t;
    if (driver.contains(QStringLiteral("SQLite"), Qt::CaseInsensitive)) {
        if (database.isEmpty())
            return invalid(QStringLiteral("the SQLite connection names no DATABASE file"));
        t.kind = Target::Kind::Sqlite;
        t.database = absoluteFile(database);
        return t;
    }

    if (driver.isEmpty() && odbc.contains(QStringLiteral("DSN")))
        return dataSourceTarget(odbc.value(QStringLiteral("DSN")), uid, password);

    if (driver.contains(QStringLiteral("MySQL"), Qt::CaseInsensitive) ||
        driver.contains(QStringLiteral("MariaDB"), Qt::CaseInsensitive))
        return mySqlTarget(odbc, desc, uid, password);
    if (driver.isEmpty())
        return invalid(QStringLiteral("the connection string names neither a DSN nor a DRIVER"));
    return invalid(QStringLiteral("unsupported driver %1").arg(driver));
}

// A named data source; the suite's own may be a SQLite file of the configuration.
ConnectionConfig::Target ConnectionConfig::dataSourceTarget(const QString& dsn, const QString& uid,
                                                            const QString& password) const
{
    if (dsn.isEmpty())
        return invalid(QStringLiteral("the connection string names no data source"));
    Target t;
    if (dsn.compare(kSuiteDataSource, Qt::CaseInsensitive) == 0) {
        if (m_fileFound && !m_error.isEmpty())
            return invalid(m_error);
        const QString file = value(QStringLiteral("suite"), QStringLiteral("sqlite"));
        if (!file.isEmpty()) {
            t.kind = Target::Kind::Sqlite;
            t.database = absoluteFile(file);
            t.dataSource = dsn;
            return t;
        }
    }
    t.kind = Target::Kind::Odbc;
    t.database = dsn;
    t.user = uid;
    t.password = password;
    applyTimeouts(&t);
    return t;
}

ConnectionConfig::Target ConnectionConfig::mySqlTarget(const QHash<QString, QString>& odbc,
                                                       const QString& group, const QString& user,
                                                       const QString& password) const
{
    Target t;
    t.host = odbc.value(QStringLiteral("SERVER"));
    if (t.host.isEmpty())
        return invalid(QStringLiteral("the connection string names no SERVER"));
    bool ok = true;
    const QString port = odbc.value(QStringLiteral("PORT"));
    t.port = port.isEmpty() ? 3306 : port.toInt(&ok);
    if (!ok || t.port <= 0 || t.port > 65535)
        return invalid(QStringLiteral("the PORT of the connection string is not a port number"));
    const QString option = odbc.value(QStringLiteral("OPTION"));
    t.options = option.isEmpty() ? 0 : option.toInt(&ok);
    if (!ok)
        return invalid(QStringLiteral("the Option of the connection string is not a number"));
    t.kind = Target::Kind::MySql;
    t.database = odbc.value(QStringLiteral("DATABASE"));
    t.user = user;
    t.password = password;
    applyTimeouts(&t);
    const QString tlsError = applyTls(odbc, group, &t);
    return tlsError.isEmpty() ? t : invalid(tlsError);
}

void ConnectionConfig::applyTimeouts(Target* target) const
{
    const QString group = QStringLiteral("timeouts");
    const auto seconds = [&](const char* key, int* out) {
        bool ok = false;
        const int n = value(group, QString::fromLatin1(key)).trimmed().toInt(&ok);
        if (ok && n > 0)
            *out = n;
    };
    seconds("connect", &target->connectTimeout);
    seconds("read", &target->readTimeout);
    seconds("write", &target->writeTimeout);
}

bool ConnectionConfig::parseTls(const QString& text, Target::Tls* out)
{
    const QString word = text.trimmed().toLower().replace(QLatin1Char('_'), QLatin1Char('-'));
    static const QHash<QString, Target::Tls> words = {
        {QStringLiteral("off"), Target::Tls::Off},
        {QStringLiteral("disabled"), Target::Tls::Off},
        {QStringLiteral("preferred"), Target::Tls::Preferred},
        {QStringLiteral("required"), Target::Tls::Required},
        {QStringLiteral("verify-ca"), Target::Tls::VerifyCa},
        {QStringLiteral("verify-identity"), Target::Tls::VerifyIdentity}};
    const auto found = words.constFind(word);
    if (found == words.constEnd())
        return false;
    *out = *found;
    return true;
}

QString ConnectionConfig::tlsName(Target::Tls tls)
{
    static const char* const names[] = {"off", "preferred", "required", "verify-ca",
                                        "verify-identity"};
    return QString::fromLatin1(names[int(tls)]);
}

ConnectionConfig::Target::Tls ConnectionConfig::defaultTls(const QString& host, bool caGiven)
{
    if (caGiven)
        return Target::Tls::VerifyCa;
    const QString h = host.trimmed();
    const bool loopback = h.compare(QStringLiteral("localhost"), Qt::CaseInsensitive) == 0 ||
                          QHostAddress(h).isLoopback();
    return loopback ? Target::Tls::Preferred : Target::Tls::Required;
}

// The TLS pairs of a MySQL connection string (SSLMODE, SSLCA, SSLCERT, SSLKEY),
// with the defaults where they are missing. Returns why they cannot be used.
QString ConnectionConfig::applyTls(const QHash<QString, QString>& odbc, const QString& group,
                                   Target* t) const
{
    t->tlsCa = absoluteFile(odbc.value(QStringLiteral("SSLCA")));
    t->tlsCert = absoluteFile(odbc.value(QStringLiteral("SSLCERT")));
    t->tlsKey = absoluteFile(odbc.value(QStringLiteral("SSLKEY")));
    const QString mode = odbc.value(QStringLiteral("SSLMODE"));
    const bool said = !mode.trimmed().isEmpty();
    if (said && !parseTls(mode, &t->tls))
        return QStringLiteral("the SSLMODE of the connection string is none of DISABLED, "
                              "PREFERRED, REQUIRED, VERIFY_CA, VERIFY_IDENTITY");
    if (!said)
        t->tls = defaultTls(t->host, !t->tlsCa.isEmpty());
    if (t->tls >= Target::Tls::VerifyCa && t->tlsCa.isEmpty())
        return QStringLiteral("SSLMODE %1 of the connection string names no authority file "
                              "(SSLCA)")
            .arg(mode);
    const QString name = tlsName(t->tls);
    if (kRemoteGroups.contains(group) && m_fileFound)
        t->tlsOrigin = said ? QStringLiteral("tls=%1 in [%2] of %3").arg(name, group, m_filePath)
                            : QStringLiteral("tls=%1 by default, as [%2] of %3 sets no tls=")
                                  .arg(name, group, m_filePath);
    else
        t->tlsOrigin = said ? QStringLiteral("SSLMODE=%1 in the connection string").arg(mode)
                            : QStringLiteral("tls=%1 by default").arg(name);
    return {};
}

QString ConnectionConfig::Target::key() const
{
    return QStringList{QString::number(int(kind)),
                       host,
                       QString::number(port),
                       database,
                       user,
                       password,
                       QString::number(options),
                       QString::number(connectTimeout),
                       QString::number(readTimeout),
                       QString::number(writeTimeout),
                       QString::number(int(tls)),
                       tlsCa,
                       tlsCert,
                       tlsKey}
        .join(QChar(0x1f));
}

QString ConnectionConfig::Target::describe() const
{
    switch (kind) {
    case Kind::MySql:
        return QStringLiteral("database %1 on server %2:%3").arg(database, host).arg(port);
    case Kind::Sqlite:
        return dataSource.isEmpty()
                   ? QStringLiteral("SQLite file %1").arg(database)
                   : QStringLiteral("data source %1 (SQLite file %2)").arg(dataSource, database);
    case Kind::Odbc:
        return QStringLiteral("ODBC data source %1").arg(database);
    case Kind::Invalid:
        break;
    }
    return QStringLiteral("unconfigured connection");
}
