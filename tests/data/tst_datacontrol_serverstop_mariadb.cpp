#include "TestSupport.h"
#include "data/DataControl.h"
#include "data/DataError.h"

#include <QtTest>
#include <memory>

// Stops and starts the private MariaDB server between queries of one data control.
class DataControlServerStopTest : public QObject
{
    Q_OBJECT

    vesktest::MariaDbServer m_server;
    std::unique_ptr<vesktest::TestMariaDb> m_db;
    std::unique_ptr<DataControl> m_control;

    void control(const QString& action)
    {
        QString output;
        QVERIFY2(m_server.control(action, &output),
                 qPrintable(QStringLiteral("%1 failed: %2").arg(action, output)));
    }
    void selectItems()
    {
        m_control->CommandType = 1;
        m_control->RecordSource = QStringLiteral("SELECT * FROM item WHERE CV_itemid=7");
        m_control->Refresh();
    }
    int storedStamp() const
    {
        return vesktest::scalar(
                   m_db->db(),
                   QStringLiteral("SELECT auction_until_unix FROM item WHERE CV_itemid=7"))
            .toInt();
    }

private slots:
    void initTestCase() { VESK_REQUIRE_MARIADB(m_server); }

    void init()
    {
        m_db = std::make_unique<vesktest::TestMariaDb>(m_server);
        VESK_VERIFY_OK(m_db->error());
        VESK_VERIFY_OK(m_db->loadSchema(QStringLiteral("item")));
        VESK_VERIFY_OK(
            vesktest::exec(m_db->db(), QStringLiteral("INSERT INTO item (CV_itemid, SKU, "
                                                      "storeid) VALUES (7, 'AB7', 'S')")));
        m_control = std::make_unique<DataControl>(QStringLiteral("adoKBvesk2"),
                                                  m_db->connectionString(), 1, QString(), nullptr);
    }

    void cleanup()
    {
        // Whatever happened, the server runs again for the next test.
        QString output;
        const bool started = m_server.control(QStringLiteral("start"), &output);
        m_control.reset();
        m_db.reset();
        QVERIFY2(started, qPrintable(output));
    }

    void stoppedServerFailsClearlyAndNextRefreshReconnects()
    {
        selectItems();
        QCOMPARE(m_control->Recordset().RecordCount(), 1);
        control(QStringLiteral("stop"));
        try {
            selectItems();
            QFAIL("a query on a stopped server must fail");
        } catch (const DataError& e) {
            QVERIFY2(e.message().contains(QStringLiteral("adoKBvesk2")), qPrintable(e.message()));
            QVERIFY2(e.message().contains(m_db->name()), qPrintable(e.message()));
            QVERIFY2(!e.message().contains(m_server.password), "the password must not be shown");
        }
        control(QStringLiteral("start"));
        selectItems();
        QCOMPARE(m_control->Recordset().RecordCount(), 1);
        m_control->Recordset().setField(QStringLiteral("auction_until_unix"), 1700000000.0);
        m_control->Recordset().Update();
        QCOMPARE(storedStamp(), 1700000000);
    }

    void restartWhileIdleGoesUnnoticed()
    {
        selectItems();
        control(QStringLiteral("stop"));
        control(QStringLiteral("start"));
        selectItems();
        QCOMPARE(m_control->Recordset().Fields(QStringLiteral("SKU")).toString(),
                 QStringLiteral("AB7"));
    }

    void updateOnLostConnectionFailsThenRefreshRecovers()
    {
        selectItems();
        control(QStringLiteral("stop"));
        control(QStringLiteral("start"));
        m_control->Recordset().setField(QStringLiteral("auction_until_unix"), 1700000000.0);
        try {
            m_control->Recordset().Update();
            QFAIL("an update on a lost connection must fail");
        } catch (const UpdateConflict& e) {
            QFAIL(qPrintable(QStringLiteral("a lost connection is no conflict: ") + e.message()));
        } catch (const DataError& e) {
            QVERIFY2(e.message().contains(QStringLiteral("adoKBvesk2")), qPrintable(e.message()));
        }
        QCOMPARE(storedStamp(), 0);
        selectItems();
        m_control->Recordset().setField(QStringLiteral("auction_until_unix"), 1700000000.0);
        m_control->Recordset().Update();
        QCOMPARE(storedStamp(), 1700000000);
    }
};

QTEST_GUILESS_MAIN(DataControlServerStopTest)
#include "tst_datacontrol_serverstop_mariadb.moc"
