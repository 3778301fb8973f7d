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

    void sql(const QString& statement, const QVariantList& values = {})
    {
        VESK_VERIFY_OK(vesktest::exec(m_source->db(), statement, values));
    }
    void insertEmployee(int id, const QVariantMap& columns)
    {
        QStringList names{QStringLiteral("EmployeeID")};
        QStringList marks{QStringLiteral("?")};
        QVariantList values{id};
        for (auto it = columns.cbegin(); it != columns.cend(); ++it) {
            names << it.key();
            marks << QStringLiteral("?");
            values << it.value();
        }
        sql(QStringLiteral("INSERT INTO employees (%1) VALUES (%2)")
                .arg(names.join(QLatin1Char(',')), marks.join(QLatin1Char(','))),
            values);
    }
    void presetFields()
    {
        m_helper->Tax1 = 5;
        m_helper->Tax1Name = QStringLiteral("old1");
        m_helper->Tax2 = 8;
        m_helper->Tax2Name = QStringLiteral("old2");
        m_helper->SMSDiscount = 1;
        m_helper->SMSRetailValue = 2;
        m_helper->SMSReturnValue = 3;
        for (QString* phone : smsPhones())
            *phone = QStringLiteral("old");
    }
    QList<QString*> smsPhones()
    {
        return {&m_helper->SMSDayEndPhone,      &m_helper->SMSDiscountPhone,
                &m_helper->SMSItemDeletePhone,  &m_helper->SMSLogInLogOutPhone,
                &m_helper->SMSRetailValuePhone, &m_helper->SMSReturnValuePhone};
    }
    void run()
    {
        GetSetupDICfile(*m_helper, [](const QString&) {});
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
        presetFields();
    }
    void cleanup()
    {
        m_helper.reset();
        m_inst.reset();
        m_source.reset();
    }

    void onlyTheLowestEmployeeIdCounts()
    {
        insertEmployee(7, {{"FedTax", 1.5}, {"FedName", "wrong"}, {"SMSDiscount", 11}});
        insertEmployee(2, {{"FedTax", 5.0},
                           {"FedName", "GST"},
                           {"ProTax", 7.0},
                           {"ProName", "PST"},
                           {"SMSDiscount", 15},
                           {"SMSRetailValue", 2500},
                           {"SMSReturnValue", 300},
                           {"SMSDayEndPhone", "555-0101"},
                           {"SMSDiscountPhone", "555-0102"},
                           {"SMSItemDeletePhone", "555-0103"},
                           {"SMSLogInLogOutPhone", "555-0104"},
                           {"SMSRetailValuePhone", "555-0105"},
                           {"SMSReturnValuePhone", "555-0106"}});
        insertEmployee(9, {{"FedTax", 9.0}, {"ProName", "wrong"}, {"SMSReturnValue", 99}});
        run();
        QCOMPARE(m_helper->Tax1, 5.0);
        QCOMPARE(m_helper->Tax1Name, QStringLiteral("GST"));
        QCOMPARE(m_helper->Tax2, 7.0);
        QCOMPARE(m_helper->Tax2Name, QStringLiteral("PST"));
        QCOMPARE(m_helper->SMSDiscount, 15.0);
        QCOMPARE(m_helper->SMSRetailValue, 2500.0);
        QCOMPARE(m_helper->SMSReturnValue, 300.0);
        const QList<QString*> phones = smsPhones();
        for (int i = 0; i < phones.size(); ++i)
            QCOMPARE(*phones[i], QStringLiteral("555-010%1").arg(i + 1));
    }

    void nullColumnsKeepTaxesAndDefaultSms_data()
    {
        QTest::addColumn<QVariantMap>("row");
        QTest::addColumn<QVariantMap>("expected");
        QTest::newRow("SMSDiscount Null, SMSRetailValue 500")
            << QVariantMap{{"SMSRetailValue", 500}, {"FedTax", 6.0}}
            << QVariantMap{{"SMSDiscount", 100.0},       {"SMSRetailValue", 500.0},
                           {"SMSReturnValue", 999999.0}, {"Tax1", 6.0},
                           {"Tax1Name", "old1"},         {"Tax2", 8.0},
                           {"SMSDayEndPhone", ""}};
        QTest::newRow("everything Null")
            << QVariantMap{}
            << QVariantMap{{"SMSDiscount", 100.0},       {"SMSRetailValue", 999999.0},
                           {"SMSReturnValue", 999999.0}, {"Tax1", 5.0},
                           {"Tax1Name", "old1"},         {"Tax2", 8.0},
                           {"Tax2Name", "old2"},         {"SMSDayEndPhone", ""},
                           {"SMSReturnValuePhone", ""}};
        QTest::newRow("empty texts are values, not Null")
            << QVariantMap{{"FedName", ""}, {"SMSDiscountPhone", ""}, {"SMSReturnValue", 0}}
            << QVariantMap{{"Tax1Name", ""}, {"SMSDiscountPhone", ""}, {"SMSReturnValue", 0.0}};
        QTest::newRow("text that is no number")
            << QVariantMap{{"FedTax", "n/a"}, {"SMSRetailValue", "lots"}}
            << QVariantMap{{"Tax1", 5.0}, {"SMSRetailValue", 999999.0}};
        QTest::newRow("numbers stored as text")
            << QVariantMap{{"FedTax", "7.25"}, {"SMSDiscount", "12"}}
            << QVariantMap{{"Tax1", 7.25}, {"SMSDiscount", 12.0}};
    }
    void nullColumnsKeepTaxesAndDefaultSms()
    {
        QFETCH(QVariantMap, row);
        QFETCH(QVariantMap, expected);
        insertEmployee(1, row);
        run();
        const QHash<QString, double*> numbers = {{"Tax1", &m_helper->Tax1},
                                                 {"Tax2", &m_helper->Tax2},
                                                 {"SMSDiscount", &m_helper->SMSDiscount},
                                                 {"SMSRetailValue", &m_helper->SMSRetailValue},
                                                 {"SMSReturnValue", &m_helper->SMSReturnValue}};
        const QHash<QString, QString*> texts = {
            {"Tax1Name", &m_helper->Tax1Name},
            {"Tax2Name", &m_helper->Tax2Name},
            {"SMSDayEndPhone", &m_helper->SMSDayEndPhone},
            {"SMSDiscountPhone", &m_helper->SMSDiscountPhone},
            {"SMSReturnValuePhone", &m_helper->SMSReturnValuePhone}};
        for (auto it = expected.cbegin(); it != expected.cend(); ++it) {
            if (numbers.contains(it.key()))
                QCOMPARE(*numbers.value(it.key()), it.value().toDouble());
            else
                QCOMPARE(*texts.value(it.key()), it.value().toString());
        }
    }

    void missingColumnsKeepTaxesAndDefaultSms()
    {
        sql(QStringLiteral("DROP TABLE employees"));
        sql(QStringLiteral("CREATE TABLE employees (EmployeeID INTEGER PRIMARY KEY, FedName TEXT, "
                           "ProTax REAL, SMSRetailValue REAL, SMSDayEndPhone TEXT)"));
        sql(QStringLiteral("INSERT INTO employees VALUES (1, 'GST', 7.5, 640, '555-0111')"));
        run();
        QCOMPARE(m_helper->Tax1, 5.0);
        QCOMPARE(m_helper->Tax1Name, QStringLiteral("GST"));
        QCOMPARE(m_helper->Tax2, 7.5);
        QCOMPARE(m_helper->Tax2Name, QStringLiteral("old2"));
        QCOMPARE(m_helper->SMSDiscount, 100.0);
        QCOMPARE(m_helper->SMSRetailValue, 640.0);
        QCOMPARE(m_helper->SMSReturnValue, 999999.0);
        QCOMPARE(m_helper->SMSDayEndPhone, QStringLiteral("555-0111"));
        QCOMPARE(m_helper->SMSDiscountPhone, QString());
    }

    void noEmployeesKeepsTaxesAndDefaultsSms_data()
    {
        QTest::addColumn<QString>("statement");
        QTest::newRow("no employees table") << "DROP TABLE employees";
        QTest::newRow("empty employees table") << "DELETE FROM employees";
    }
    void noEmployeesKeepsTaxesAndDefaultsSms()
    {
        QFETCH(QString, statement);
        sql(statement);
        m_inst->writeFile(QStringLiteral("camerachoice.ini"), "XP\r\n");
        run();
        QCOMPARE(m_helper->Tax1, 5.0);
        QCOMPARE(m_helper->Tax1Name, QStringLiteral("old1"));
        QCOMPARE(m_helper->Tax2, 8.0);
        QCOMPARE(m_helper->Tax2Name, QStringLiteral("old2"));
        QCOMPARE(m_helper->SMSDiscount, 100.0);
        QCOMPARE(m_helper->SMSRetailValue, 999999.0);
        QCOMPARE(m_helper->SMSReturnValue, 999999.0);
        for (QString* phone : smsPhones())
            QCOMPARE(*phone, QString());
        // The steps between the two queries still ran.
        QCOMPARE(m_helper->CameraChoice, QStringLiteral("XP"));
    }

    void sendsTheTwoEmployeeQueries()
    {
        insertEmployee(1, {{"FedName", "GST"}, {"SMSDiscount", 20}});
        run();
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
        QCOMPARE(m_helper->ado5.Recordset().RecordCount(), 1);
        QCOMPARE(m_helper->ado5.Recordset().Fields(QStringLiteral("SMSDiscount")).toDouble(), 20.0);
    }
};

QTEST_GUILESS_MAIN(SetupDicOdbcTest)
#include "tst_setupdic_odbc.moc"
