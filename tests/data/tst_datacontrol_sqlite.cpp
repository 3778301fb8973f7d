#include "DataControlBehaviour.h"

#include "data/ConnectionConfig.h"
#include "data/frmadoHelper.h"

#include <QProcess>

// The item table in an embedded SQLite file.
class SqliteFixture : public EngineFixture
{
public:
    QString create() override
    {
        m_dir = std::make_unique<QTemporaryDir>();
        m_db = std::make_unique<vesktest::TestSqliteDb>(
            m_dir->filePath(QStringLiteral("items.sqlite")), QStringList{QStringLiteral("item")});
        return m_db->error();
    }
    void destroy() override
    {
        m_db.reset();
        m_dir.reset();
    }
    QString connectionString() const override { return m_db->connectionString(); }
    QSqlDatabase other() const override { return m_db->db(); }

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<vesktest::TestSqliteDb> m_db;
};

class DataControlSqliteTest : public DataControlBehaviour
{
    Q_OBJECT
public:
    using DataControlBehaviour::DataControlBehaviour;

private slots:
    void missingDatabaseFileIsReportedNotCreated()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("absent.sqlite"));
        DataControl control(QStringLiteral("adoKBvesk2"),
                            QStringLiteral("DRIVER={SQLite3 ODBC Driver};DATABASE=%1").arg(file), 1,
                            QStringLiteral("SELECT * FROM item"), nullptr);
        try {
            control.Refresh();
            QFAIL("a missing file must not open");
        } catch (const DataError& e) {
            QVERIFY2(e.message().contains(file), qPrintable(e.message()));
            QVERIFY2(e.message().contains(QStringLiteral("does not exist")),
                     qPrintable(e.message()));
        }
        QVERIFY(!QFile::exists(file));
    }

    void configuredItemDatabaseAndSuiteReachTheirFiles()
    {
        vesktest::TestInstallation inst;
        vesktest::TestSqliteDb items(inst.path(QStringLiteral("items.sqlite")),
                                     {QStringLiteral("item")});
        vesktest::TestSqliteDb suite(inst.path(QStringLiteral("suite.sqlite")),
                                     {QStringLiteral("suite")});
        VESK_VERIFY_OK(items.error());
        VESK_VERIFY_OK(suite.error());
        VESK_VERIFY_OK(
            vesktest::exec(items.db(), QStringLiteral("INSERT INTO item (SKU) VALUES ('remote')")));
        VESK_VERIFY_OK(vesktest::exec(
            suite.db(),
            QStringLiteral("INSERT INTO employees (EmployeeID, FedName) VALUES (1, 'GST')")));
        inst.useSqlite(QStringLiteral("itemdb"), QStringLiteral("items.sqlite"));
        inst.useSqlite(QStringLiteral("suite"), QStringLiteral("suite.sqlite"));
        inst.writeConnections();

        frmadoHelper helper(inst.installation());
        query(helper.adoKBvesk2, QStringLiteral("SELECT * FROM item"));
        QCOMPARE(helper.adoKBvesk2.Recordset().Fields(QStringLiteral("SKU")).toString(),
                 QStringLiteral("remote"));
        for (DataControl* c : {&helper.ado, &helper.adoRemote}) {
            query(*c, QStringLiteral("SELECT * FROM employees ORDER BY EmployeeID"));
            QCOMPARE(c->Recordset().Fields(QStringLiteral("FedName")).toString(),
                     QStringLiteral("GST"));
            QVERIFY2(c->describe().contains(suite.filePath()), qPrintable(c->describe()));
        }
    }

    void helpersInOneProcessUseDistinctConnections()
    {
        vesktest::TestInstallation inst;
        vesktest::TestSqliteDb items(inst.path(QStringLiteral("items.sqlite")),
                                     {QStringLiteral("item")});
        inst.useSqlite(QStringLiteral("itemdb"), QStringLiteral("items.sqlite"));
        inst.writeConnections();
        auto first = std::make_unique<frmadoHelper>(inst.installation());
        frmadoHelper second(inst.installation());
        QSet<QString> names;
        for (frmadoHelper* h : {first.get(), &second})
            for (DataControl* c : h->dataControls())
                names.insert(c->connectionName());
        QCOMPARE(names.size(), 34);
        query(first->adoKBvesk2, QStringLiteral("SELECT * FROM item"));
        first.reset();
        query(second.adoKBvesk2, QStringLiteral("SELECT * FROM item"));
        QCOMPARE(second.adoKBvesk2.Recordset().RecordCount(), 0);
    }

    void runWideHelperEndsWithTheProcessCleanly();
};

namespace {
const char* const kStaticHelperRun = "--run-static-helper";

// Child run: the run-wide helper, with an open connection, kept until the process ends.
int runStaticHelper(const QString& dir)
{
    frmadoHelper::setDefaultInstallation(Installation(dir));
    DataControl& control = frmadoHelper::instance().adoKBvesk2;
    control.CommandType = 1;
    control.RecordSource = QStringLiteral("SELECT * FROM item");
    control.Refresh();
    return control.Recordset().RecordCount() == 0 ? 0 : 3;
}
} // namespace

void DataControlSqliteTest::runWideHelperEndsWithTheProcessCleanly()
{
    vesktest::TestInstallation inst;
    vesktest::TestSqliteDb items(inst.path(QStringLiteral("items.sqlite")),
                                 {QStringLiteral("item")});
    inst.useSqlite(QStringLiteral("itemdb"), QStringLiteral("items.sqlite"));
    inst.writeConnections();
    QProcess child;
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(QCoreApplication::applicationFilePath(),
                {QString::fromLatin1(kStaticHelperRun), inst.dir()});
    QVERIFY(child.waitForFinished(120000));
    QVERIFY2(child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0,
             child.readAll().constData());
}

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc == 3 && qstrcmp(argv[1], kStaticHelperRun) == 0)
        return runStaticHelper(QString::fromLocal8Bit(argv[2]));
    SqliteFixture fixture;
    DataControlSqliteTest test(&fixture);
    return QTest::qExec(&test, argc, argv);
}

#include "moc_DataControlBehaviour.cpp"
#include "tst_datacontrol_sqlite.moc"
