#include "data/frmadoHelper.h"
#include "settings/GetSetupDICfile.h"

#include "TestSupport.h"

#include <QtTest>
#include <memory>

// The employee settings through the suite's ODBC data source ODBCCORVANDEL.
class SetupDicOdbcTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<vesktest::TestOdbcSource> m_source;
    std::unique_ptr<vesktest::TestInstallation> m_inst;
    std::unique_ptr<frmadoHelper> m_helper;

    void insertEmployee(int id, const QVariantMap& columns)
    {
        const QStringList names = QStringList{"EmployeeID"} + columns.keys();
        const QString marks = QStringList(names.size(), QStringLiteral("?")).join(u',');
        VESK_VERIFY_OK(vesktest::exec(
            m_source->db(),
            QStringLiteral("INSERT INTO employees (%1) VALUES (%2)").arg(names.join(u','), marks),
            QVariantList{id} + columns.values()));
    }
    // Fields not named in `changed` keep their values from before the run,
    // or their defaults for the SMS fields.
    void verifyFields(const QVariantMap& changed) const
    {
        const frmadoHelper& h = *m_helper;
        const QVariantMap actual{{"Tax1", h.Tax1},
                                 {"Tax1Name", h.Tax1Name},
                                 {"Tax2", h.Tax2},
                                 {"Tax2Name", h.Tax2Name},
                                 {"SMSDiscount", h.SMSDiscount},
                                 {"SMSRetailValue", h.SMSRetailValue},
                                 {"SMSReturnValue", h.SMSReturnValue},
                                 {"SMSDayEndPhone", h.SMSDayEndPhone},
                                 {"SMSDiscountPhone", h.SMSDiscountPhone},
                                 {"SMSItemDeletePhone", h.SMSItemDeletePhone},
                                 {"SMSLogInLogOutPhone", h.SMSLogInLogOutPhone},
                                 {"SMSRetailValuePhone", h.SMSRetailValuePhone},
                                 {"SMSReturnValuePhone", h.SMSReturnValuePhone}};
        QVariantMap expected{{"Tax1", 5},
                             {"Tax1Name", "old1"},
                             {"Tax2", 8},
                             {"Tax2Name", "old2"},
                             {"SMSDiscount", 100},
                             {"SMSRetailValue", 999999},
                             {"SMSReturnValue", 999999}};
        expected.insert(changed);
        for (auto it = actual.cbegin(); it != actual.cend(); ++it) {
            const QString is = it.value().toString();
            const QString wanted = expected.value(it.key()).toString();
            QVERIFY2(is == wanted, qPrintable(it.key() + ": " + is + " instead of " + wanted));
        }
    }

