#include "TestSupport.h"
#include "data/frmadoHelper.h"

#include <QtTest>
#include <list>

namespace {
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

    std::list<vesktest::TestInstallation> m_installations;

    // itemdb on db1.example, catalogue on db2, directory on db3, and the given text fields.
    std::unique_ptr<frmadoHelper> helper(const QMap<QString, QString>& textFields = {})
    {
        vesktest::TestInstallation& inst = m_installations.emplace_back();
        const QStringList groups = {"itemdb", "catalogue", "directory"};
        for (int n = 1; n <= 3; ++n)
            inst.setGroup(groups[n - 1], {{"server", QStringLiteral("db%1.example").arg(n)},
                                          {"database", QStringLiteral("base%1").arg(n)},
                                          {"user", QStringLiteral("user%1").arg(n)},
                                          {"password", QStringLiteral("pw%1").arg(n)}});
        if (!textFields.isEmpty())
            inst.setGroup("textfields", textFields);
        inst.writeConnections();
        return std::make_unique<frmadoHelper>(inst.installation());
    }

private slots:
    void cleanup() { m_installations.clear(); }

    // "name connection CommandType RecordSource": connection U and M are the two
    // spellings of the suite's data source, T the template, others a group.
    void controlsComeInDeclaredOrderWithDesignSettings()
    {
        const QStringList rows =
            QStringLiteral("ado U 1,ado2 U 1,ado5 U 1,ado3 U 1,adoOrvisto directory 2,"
                           "adoOrvisto1 directory 2,adoGetPic U 1,adoRemote M 1,adoRemote2 M 1,"
                           "Adodc1 M 1,adoRemoteDetail M 1,adoTool U 1,adoKB catalogue 2 item,"
                           "adoKBvesk itemdb 2 item,adoKBvesk1 itemdb 2 item,"
                           "adoKBvesk2 itemdb 2 item,adoMarrowin T 2")
                .split(u',');
        const auto h = helper();
        const QMap<QString, QString> fixed = {
            {"U", "DSN=ODBCCORVANDEL"},
            {"M", "DSN=ODBCCorvandel"},
            {"T", filled("databasename", "servername", "username", "passwordname", "portnumber")}};
        const QList<DataControl*> controls = h->dataControls();
        QCOMPARE(controls.size(), rows.size());
        for (int i = 0; i < rows.size(); ++i) {
            const QStringList f = rows[i].split(u' ');
            const DataControl* c = controls[i];
            QCOMPARE(c->name(), f[0]);
            QCOMPARE(c->CommandType, f[2].toInt());
            QCOMPARE(c->RecordSource, f.value(3));
            if (fixed.contains(f[1])) {
                QCOMPARE(c->ConnectionString, fixed[f[1]]);
                continue;
            }
            QCOMPARE(c->ConnectionString, h->config().remoteConnectionString(f[1]));
            const int n = QStringList{"itemdb", "catalogue", "directory"}.indexOf(f[1]) + 1;
            const QString where = QStringLiteral("base%1 on server db%1.example:3306").arg(n);
            QVERIFY2(c->describe().endsWith(where), qPrintable(c->describe()));
        }
    }

    void textFieldsTakeConfiguredDefaultsAndPortDefaultsTo3306()
    {
        const QStringList names =
            QStringLiteral("txtserverNAME txtdatabaseNAME txtuserNAME txtpasswordNAME "
                           "txtPortNumber txtMarrowinFTPserver txtMarrowinFTPuser "
                           "txtMarrowinFTPpw txtMarrowinFTPfolder")
                .split(u' ');
        QMap<QString, QString> configured;
        for (const QString& name : names)
            configured[name] = "value of " + name;
        auto h = helper(configured);
        const QStringList got = {
            h->txtserverNAME,      h->txtdatabaseNAME,  h->txtuserNAME,
            h->txtpasswordNAME,    h->txtPortNumber,    h->txtMarrowinFTPserver,
            h->txtMarrowinFTPuser, h->txtMarrowinFTPpw, h->txtMarrowinFTPfolder};
        for (int i = 0; i < names.size(); ++i)
            QCOMPARE(got[i], "value of " + names[i]);
        QCOMPARE(helper()->txtPortNumber, "3306");
        QVERIFY(helper()->txtserverNAME.isEmpty());
        // Configured empty stays empty.
        QCOMPARE(helper({{"txtPortNumber", ""}})->txtPortNumber, QString());
    }

    // Texts of server, database, user, password, port; the string expected with
    // DATABASE, SERVER, UID, PASSWORD, PORT.
    void setMarrowinFillsTheTemplateOnce_data()
    {
        QTest::addColumn<QStringList>("texts");
        QTest::addColumn<QString>("expected");
        const auto row = [](const char* tag, const QString& texts, const QString& expected) {
            const QStringList e = expected.split(u'|');
            QTest::newRow(tag) << texts.split(u'|') << filled(e[0], e[1], e[2], e[3], e[4]);
        };
        row("all filled", "mw.example|mwdb|mwuser|pw|3306", "mwdb|mw.example|mwuser|pw|3306");
        row("empty port removes the word", "h|d|u|p|", "d|h|u|p|");
        row("server holds a later word", "username.example|d|clerk|p|1",
            "d|clerk.example|clerk|p|1");
        row("database holds an earlier word", "h|servername|u|p|1", "servername|h|u|p|1");
        row("case-sensitive", "USERNAME|d|u|p|1", "d|USERNAME|u|p|1");
        row("inserted as is", "h|d|u|a;b\"c|1", "d|h|u|a;b\"c|1");
    }
    void setMarrowinFillsTheTemplateOnce()
    {
        QFETCH(QStringList, texts);
        const auto h = helper();
        const auto others = [&] {
            QStringList out;
            for (DataControl* c : h->dataControls())
                if (c != &h->adoMarrowin)
                    out << c->ConnectionString;
            return out;
        };
        const QStringList before = others();
        QString* fields[] = {&h->txtserverNAME, &h->txtdatabaseNAME, &h->txtuserNAME,
                             &h->txtpasswordNAME, &h->txtPortNumber};
        for (int i = 0; i < 5; ++i)
            *fields[i] = texts[i];
        h->SET_marrowin_ADO();
        QTEST(h->adoMarrowin.ConnectionString, "expected");
        QCOMPARE(others(), before);
        // The words are gone (unless a text brought one back): a second call changes nothing.
        if (h->adoMarrowin.ConnectionString.contains(
                QRegularExpression("servername|databasename|username|passwordname|portnumber")))
            return;
        for (QString* f : fields)
            *f = "other";
        h->SET_marrowin_ADO();
        QTEST(h->adoMarrowin.ConnectionString, "expected");
    }
};

QTEST_GUILESS_MAIN(FrmAdoHelperTest)
#include "tst_frmadohelper.moc"
