#include "TestSupport.h"
#include "data/DataError.h"
#include "data/frmadoHelper.h"

#include <QtTest>

namespace {
const QString kTemplate = QStringLiteral(
    "Provider=MSDASQL.1;Persist Security Info=False;Extended Properties=\"DRIVER={MySQL ODBC 3.51 "
    "Driver};DESC=;DATABASE=databasename;SERVER=servername;UID=username;PASSWORD=passwordname;"
    "PORT=portnumber;Option=16387;Promt=complete;STMT=;\"");

QString filled(const QString& db, const QString& server, const QString& user, const QString& pw,
               const QString& port)
{
    return QStringLiteral("Provider=MSDASQL.1;Persist Security Info=False;Extended Properties=\""
                          "DRIVER={MySQL ODBC 3.51 Driver};DESC=;DATABASE=%1;SERVER=%2;UID=%3;"
                          "PASSWORD=%4;PORT=%5;Option=16387;Promt=complete;STMT=;\"")
        .arg(db, server, user, pw, port);
}
} // namespace

class FrmAdoHelperTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<vesktest::TestInstallation> m_inst;
    std::unique_ptr<frmadoHelper> m_helper;

    void configure()
    {
        m_inst = std::make_unique<vesktest::TestInstallation>();
        const auto group = [&](const QString& name, const QString& n) {
            m_inst->setGroup(name,
                             {{QStringLiteral("server"), QStringLiteral("db%1.example").arg(n)},
                              {QStringLiteral("database"), QStringLiteral("base%1").arg(n)},
                              {QStringLiteral("user"), QStringLiteral("user%1").arg(n)},
                              {QStringLiteral("password"), QStringLiteral("pw%1").arg(n)}});
        };
        group(QStringLiteral("itemdb"), QStringLiteral("1"));
        group(QStringLiteral("catalogue"), QStringLiteral("2"));
        group(QStringLiteral("directory"), QStringLiteral("3"));
    }

