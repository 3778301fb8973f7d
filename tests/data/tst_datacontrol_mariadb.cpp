#include "DataControlBehaviour.h"

#include "data/frmadoHelper.h"

// The item table in a fresh database on the private MariaDB server.
class DataControlMariaDbTest : public DataControlBehaviour
{
    Q_OBJECT

    vesktest::MariaDbServer m_server;
    std::unique_ptr<vesktest::TestMariaDb> m_db;

    QString createDatabase() override
    {
        m_db = std::make_unique<vesktest::TestMariaDb>(m_server);
        return m_db->error().isEmpty() ? m_db->loadSchema("item") : m_db->error();
    }
    void dropDatabase() override { m_db.reset(); }
    QString connectionString() const override { return m_db->connectionString(); }
    QSqlDatabase other() const override { return m_db->db(); }
    QString floatType() const override { return QStringLiteral("FLOAT"); }

    std::unique_ptr<DataControl> controlWithOption(int option) const
    {
        return std::make_unique<DataControl>("adoKBvesk1", m_db->connectionString(option), 1,
                                             QString(), nullptr);
    }

private slots:
    void initTestCase() { VESK_REQUIRE_MARIADB(m_server); }

    void bigintReadsAs32BitOnlyWithOptionBit_data()
    {
        QTest::addColumn<int>("option");
        QTest::addColumn<qlonglong>("value");
        QTest::addColumn<int>("type");
        QTest::newRow("design options") << 16387 << 5LL << int(QMetaType::Int);
        QTest::newRow("bit alone") << 16384 << -7LL << int(QMetaType::Int);
        QTest::newRow("without the bit") << 3 << 5LL << int(QMetaType::LongLong);
        QTest::newRow("too big for 32 bits") << 16387 << 5000000000LL << int(QMetaType::LongLong);
    }
    void bigintReadsAs32BitOnlyWithOptionBit()
    {
        QFETCH(int, option);
        QFETCH(qlonglong, value);
        VESK_VERIFY_OK(sql("CREATE TABLE big (id INT PRIMARY KEY, n BIGINT NULL)"));
        VESK_VERIFY_OK(sql("INSERT INTO big VALUES (1, ?), (2, NULL)", {value}));
        auto control = controlWithOption(option);
        query(*control, "SELECT * FROM big ORDER BY id");
        const QVariant v = control->Recordset().Fields("n");
        QTEST(v.metaType().id(), "type");
        QCOMPARE(v.toLongLong(), value);
        control->Recordset().MoveNext();
        QVERIFY(control->Recordset().Fields("n").isNull());
    }

    void foundRowsOptionCountsUnchangedRowAsMatched_data()
    {
        QTest::addColumn<int>("option");
        QTest::addColumn<int>("affected");
        QTest::newRow("design options") << 16387 << 1;
        QTest::newRow("without the bit") << 16384 << 0;
    }
    void foundRowsOptionCountsUnchangedRowAsMatched()
    {
        QFETCH(int, option);
        VESK_VERIFY_OK(insertItems({"7|AB7|S"}));
        auto control = controlWithOption(option);
        query(*control, "UPDATE item SET auction_until_unix=0 WHERE CV_itemid=7");
        QTEST(control->RecordsAffected(), "affected");
        // Writing back the value the row holds succeeds either way.
        query(*control, "SELECT * FROM item WHERE CV_itemid=7");
        control->Recordset().setField("auction_until_unix", 0);
        control->Recordset().Update();
    }

    void closedPortFailsClearlyWithoutPassword()
    {
        DataControl control("adoKBvesk2",
                            QStringLiteral("Provider=MSDASQL.1;Extended Properties=\"DRIVER={MySQL "
                                           "ODBC 3.51 Driver};DATABASE=%1;SERVER=127.0.0.1;UID=%2;"
                                           "PASSWORD=%3;PORT=1;Option=16387\"")
                                .arg(m_db->name(), m_server.user, m_server.password),
                            1, "SELECT 1", nullptr);
        const QString error = vesktest::errorOf([&] { control.Refresh(); });
        VESK_VERIFY_CONTAINS(error, "cannot connect", "adoKBvesk2");
        QVERIFY2(!error.contains(m_server.password), "the password must not be shown");
        QVERIFY(!control.describe().contains(m_server.password));
    }

    void fourByteCharactersRoundTrip()
    {
        const QString text = QStringLiteral("Ring \U0001F48D \u00e9meraude");
        VESK_VERIFY_OK(insertItems({"1|" + text + "|S"}));
        query(*m_control, "SELECT * FROM item");
        QCOMPARE(rs().Fields("SKU").toString(), text);
        update("Description", text);
        QCOMPARE(read("SELECT Description FROM item").toString(), text);
    }

    void configuredItemDatabaseReachesTheServer()
    {
        vesktest::TestInstallation inst;
        inst.useMariaDb("itemdb", *m_db);
        inst.writeConnections();
        VESK_VERIFY_OK(insertItems({"3|AB3|S9"}));
        frmadoHelper helper(inst.installation());
        query(helper.adoKBvesk1, "SELECT * FROM item WHERE storeid='S9' AND CV_itemid=3");
        helper.adoKBvesk1.Recordset().setField("auction_until_unix", 1.7e9);
        helper.adoKBvesk1.Recordset().Update();
        QCOMPARE(read("SELECT auction_until_unix FROM item").toInt(), 1700000000);
        VESK_VERIFY_CONTAINS(helper.adoKBvesk1.describe(), m_db->name());
        QVERIFY(!helper.adoKBvesk1.describe().contains(m_server.password));
    }
};

QTEST_GUILESS_MAIN(DataControlMariaDbTest)
#include "moc_DataControlBehaviour.cpp"
#include "tst_datacontrol_mariadb.moc"