private slots:
    void init()
    {
        VESK_REQUIRE_ODBC();
        m_source = std::make_unique<vesktest::TestOdbcSource>();
        VESK_VERIFY_OK(m_source->error());
        m_inst = std::make_unique<vesktest::TestInstallation>();
        m_inst->useOdbcSuite();
        m_inst->writeConnections();
        m_helper = std::make_unique<frmadoHelper>(m_inst->installation());
        m_helper->Tax1 = 5;
        m_helper->Tax1Name = QStringLiteral("old1");
        m_helper->Tax2 = 8;
        m_helper->Tax2Name = QStringLiteral("old2");
        m_helper->SMSDiscount = 1;
        m_helper->SMSReturnValue = 3;
        m_helper->SMSDayEndPhone = m_helper->SMSReturnValuePhone = QStringLiteral("old");
    }

    void cleanup()
    {
        m_helper.reset();
        m_inst.reset();
        m_source.reset();
    }

    void onlyTheLowestEmployeeIdCounts()
    {
        QVariantMap row{{"SMSDiscount", 15},          {"SMSRetailValue", 2500},
                        {"SMSReturnValue", 300},      {"SMSDayEndPhone", "1"},
                        {"SMSDiscountPhone", "2"},    {"SMSItemDeletePhone", "3"},
                        {"SMSLogInLogOutPhone", "4"}, {"SMSRetailValuePhone", "5"},
                        {"SMSReturnValuePhone", "6"}};
        QVariantMap expected = row;
        row.insert({{"FedTax", 5.5}, {"FedName", "GST"}, {"ProTax", 7}, {"ProName", "PST"}});
        expected.insert({{"Tax1", 5.5}, {"Tax1Name", "GST"}, {"Tax2", 7}, {"Tax2Name", "PST"}});
        insertEmployee(7, {{"FedTax", 1.5}, {"FedName", "wrong"}, {"SMSDiscount", 11}});
        insertEmployee(2, row);
        insertEmployee(9, {{"FedTax", 9.0}, {"ProName", "wrong"}, {"SMSReturnValue", 99}});
        GetSetupDICfile(*m_helper, {});
        verifyFields(expected);
    }

    // Statements run first; the first row (none when it is empty after statements);
    // the fields that change.
    void nullOrMissingValuesKeepTaxesAndDefaultSms_data()
    {
        QTest::addColumn<QString>("statements");
        QTest::addColumn<QVariantMap>("row");
        QTest::addColumn<QVariantMap>("changed");
        QTest::newRow("SMSDiscount Null, SMSRetailValue 500")
            << "" << QVariantMap{{"SMSRetailValue", 500}, {"FedTax", 6}}
            << QVariantMap{{"SMSRetailValue", 500}, {"Tax1", 6}};
        QTest::newRow("everything Null") << "" << QVariantMap{} << QVariantMap{};
        QTest::newRow("empty texts are values, not Null")
            << "" << QVariantMap{{"FedName", ""}, {"SMSDiscountPhone", ""}, {"SMSReturnValue", 0}}
            << QVariantMap{{"Tax1Name", ""}, {"SMSReturnValue", 0}};
        QTest::newRow("text that is no number")
            << "" << QVariantMap{{"FedTax", "n/a"}, {"SMSRetailValue", "lots"}} << QVariantMap{};
        QTest::newRow("numbers stored as text")
            << "" << QVariantMap{{"FedTax", "7.25"}, {"SMSDiscount", "12"}}
            << QVariantMap{{"Tax1", 7.25}, {"SMSDiscount", 12}};
        QTest::newRow("missing columns")
            << "DROP TABLE employees;\nCREATE TABLE employees (EmployeeID INTEGER PRIMARY KEY, "
               "FedName TEXT, ProTax REAL, SMSRetailValue REAL, SMSDayEndPhone TEXT)"
            << QVariantMap{{"FedName", "GST"},
                           {"ProTax", 7.5},
                           {"SMSRetailValue", 640},
                           {"SMSDayEndPhone", "555-0111"}}
            << QVariantMap{{"Tax1Name", "GST"},
                           {"Tax2", 7.5},
                           {"SMSRetailValue", 640},
                           {"SMSDayEndPhone", "555-0111"}};
        QTest::newRow("empty employees table")
            << "DELETE FROM employees" << QVariantMap{} << QVariantMap{};
        QTest::newRow("no employees table")
            << "DROP TABLE employees" << QVariantMap{} << QVariantMap{};
    }
    void nullOrMissingValuesKeepTaxesAndDefaultSms()
    {
        QFETCH(QString, statements);
        QFETCH(QVariantMap, row);
        QFETCH(QVariantMap, changed);
        VESK_VERIFY_OK(vesktest::runSql(m_source->db(), statements));
        if (statements.isEmpty() || !row.isEmpty())
            insertEmployee(1, row);
        m_inst->writeFile(QStringLiteral("camerachoice.ini"), "XP\r\n");
        GetSetupDICfile(*m_helper, {});
        verifyFields(changed);
        // The steps between the two queries ran.
        QCOMPARE(m_helper->CameraChoice, QStringLiteral("XP"));
    }

    void sendsTheTwoEmployeeQueries()
    {
        insertEmployee(1, {{"FedName", "GST"}, {"SMSDiscount", 20}});
        GetSetupDICfile(*m_helper, {});
        QCOMPARE(m_helper->ado.engine(), DataControl::Engine::Odbc);
        QCOMPARE(m_helper->ado5.engine(), DataControl::Engine::Odbc);
        QCOMPARE(m_helper->ado.CommandType, 1);
        QCOMPARE(m_helper->ado.RecordSource,
                 QStringLiteral("SELECT * FROM employees ORDER BY EmployeeID"));
        QCOMPARE(m_helper->ado5.CommandType, 1);
        QCOMPARE(m_helper->ado5.RecordSource,
                 QStringLiteral("SELECT * FROM Employees ORDER BY EmployeeID"));
        // Both controls stay open on the employees rows.
        QCOMPARE(m_helper->ado.Recordset().RecordCount(), 1);
        QCOMPARE(m_helper->ado5.Recordset().Fields(QStringLiteral("SMSDiscount")).toDouble(), 20.0);
    }
};

QTEST_GUILESS_MAIN(SetupDicOdbcTest)
#include "tst_setupdic_odbc.moc"
