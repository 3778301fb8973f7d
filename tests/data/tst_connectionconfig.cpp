#include "TestSupport.h"
#include "data/ConnectionConfig.h"
#include "data/DataControl.h"
#include "data/DataError.h"
#include "data/frmadoHelper.h"

#include <QtTest>

using Kind = ConnectionConfig::Target::Kind;
Q_DECLARE_METATYPE(Kind)

namespace {
const QString kPassword = QStringLiteral("S3cr3t-pw;x");

QString remote(const QString& odbcPart)
{
    return QStringLiteral(
               "Provider=MSDASQL.1;Persist Security Info=False;Extended Properties=\"%1\"")
        .arg(odbcPart);
}

QString designRemote(const QString& db, const QString& server, const QString& user,
                     const QString& password, const QString& port)
{
    return remote(QStringLiteral("DRIVER={MySQL ODBC 3.51 Driver};DESC=;DATABASE=%1;SERVER=%2;"
                                 "UID=%3;PASSWORD=%4;PORT=%5;Option=16387;Promt=complete;STMT=;")
                      .arg(db, server, user, password, port));
}

// The message of the DataError that Refresh() raises, or empty if it did not raise.
QString refreshError(DataControl& control)
{
    try {
        control.Refresh();
    } catch (const DataError& e) {
        return e.message();
    }
    return {};
}
} // namespace

