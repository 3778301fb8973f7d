#include "DataControlBehaviour.h"

#include "data/frmadoHelper.h"

#include <QProcess>

// The item table in an embedded SQLite file.
class DataControlSqliteTest : public DataControlBehaviour
{
    Q_OBJECT

    std::unique_ptr<vesktest::TestInstallation> m_inst;
    std::unique_ptr<vesktest::TestSqliteDb> m_db;

    // The installation's item database, items.sqlite, configured in its cv_veskauction.ini.
    QString createDatabase() override
    {
        m_inst = std::make_unique<vesktest::TestInstallation>();
        m_db = std::make_unique<vesktest::TestSqliteDb>(m_inst->path("items.sqlite"),
                                                        QStringList{"item"});
        m_inst->useSqlite("itemdb", "items.sqlite");
        m_inst->writeConnections();
        return m_db->error();
    }
    void dropDatabase() override
    {
        m_db.reset();
        m_inst.reset();
    }
    QString connectionString() const override { return m_db->connectionString(); }
    QSqlDatabase other() const override { return m_db->db(); }

private slots:
    void missingDatabaseFileIsReportedNotCreated()
    {
        const QString file = m_inst->path("absent.sqlite");
        DataControl control("adoKBvesk2", "DRIVER={SQLite3 ODBC Driver};DATABASE=" + file, 1,
                            "SELECT * FROM item", nullptr);
        const QString error = vesktest::errorOf([&] { control.Refresh(); });
        VESK_VERIFY_CONTAINS(error, file, "does not exist");
        QVERIFY(!QFile::exists(file));
    }

    void configuredItemDatabaseAndSuiteReachTheirFiles()
    {
        vesktest::TestSqliteDb suite(m_inst->path("suite.sqlite"), {"suite"});
        VESK_VERIFY_OK(vesktest::exec(suite.db(), "INSERT INTO employees (EmployeeID, FedName) "
                                                  "VALUES (1, 'GST')"));
        VESK_VERIFY_OK(insertItems({"1|remote|S"}));
        m_inst->useSqlite("suite", "suite.sqlite");
        m_inst->writeConnections();
        frmadoHelper helper(m_inst->installation());
        query(helper.adoKBvesk2, "SELECT * FROM item");
        QCOMPARE(helper.adoKBvesk2.Recordset().Fields("SKU").toString(), "remote");
        for (DataControl* c : {&helper.ado, &helper.adoRemote}) {
            query(*c, "SELECT * FROM employees");
            QCOMPARE(c->Recordset().Fields("FedName").toString(), "GST");
            VESK_VERIFY_CONTAINS(c->describe(), suite.filePath());
        }
    }
};

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    DataControlSqliteTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "moc_DataControlBehaviour.cpp"
#include "tst_datacontrol_sqlite.moc"
