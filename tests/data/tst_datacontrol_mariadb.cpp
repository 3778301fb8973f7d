#include "DataControlBehaviour.h"

#include "data/ConnectionConfig.h"
#include "data/frmadoHelper.h"

// The item table in a fresh database on the private MariaDB server.
class MariaDbFixture : public EngineFixture
{
public:
    QString create() override
    {
        QString missing;
        if (!vesktest::MariaDbServer::fromEnvironment(&m_server, &missing))
            return QStringLiteral("MariaDB test environment missing (%1): run "
                                  "scripts/test-services.sh start DIR and source DIR/env.sh")
                .arg(missing);
        m_db = std::make_unique<vesktest::TestMariaDb>(m_server);
        if (!m_db->error().isEmpty())
            return m_db->error();
        return m_db->loadSchema(QStringLiteral("item"));
    }
    void destroy() override { m_db.reset(); }
    QString connectionString() const override { return m_db->connectionString(m_option); }
    QSqlDatabase other() const override { return m_db->db(); }
    // Single precision, so that reading back is not exact.
    QString noKeyTable() const override
    {
        return QStringLiteral("CREATE TABLE nokey (a INT NULL, price FLOAT NULL, note "
                              "VARCHAR(40) NULL)");
    }
    vesktest::TestMariaDb& db() { return *m_db; }
    void setOption(int option) { m_option = option; }

private:
    vesktest::MariaDbServer m_server;
    std::unique_ptr<vesktest::TestMariaDb> m_db;
    int m_option = ConnectionConfig::kDesignOptions;
};

class DataControlMariaDbTest : public DataControlBehaviour
{
    Q_OBJECT
public:
    explicit DataControlMariaDbTest(MariaDbFixture* fixture)
        : DataControlBehaviour(fixture), m_maria(fixture)
    {
    }

private:
    MariaDbFixture* m_maria;

    std::unique_ptr<DataControl> controlWithOption(int option)
    {
        m_maria->setOption(option);
        auto control = newControl(QStringLiteral("adoKBvesk1"));
        m_maria->setOption(ConnectionConfig::kDesignOptions);
        return control;
    }

private slots:
    void initTestCase()
    {
        vesktest::MariaDbServer server;
        VESK_REQUIRE_MARIADB(server);
    }

    void bigintReadsAs32BitOnlyWithOptionBit_data()
    {
        QTest::addColumn<int>("option");
        QTest::addColumn<qlonglong>("value");
        QTest::addColumn<int>("type");
        QTest::newRow("design options") << 16387 << 5LL << int(QMetaType::Int);
        QTest::newRow("bit alone") << 16384 << -7LL << int(QMetaType::Int);
        QTest::newRow("without the bit") << 3 << 5LL << int(QMetaType::LongLong);
        QTest::newRow("too big for 32 bits is kept whole")
            << 16387 << 5000000000LL << int(QMetaType::LongLong);
    }
    void bigintReadsAs32BitOnlyWithOptionBit()
    {
        QFETCH(int, option);
        QFETCH(qlonglong, value);
        QFETCH(int, type);
        VESK_VERIFY_OK(vesktest::exec(other(), QStringLiteral("CREATE TABLE big (id INT PRIMARY "
                                                              "KEY, n BIGINT NULL)")));
        VESK_VERIFY_OK(vesktest::exec(
            other(), QStringLiteral("INSERT INTO big VALUES (1, ?), (2, NULL)"), {value}));
        auto control = controlWithOption(option);
        query(*control, QStringLiteral("SELECT * FROM big ORDER BY id"));
        const QVariant v = control->Recordset().Fields(QStringLiteral("n"));
        QCOMPARE(v.metaType().id(), type);
        QCOMPARE(v.toLongLong(), value);
        control->Recordset().MoveNext();
        QVERIFY(control->Recordset().Fields(QStringLiteral("n")).isNull());
    }

    void foundRowsOptionCountsUnchangedRowAsMatched_data()
    {
        QTest::addColumn<int>("option");
        QTest::addColumn<int>("affected");
        QTest::newRow("design options") << 16387 << 1;
        QTest::newRow("return matching rows only") << 2 << 1;
        QTest::newRow("without the bit") << 16384 << 0;
    }
    void foundRowsOptionCountsUnchangedRowAsMatched()
    {
        QFETCH(int, option);
        QFETCH(int, affected);
        VESK_VERIFY_OK(
            insertItem(7, QStringLiteral("AB7"), {}, 1.0, 1700000000, QStringLiteral("S")));
        auto control = controlWithOption(option);
        query(*control,
              QStringLiteral("UPDATE item SET auction_until_unix=1700000000 WHERE CV_itemid=7"));
        QCOMPARE(control->RecordsAffected(), affected);
        // Writing back the value the row holds succeeds either way.
        query(*control, QStringLiteral("SELECT * FROM item WHERE CV_itemid=7"));
        control->Recordset().setField(QStringLiteral("auction_until_unix"), 1700000000.0);
        control->Recordset().Update();
    }

