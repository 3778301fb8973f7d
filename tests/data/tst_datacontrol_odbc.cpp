#include "DataControlBehaviour.h"

#include "data/frmadoHelper.h"

// The item table behind the ODBC data source ODBCCORVANDEL (SQLite driver).
class DataControlOdbcTest : public DataControlBehaviour
{
    Q_OBJECT

    std::unique_ptr<vesktest::TestOdbcSource> m_source;

    QString createDatabase() override
    {
        m_source = std::make_unique<vesktest::TestOdbcSource>(QStringList{"item"});
        return m_source->error();
    }
    void dropDatabase() override { m_source.reset(); }
    QString connectionString() const override { return QStringLiteral("DSN=ODBCCORVANDEL"); }
    QSqlDatabase other() const override { return m_source->db(); }

private slots:
    void initTestCase() { VESK_REQUIRE_ODBC(); }

    void everySpellingReachesTheSameSource_data()
    {
        QTest::addColumn<QString>("connectionString");
        QTest::newRow("upper case") << "DSN=ODBCCORVANDEL";
        QTest::newRow("mixed case") << "DSN=ODBCCorvandel";
        QTest::newRow("lower-case key, semicolon") << "dsn=ODBCCorvandel;";
    }
    void everySpellingReachesTheSameSource()
    {
        QFETCH(QString, connectionString);
        VESK_VERIFY_OK(insertItems({"5|SAME|S"}));
        DataControl control("adoRemote", connectionString, 1, QString(), nullptr);
        QCOMPARE(control.engine(), DataControl::Engine::Odbc);
        query(control, "SELECT * FROM item");
        QCOMPARE(control.Recordset().Fields("SKU").toString(), "SAME");
    }

    void suiteWithoutSqliteKeyUsesTheDataSource()
    {
        vesktest::TestOdbcSource suite; // suite tables behind the data source
        VESK_VERIFY_OK(suite.error());
        VESK_VERIFY_OK(vesktest::exec(suite.db(),
                                      "INSERT INTO employees (EmployeeID, FedName, "
                                      "SMSDiscount) VALUES (2, 'b', NULL), (1, 'a', 5)"));
        vesktest::TestInstallation inst;
        inst.useSqlite("itemdb", "items.sqlite");
        inst.useOdbcSuite();
        inst.writeConnections();
        frmadoHelper helper(inst.installation());
        for (DataControl* c : {&helper.ado, &helper.adoRemote}) {
            QCOMPARE(c->engine(), DataControl::Engine::Odbc);
            query(*c, "SELECT * FROM Employees ORDER BY EmployeeID");
            QCOMPARE(c->Recordset().Fields("SMSDiscount").toDouble(), 5.0);
            c->Recordset().MoveNext();
            QCOMPARE(c->Recordset().Fields("FedName").toString(), "b");
            QVERIFY(c->Recordset().Fields("SMSDiscount").isNull());
        }
    }

    // Qt's ODBC driver only warns about a connect option it or the driver refuses,
    // and opens the connection without it: the time-outs would be lost unseen.
    void connectOptionsAreTaken()
    {
        QTest::failOnWarning(QRegularExpression(QStringLiteral("QODBCDriver")));
        DataControl control("ado", "DSN=ODBCCORVANDEL", 1, "SELECT 1", nullptr);
        control.Refresh();
        QCOMPARE(control.Recordset().RecordCount(), 1);
    }

    void unknownDataSourceFailsClearly()
    {
        DataControl control("ado", "DSN=NOSUCHSOURCE", 1, "SELECT 1", nullptr);
        const QString error = vesktest::errorOf([&] { control.Refresh(); });
        VESK_VERIFY_CONTAINS(error, "NOSUCHSOURCE", "cannot connect");
    }
};

QTEST_GUILESS_MAIN(DataControlOdbcTest)
#include "moc_DataControlBehaviour.cpp"
#include "tst_datacontrol_odbc.moc"
