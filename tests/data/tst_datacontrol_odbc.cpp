#include "DataControlBehaviour.h"

#include "data/ConnectionConfig.h"
#include "data/frmadoHelper.h"

// The item table behind the ODBC data source ODBCCORVANDEL (SQLite driver).
class OdbcFixture : public EngineFixture
{
public:
    QString create() override
    {
        m_source = std::make_unique<vesktest::TestOdbcSource>(QStringList{QStringLiteral("item")});
        return m_source->error();
    }
    void destroy() override { m_source.reset(); }
    QString connectionString() const override { return QStringLiteral("DSN=ODBCCORVANDEL"); }
    QSqlDatabase other() const override { return m_source->db(); }
    vesktest::TestOdbcSource& source() { return *m_source; }

private:
    std::unique_ptr<vesktest::TestOdbcSource> m_source;
};

class DataControlOdbcTest : public DataControlBehaviour
{
    Q_OBJECT
public:
    explicit DataControlOdbcTest(OdbcFixture* fixture)
        : DataControlBehaviour(fixture), m_odbc(fixture)
    {
    }

private:
    OdbcFixture* m_odbc;

private slots:
    void initTestCase() { VESK_REQUIRE_ODBC(); }

    void everySpellingReachesTheSameSource_data()
    {
        QTest::addColumn<QString>("connectionString");
        QTest::newRow("upper case") << "DSN=ODBCCORVANDEL";
        QTest::newRow("mixed case") << "DSN=ODBCCorvandel";
        QTest::newRow("lower-case key") << "dsn=ODBCCorvandel";
        QTest::newRow("trailing semicolon") << "DSN=ODBCCORVANDEL;";
    }
    void everySpellingReachesTheSameSource()
    {
        QFETCH(QString, connectionString);
        VESK_VERIFY_OK(insertItem(5, QStringLiteral("SAME"), {}, 1.0, 0, QStringLiteral("S")));
        DataControl control(QStringLiteral("adoRemote"), connectionString, 1, QString(), nullptr);
        QCOMPARE(control.engine(), DataControl::Engine::Odbc);
        query(control, QStringLiteral("SELECT * FROM item"));
        QCOMPARE(control.Recordset().RecordCount(), 1);
        QCOMPARE(control.Recordset().Fields(QStringLiteral("SKU")).toString(),
                 QStringLiteral("SAME"));
    }

    void suiteWithoutSqliteKeyUsesTheDataSource()
    {
        vesktest::TestOdbcSource suite; // suite tables behind the data source
        VESK_VERIFY_OK(suite.error());
        VESK_VERIFY_OK(vesktest::exec(
            suite.db(), QStringLiteral("INSERT INTO employees (EmployeeID, FedName, SMSDiscount) "
                                       "VALUES (2, 'second', NULL), (1, 'first', 5)")));
        vesktest::TestInstallation inst;
        inst.useSqlite(QStringLiteral("itemdb"), QStringLiteral("items.sqlite"));
        inst.useOdbcSuite();
        inst.writeConnections();
        frmadoHelper helper(inst.installation());
        for (DataControl* c : {&helper.ado, &helper.ado5, &helper.adoGetPic, &helper.Adodc1}) {
            QCOMPARE(c->engine(), DataControl::Engine::Odbc);
            query(*c, QStringLiteral("SELECT * FROM Employees ORDER BY EmployeeID"));
            QCOMPARE(c->Recordset().RecordCount(), 2);
            QCOMPARE(c->Recordset().Fields(QStringLiteral("FedName")).toString(),
                     QStringLiteral("first"));
            QCOMPARE(c->Recordset().Fields(QStringLiteral("SMSDiscount")).toDouble(), 5.0);
            c->Recordset().MoveNext();
            QVERIFY(c->Recordset().Fields(QStringLiteral("SMSDiscount")).isNull());
        }
    }

    void unknownDataSourceFailsClearly()
    {
        DataControl control(QStringLiteral("ado"), QStringLiteral("DSN=NOSUCHSOURCE"), 1,
                            QStringLiteral("SELECT 1"), nullptr);
        try {
            control.Refresh();
            QFAIL("an unknown data source must fail");
        } catch (const DataError& e) {
            QVERIFY2(e.message().contains(QStringLiteral("NOSUCHSOURCE")), qPrintable(e.message()));
            QVERIFY2(e.message().contains(QStringLiteral("cannot connect")),
                     qPrintable(e.message()));
        }
    }
};

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    OdbcFixture fixture;
    DataControlOdbcTest test(&fixture);
    return QTest::qExec(&test, argc, argv);
}

#include "moc_DataControlBehaviour.cpp"
#include "tst_datacontrol_odbc.moc"