    void unreachableServerFailsClearlyWithoutPassword_data()
    {
        QTest::addColumn<QString>("server");
        QTest::addColumn<int>("port");
        QTest::addColumn<bool>("wrongPassword");
        QTest::newRow("closed port") << "127.0.0.1" << 1 << false;
        QTest::newRow("wrong password") << QString() << 0 << true;
    }
    void unreachableServerFailsClearlyWithoutPassword()
    {
        QFETCH(QString, server);
        QFETCH(int, port);
        QFETCH(bool, wrongPassword);
        const vesktest::MariaDbServer& real = m_maria->db().server();
        const QString password =
            wrongPassword ? QStringLiteral("Wrong-Secret-4711") : real.password;
        const QString cs =
            QStringLiteral("Provider=MSDASQL.1;Persist Security Info=False;Extended Properties=\""
                           "DRIVER={MySQL ODBC 3.51 Driver};DESC=;DATABASE=%1;SERVER=%2;UID=%3;"
                           "PASSWORD=%4;PORT=%5;Option=16387;Promt=complete;STMT=;\"")
                .arg(m_maria->db().name(), server.isEmpty() ? real.host : server, real.user,
                     password)
                .arg(port ? port : real.port);
        DataControl control(QStringLiteral("adoKBvesk2"), cs, 1, QStringLiteral("SELECT 1"),
                            nullptr);
        try {
            control.Refresh();
            QFAIL("the connection must fail");
        } catch (const DataError& e) {
            QVERIFY2(e.message().contains(QStringLiteral("cannot connect")),
                     qPrintable(e.message()));
            QVERIFY2(e.message().contains(QStringLiteral("adoKBvesk2")), qPrintable(e.message()));
            QVERIFY2(!e.message().contains(password), "the password must not be shown");
            QVERIFY2(!e.message().contains(real.password), "the password must not be shown");
        }
        QVERIFY(!control.describe().contains(password));
    }

    void fourByteCharactersRoundTrip()
    {
        const QString text = QStringLiteral("Ring \U0001F48D \u00e9meraude");
        VESK_VERIFY_OK(insertItem(1, QStringLiteral("A"), text, 1.0, 0, QStringLiteral("S")));
        query(*m_control, QStringLiteral("SELECT * FROM item"));
        QCOMPARE(m_control->Recordset().Fields(QStringLiteral("Description")).toString(), text);
        m_control->Recordset().setField(QStringLiteral("SKU"), text);
        m_control->Recordset().Update();
        QCOMPARE(read(QStringLiteral("SELECT SKU FROM item")).toString(), text);
    }

    void configuredItemDatabaseReachesTheServer()
    {
        vesktest::TestInstallation inst;
        inst.useMariaDb(QStringLiteral("itemdb"), m_maria->db());
        inst.writeConnections();
        VESK_VERIFY_OK(insertItem(3, QStringLiteral("AB3"), {}, 1.0, 0, QStringLiteral("S9")));
        frmadoHelper helper(inst.installation());
        for (DataControl* c : {&helper.adoKBvesk, &helper.adoKBvesk1, &helper.adoKBvesk2}) {
            QCOMPARE(c->engine(), DataControl::Engine::MySql);
            query(*c, QStringLiteral("SELECT * FROM item WHERE storeid LIKE 'S9' AND CV_itemid=3"));
            QCOMPARE(c->Recordset().RecordCount(), 1);
            QVERIFY(c->describe().contains(m_maria->db().name()));
            QVERIFY(!c->describe().contains(m_maria->db().server().password));
        }
        helper.adoKBvesk1.Recordset().setField(QStringLiteral("auction_until_unix"), 1700000000.0);
        helper.adoKBvesk1.Recordset().Update();
        QCOMPARE(
            read(QStringLiteral("SELECT auction_until_unix FROM item WHERE CV_itemid=3")).toInt(),
            1700000000);
    }
};

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    MariaDbFixture fixture;
    DataControlMariaDbTest test(&fixture);
    return QTest::qExec(&test, argc, argv);
}

#include "moc_DataControlBehaviour.cpp"
#include "tst_datacontrol_mariadb.moc"