class ConnectionConfigTest : public QObject
{
    Q_OBJECT

private slots:
    void parsesOdbcPairs_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");
        QTest::newRow("plain") << "A=1;B=2"
                               << "B"
                               << "2";
        QTest::newRow("key case") << "database=shop"
                                  << "DATABASE"
                                  << "shop";
        QTest::newRow("braces") << "DRIVER={MySQL ODBC 3.51 Driver};X=1"
                                << "DRIVER"
                                << "MySQL ODBC 3.51 Driver";
        QTest::newRow("semicolon in braces") << "PWD={a;b};X=1"
                                             << "PWD"
                                             << "a;b";
        QTest::newRow("doubled closing brace") << "PWD={a}}b};X=1"
                                               << "PWD"
                                               << "a}b";
        QTest::newRow("empty value") << "DESC=;X=1"
                                     << "DESC"
                                     << "";
        QTest::newRow("no final semicolon") << "X=1;PORT=3307"
                                            << "PORT"
                                            << "3307";
        QTest::newRow("blanks around") << " SERVER = db.example ; X=1"
                                       << "SERVER"
                                       << "db.example";
        QTest::newRow("equals in braces") << "PWD={a=b}"
                                          << "PWD"
                                          << "a=b";
    }
    void parsesOdbcPairs()
    {
        QFETCH(QString, text);
        QFETCH(QString, key);
        QFETCH(QString, value);
        const auto pairs = ConnectionConfig::parseOdbcString(text);
        QVERIFY2(pairs.contains(key), qPrintable(QStringList(pairs.keys()).join(u',')));
        QCOMPARE(pairs.value(key), value);
    }

    void resolvesConnectionStrings_data()
    {
        QTest::addColumn<QString>("connectionString");
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<QString>("host");
        QTest::addColumn<int>("port");
        QTest::addColumn<QString>("database");
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("password");
        QTest::addColumn<int>("options");
        QTest::newRow("design remote, empty port")
            << designRemote("shop", "db.example", "clerk", "pw", "") << Kind::MySql << "db.example"
            << 3306 << "shop"
            << "clerk"
            << "pw" << 16387;
        QTest::newRow("port given")
            << designRemote("shop", "h", "u", "p", "3307") << Kind::MySql << "h" << 3307 << "shop"
            << "u"
            << "p" << 16387;
        QTest::newRow("braced password") << designRemote("shop", "h", "u", "{a;b}}c\"\"d}", "")
                                         << Kind::MySql << "h" << 3306 << "shop"
                                         << "u"
                                         << "a;b}c\"d" << 16387;
        QTest::newRow("plain driver form, other key names")
            << "driver={MySQL ODBC 3.51 Driver};server=h;database=d;user=u;pwd=p;option=2"
            << Kind::MySql << "h" << 3306 << "d"
            << "u"
            << "p" << 2;
        QTest::newRow("data source")
            << "DSN=ODBCCORVANDEL" << Kind::Odbc << "" << 3306 << "ODBCCORVANDEL"
            << ""
            << "" << 0;
        QTest::newRow("data source mixed case")
            << "DSN=ODBCCorvandel" << Kind::Odbc << "" << 3306 << "ODBCCorvandel"
            << ""
            << "" << 0;
        QTest::newRow("data source, key lower case")
            << "dsn=Other;" << Kind::Odbc << "" << 3306 << "Other"
            << ""
            << "" << 0;
        QTest::newRow("sqlite driver") << "DRIVER={SQLite3 ODBC Driver};DATABASE=/x/items.sqlite"
                                       << Kind::Sqlite << "" << 3306 << "/x/items.sqlite"
                                       << ""
                                       << "" << 0;
        QTest::newRow("sqlite through the provider")
            << remote("DRIVER={SQLite3 ODBC Driver};DATABASE=/x/i.sqlite;") << Kind::Sqlite << ""
            << 3306 << "/x/i.sqlite"
            << ""
            << "" << 0;
    }
    void resolvesConnectionStrings()
    {
        QFETCH(QString, connectionString);
        QFETCH(Kind, kind);
        const ConnectionConfig config;
        const auto t = config.resolve(connectionString);
        QVERIFY2(t.error.isEmpty(), qPrintable(t.error));
        QCOMPARE(t.kind, kind);
        QTEST(t.host, "host");
        QTEST(t.port, "port");
        QTEST(t.database, "database");
        QTEST(t.user, "user");
        QTEST(t.password, "password");
        QTEST(t.options, "options");
    }

    void rejectsUnusableConnectionStrings_data()
    {
        QTest::addColumn<QString>("connectionString");
        QTest::addColumn<QString>("reason");
        const QString tmpl =
            designRemote("databasename", "servername", "username", "passwordname", "portnumber");
        QTest::newRow("template") << tmpl << "not configured";
        QTest::newRow("template with server filled")
            << designRemote("databasename", "db.example", "username", "passwordname", "3306")
            << "not configured";
        QTest::newRow("template with only the port left")
            << designRemote("d", "h", "u", "p", "portnumber") << "not configured";
        QTest::newRow("bad port") << designRemote("d", "h", "u", "p", "33o6") << "PORT";
        QTest::newRow("port out of range") << designRemote("d", "h", "u", "p", "70000") << "PORT";
        QTest::newRow("no server") << designRemote("d", "", "u", "p", "") << "SERVER";
        QTest::newRow("unknown driver") << "DRIVER={Paradox};DATABASE=x"
                                        << "unsupported driver";
        QTest::newRow("unknown provider") << "Provider=SQLOLEDB;Data Source=x"
                                          << "unsupported provider";
        QTest::newRow("empty") << ""
                               << "empty";
        QTest::newRow("sqlite without file") << "DRIVER={SQLite3 ODBC Driver};DATABASE=;"
                                             << "DATABASE";
    }
    void rejectsUnusableConnectionStrings()
    {
        QFETCH(QString, connectionString);
        QFETCH(QString, reason);
        const auto t = ConnectionConfig().resolve(connectionString);
        QCOMPARE(t.kind, Kind::Invalid);
        QVERIFY2(t.error.contains(reason), qPrintable(t.error));
        DataControl control(QStringLiteral("adoMarrowin"), connectionString, 2, QString(), nullptr);
        QCOMPARE(control.engine(), DataControl::Engine::Unknown);
        const QString message = refreshError(control);
        QVERIFY2(message.contains(QStringLiteral("adoMarrowin")), qPrintable(message));
        QVERIFY2(message.contains(reason), qPrintable(message));
    }

    void configuredValuesComeBackUnchanged_data()
    {
        QTest::addColumn<QString>("value");
        QTest::newRow("plain") << "Shop_1";
        QTest::newRow("semicolon") << "a;b";
        QTest::newRow("braces") << "{x}}";
        QTest::newRow("equals") << "a=b";
        QTest::newRow("double quote") << "say \"hi\"";
        QTest::newRow("single quote") << "O'Brien";
        QTest::newRow("outer blanks") << " x ";
    }
    void configuredValuesComeBackUnchanged()
    {
        QFETCH(QString, value);
        vesktest::TestInstallation inst;
        // The file trims values; outer blanks survive only inside quotes.
        const QString written = QLatin1Char('"') + value + QLatin1Char('"');
        inst.setGroup(QStringLiteral("itemdb"), {{QStringLiteral("server"), QStringLiteral("h")},
                                                 {QStringLiteral("database"), written},
                                                 {QStringLiteral("user"), written},
                                                 {QStringLiteral("password"), written}});
        inst.writeConnections();
        const auto config = ConnectionConfig::load(inst.installation().connectionsFile());
        QVERIFY2(config.error().isEmpty(), qPrintable(config.error()));
        const auto t = config.resolve(config.remoteConnectionString(QStringLiteral("itemdb")));
        QVERIFY2(t.error.isEmpty(), qPrintable(t.error));
        QCOMPARE(t.database, value);
        QCOMPARE(t.user, value);
        QCOMPARE(t.password, value);
        QCOMPARE(t.port, 3306);
        QCOMPARE(t.options, ConnectionConfig::kDesignOptions);
    }

    void problemsNameFileAndKeyAtRefresh_data()
    {
        QTest::addColumn<QByteArray>("ini");
        QTest::addColumn<QString>("mentions");
        const QByteArray full =
            "server=h\r\ndatabase=d\r\nuser=u\r\npassword=" + kPassword.toUtf8() + "\r\n";
        QTest::newRow("no group") << QByteArray("[catalogue]\r\n" + full) << "[itemdb]";
        QTest::newRow("no server")
            << QByteArray("[itemdb]\r\ndatabase=d\r\nuser=u\r\npassword=" + kPassword.toUtf8() +
                          "\r\n")
            << "server";
        QTest::newRow("no database")
            << QByteArray("[itemdb]\r\nserver=h\r\nuser=u\r\npassword=" + kPassword.toUtf8() +
                          "\r\n")
            << "database";
        QTest::newRow("no user") << QByteArray("[itemdb]\r\nserver=h\r\ndatabase=d\r\npassword=" +
                                               kPassword.toUtf8() + "\r\n")
                                 << "user";
        QTest::newRow("key in other case") << QByteArray("[itemdb]\r\nServer=h\r\ndatabase=d\r\n"
                                                         "user=u\r\n")
                                           << "server";
        QTest::newRow("empty sqlite") << QByteArray("[itemdb]\r\nsqlite=\r\n") << "sqlite";
        QTest::newRow("bad port") << QByteArray("[itemdb]\r\n" + full + "port=eighty\r\n")
                                  << "port";
        QTest::newRow("malformed line")
            << QByteArray("[itemdb]\r\n" + full + kPassword.toUtf8() + "\r\n") << "line 6";
        QTest::newRow("key before group")
            << QByteArray("server=h\r\n[itemdb]\r\n" + full) << "line 1";
        QTest::newRow("unclosed group") << QByteArray("[itemdb\r\n" + full) << "line 1";
    }
    void problemsNameFileAndKeyAtRefresh()
    {
        QFETCH(QByteArray, ini);
        QFETCH(QString, mentions);
        vesktest::TestInstallation inst;
        inst.writeFile(QStringLiteral("cv_veskauction.ini"), ini);
        frmadoHelper helper(inst.installation()); // loading never throws
        helper.adoKBvesk2.CommandType = 1;
        helper.adoKBvesk2.RecordSource = QStringLiteral("SELECT * FROM item");
        const QString message = refreshError(helper.adoKBvesk2);
        QVERIFY2(!message.isEmpty(), "Refresh must fail");
        QVERIFY2(message.contains(QStringLiteral("adoKBvesk2")), qPrintable(message));
        QVERIFY2(message.contains(inst.installation().connectionsFile()), qPrintable(message));
        QVERIFY2(message.contains(mentions), qPrintable(message));
        QVERIFY2(!message.contains(kPassword), "the password must not be shown");
        QVERIFY2(!message.contains(QStringLiteral("S3cr3t")), "no part of the password either");
    }

    void missingFileIsReportedByRemoteControls()
    {
        vesktest::TestInstallation inst;
        frmadoHelper helper(inst.installation());
        for (DataControl* c : {&helper.adoKB, &helper.adoKBvesk, &helper.adoOrvisto1}) {
            const QString message = refreshError(*c);
            QVERIFY2(message.contains(inst.installation().connectionsFile()), qPrintable(message));
            QVERIFY2(message.contains(QStringLiteral("not found")), qPrintable(message));
        }
        // The suite's data source needs nothing from the file.
        QCOMPARE(helper.ado.engine(), DataControl::Engine::Odbc);
    }

    void refusedConnectionMessageHasNoPassword()
    {
        vesktest::TestInstallation inst;
        inst.setGroup(QStringLiteral("itemdb"),
                      {{QStringLiteral("server"), QStringLiteral("127.0.0.1")},
                       {QStringLiteral("port"), QStringLiteral("1")},
                       {QStringLiteral("database"), kPassword},
                       {QStringLiteral("user"), QStringLiteral("clerk")},
                       {QStringLiteral("password"), kPassword}});
        inst.writeConnections();
        frmadoHelper helper(inst.installation());
        helper.adoKBvesk1.CommandType = 1;
        helper.adoKBvesk1.RecordSource = QStringLiteral("SELECT 1");
        const QString message = refreshError(helper.adoKBvesk1);
        QVERIFY2(message.contains(QStringLiteral("cannot connect")), qPrintable(message));
        QVERIFY2(!message.contains(kPassword), qPrintable(message));
        QVERIFY2(!helper.adoKBvesk1.describe().contains(kPassword),
                 qPrintable(helper.adoKBvesk1.describe()));
    }

    void sqliteFilesAreFoundInTheInstallationFolder_data()
    {
        QTest::addColumn<QString>("configured");
        QTest::addColumn<QString>("relative"); // to the installation folder; empty: absolute
        QTest::newRow("bare name") << "items.sqlite"
                                   << "items.sqlite";
        QTest::newRow("sub folder") << "data/items.sqlite"
                                    << "data/items.sqlite";
        QTest::newRow("dot segments") << "./data/../items.sqlite"
                                      << "items.sqlite";
        QTest::newRow("absolute") << "/srv/shop/items.sqlite"
                                  << "";
    }
    void sqliteFilesAreFoundInTheInstallationFolder()
    {
        QFETCH(QString, configured);
        QFETCH(QString, relative);
        vesktest::TestInstallation inst;
        inst.useSqlite(QStringLiteral("itemdb"), configured);
        inst.useSqlite(QStringLiteral("suite"), configured);
        inst.writeConnections();
        const auto config = ConnectionConfig::load(inst.installation().connectionsFile());
        const QString expected =
            relative.isEmpty() ? configured : QDir(inst.dir()).filePath(relative);
        for (const QString& cs :
             {config.remoteConnectionString(QStringLiteral("itemdb")),
              QStringLiteral("DSN=ODBCCORVANDEL"), QStringLiteral("DSN=ODBCCorvandel")}) {
            const auto t = config.resolve(cs);
            QCOMPARE(t.kind, Kind::Sqlite);
            QCOMPARE(QFileInfo(t.database).absoluteFilePath(),
                     QFileInfo(expected).absoluteFilePath());
        }
        // Other data sources are not redirected.
        QCOMPARE(config.resolve(QStringLiteral("DSN=OTHER")).kind, Kind::Odbc);
    }

    void readsGroupsDespiteCommentsBlanksAndLineEnds()
    {
        vesktest::TestInstallation inst;
        inst.writeFile(QStringLiteral("cv_veskauction.ini"),
                       "; deployment settings\r\n"
                       "\r\n"
                       "[itemdb]    ; the store's item database\n"
                       "server = db.example\r\n"
                       "database=shop\r\n"
                       "# also a comment\r\n"
                       "user=clerk\r\n"
                       "password=p;w\r\n"
                       "[textfields]\r\n"
                       "txtserverNAME=marrowin.example\r\n"
                       "txtuserNAME=\r\n");
        const auto config = ConnectionConfig::load(inst.installation().connectionsFile());
        QVERIFY2(config.error().isEmpty(), qPrintable(config.error()));
        const auto t = config.resolve(config.remoteConnectionString(QStringLiteral("itemdb")));
        QCOMPARE(t.kind, Kind::MySql);
        QCOMPARE(t.host, QStringLiteral("db.example"));
        QCOMPARE(t.password, QStringLiteral("p;w"));
        QCOMPARE(config.textFieldDefault(QStringLiteral("txtserverNAME")),
                 QStringLiteral("marrowin.example"));
        QVERIFY(!config.textFieldDefault(QStringLiteral("txtuserNAME")).isNull());
        QVERIFY(config.textFieldDefault(QStringLiteral("txtuserNAME")).isEmpty());
        QVERIFY(config.textFieldDefault(QStringLiteral("txtPortNumber")).isNull());
    }
};

QTEST_GUILESS_MAIN(ConnectionConfigTest)
#include "tst_connectionconfig.moc"