private slots:
    void init()
    {
        configure();
        m_inst->writeConnections();
        m_helper = std::make_unique<frmadoHelper>(m_inst->installation());
    }
    void cleanup()
    {
        m_helper.reset();
        m_inst.reset();
    }

    void controlsComeInDeclaredOrderWithDesignSettings_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("connection"); // DSN text, a config group, or "template"
        QTest::addColumn<int>("commandType");
        QTest::addColumn<QString>("recordSource");
        const QString upper = QStringLiteral("DSN=ODBCCORVANDEL");
        const QString mixed = QStringLiteral("DSN=ODBCCorvandel");
        const struct
        {
            const char* name;
            QString connection;
            int type;
            const char* source;
        } rows[] = {
            {"ado", upper, 1, ""},
            {"ado2", upper, 1, ""},
            {"ado5", upper, 1, ""},
            {"ado3", upper, 1, ""},
            {"adoOrvisto", QStringLiteral("directory"), 2, ""},
            {"adoOrvisto1", QStringLiteral("directory"), 2, ""},
            {"adoGetPic", upper, 1, ""},
            {"adoRemote", mixed, 1, ""},
            {"adoRemote2", mixed, 1, ""},
            {"Adodc1", mixed, 1, ""},
            {"adoRemoteDetail", mixed, 1, ""},
            {"adoTool", upper, 1, ""},
            {"adoKB", QStringLiteral("catalogue"), 2, "item"},
            {"adoKBvesk", QStringLiteral("itemdb"), 2, "item"},
            {"adoKBvesk1", QStringLiteral("itemdb"), 2, "item"},
            {"adoKBvesk2", QStringLiteral("itemdb"), 2, "item"},
            {"adoMarrowin", QStringLiteral("template"), 2, ""},
        };
        int index = 0;
        for (const auto& r : rows)
            QTest::addRow("%d %s", index++, r.name) << QString::fromLatin1(r.name) << r.connection
                                                    << r.type << QString::fromLatin1(r.source);
    }
    void controlsComeInDeclaredOrderWithDesignSettings()
    {
        QFETCH(QString, name);
        QFETCH(QString, connection);
        QFETCH(int, commandType);
        QFETCH(QString, recordSource);
        const QList<DataControl*> controls = m_helper->dataControls();
        QCOMPARE(controls.size(), 17);
        const int index = QString::fromLatin1(QTest::currentDataTag()).section(u' ', 0, 0).toInt();
        DataControl* c = controls[index];
        QCOMPARE(c->name(), name);
        QString expected = connection;
        if (connection == QLatin1String("template"))
            expected = kTemplate;
        else if (!connection.startsWith(QLatin1String("DSN=")))
            expected = m_helper->config().remoteConnectionString(connection);
        QCOMPARE(c->ConnectionString, expected);
        QCOMPARE(c->CommandType, commandType);
        QCOMPARE(c->RecordSource, recordSource);
    }

    void remoteControlsReachTheirConfiguredDatabases_data()
    {
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("database");
        QTest::newRow("adoKBvesk") << "adoKBvesk"
                                   << "base1 on server db1.example:3306";
        QTest::newRow("adoKBvesk2") << "adoKBvesk2"
                                    << "base1 on server db1.example:3306";
        QTest::newRow("adoKB") << "adoKB"
                               << "base2 on server db2.example:3306";
        QTest::newRow("adoOrvisto") << "adoOrvisto"
                                    << "base3 on server db3.example:3306";
    }
    void remoteControlsReachTheirConfiguredDatabases()
    {
        QFETCH(QString, control);
        QFETCH(QString, database);
        for (DataControl* c : m_helper->dataControls()) {
            if (c->name() != control)
                continue;
            QCOMPARE(c->engine(), DataControl::Engine::MySql);
            QVERIFY2(c->describe().endsWith(database), qPrintable(c->describe()));
            return;
        }
        QFAIL("control not found");
    }

    void textFieldsTakeConfiguredDefaults()
    {
        configure();
        const QStringList fields = {
            "txtserverNAME",      "txtdatabaseNAME",  "txtuserNAME",
            "txtpasswordNAME",    "txtPortNumber",    "txtMarrowinFTPserver",
            "txtMarrowinFTPuser", "txtMarrowinFTPpw", "txtMarrowinFTPfolder"};
        for (const QString& f : fields)
            m_inst->setTextField(f, QStringLiteral("value of ") + f);
        m_inst->writeConnections();
        frmadoHelper h(m_inst->installation());
        const QStringList got = {h.txtserverNAME,      h.txtdatabaseNAME,  h.txtuserNAME,
                                 h.txtpasswordNAME,    h.txtPortNumber,    h.txtMarrowinFTPserver,
                                 h.txtMarrowinFTPuser, h.txtMarrowinFTPpw, h.txtMarrowinFTPfolder};
        for (int i = 0; i < fields.size(); ++i)
            QCOMPARE(got[i], QStringLiteral("value of ") + fields[i]);
    }

    void portFieldDefaultsTo3306OnlyWhenAbsent()
    {
        QCOMPARE(m_helper->txtPortNumber, QStringLiteral("3306"));
        QVERIFY(m_helper->txtserverNAME.isEmpty());
        configure();
        m_inst->setTextField(QStringLiteral("txtPortNumber"), QString());
        m_inst->writeConnections();
        frmadoHelper h(m_inst->installation());
        QCOMPARE(h.txtPortNumber, QString());
    }

    void marrowinTemplateIsNotConnectable()
    {
        m_helper->adoMarrowin.RecordSource = QStringLiteral("item");
        try {
            m_helper->adoMarrowin.Refresh();
            QFAIL("the template must not connect");
        } catch (const DataError& e) {
            QVERIFY2(e.message().contains(QStringLiteral("not configured")),
                     qPrintable(e.message()));
            QVERIFY2(e.message().contains(QStringLiteral("adoMarrowin")), qPrintable(e.message()));
        }
    }

    void setMarrowinFillsTheTemplate_data()
    {
        QTest::addColumn<QStringList>("texts"); // server, database, user, password, port
        QTest::addColumn<QString>("expected");
        QTest::newRow("all filled") << QStringList{"mw.example", "mwdb", "mwuser", "pw", "3306"}
                                    << filled("mwdb", "mw.example", "mwuser", "pw", "3306");
        QTest::newRow("empty port removes the word")
            << QStringList{"mw.example", "mwdb", "mwuser", "pw", ""}
            << filled("mwdb", "mw.example", "mwuser", "pw", "");
        QTest::newRow("everything empty")
            << QStringList{"", "", "", "", ""} << filled("", "", "", "", "");
        QTest::newRow("server holds a later word")
            << QStringList{"username.example", "mwdb", "clerk", "pw", "3306"}
            << filled("mwdb", "clerk.example", "clerk", "pw", "3306");
        QTest::newRow("password holds the port word")
            << QStringList{"h", "d", "u", "portnumber!", "3307"}
            << filled("d", "h", "u", "3307!", "3307");
        QTest::newRow("database holds an earlier word")
            << QStringList{"h", "servername", "u", "p", "1"}
            << filled("servername", "h", "u", "p", "1");
        QTest::newRow("case-sensitive") << QStringList{"USERNAME", "d", "u", "p", "1"}
                                        << filled("d", "USERNAME", "u", "p", "1");
        QTest::newRow("inserted as is")
            << QStringList{"h", "d", "u", "a;b\"c", "1"} << filled("d", "h", "u", "a;b\"c", "1");
    }
    void setMarrowinFillsTheTemplate()
    {
        QFETCH(QStringList, texts);
        QFETCH(QString, expected);
        m_helper->txtserverNAME = texts[0];
        m_helper->txtdatabaseNAME = texts[1];
        m_helper->txtuserNAME = texts[2];
        m_helper->txtpasswordNAME = texts[3];
        m_helper->txtPortNumber = texts[4];
        QStringList others;
        for (DataControl* c : m_helper->dataControls())
            if (c != &m_helper->adoMarrowin)
                others << c->ConnectionString;
        m_helper->SET_marrowin_ADO();
        QCOMPARE(m_helper->adoMarrowin.ConnectionString, expected);
        QStringList after;
        for (DataControl* c : m_helper->dataControls())
            if (c != &m_helper->adoMarrowin)
                after << c->ConnectionString;
        QCOMPARE(after, others);
    }

    void secondSetMarrowinChangesNothing()
    {
        m_helper->txtserverNAME = QStringLiteral("mw.example");
        m_helper->txtdatabaseNAME = QStringLiteral("mwdb");
        m_helper->txtuserNAME = QStringLiteral("mwuser");
        m_helper->txtpasswordNAME = QStringLiteral("pw");
        m_helper->SET_marrowin_ADO();
        const QString first = m_helper->adoMarrowin.ConnectionString;
        QCOMPARE(m_helper->adoMarrowin.engine(), DataControl::Engine::MySql);
        m_helper->txtserverNAME = QStringLiteral("other.example");
        m_helper->txtPortNumber = QStringLiteral("9999");
        m_helper->SET_marrowin_ADO();
        QCOMPARE(m_helper->adoMarrowin.ConnectionString, first);
    }
};

QTEST_GUILESS_MAIN(FrmAdoHelperTest)
#include "tst_frmadohelper.moc"
