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

    void server(const QString& action)
    {
        QString output;
        QVERIFY2(m_server.control(action, &output), qPrintable(action + ": " + output));
    }
    void selectItem()
    {
        m_control->CommandType = 1;
        m_control->RecordSource = "SELECT * FROM item";
        m_control->Refresh();
    }
    void writeStamp()
    {
        m_control->Recordset().setField("auction_until_unix", 1.7e9);
        m_control->Recordset().Update();
    }
    int storedStamp() const
    {
        return vesktest::scalar(m_db->db(), "SELECT auction_until_unix FROM item").toInt();
    }

private slots:
    void initTestCase() { VESK_REQUIRE_MARIADB(m_server); }
    void init()
    {
        m_db = std::make_unique<vesktest::TestMariaDb>(m_server);
        VESK_VERIFY_OK(m_db->error());
        VESK_VERIFY_OK(m_db->loadSchema("item"));
        VESK_VERIFY_OK(vesktest::exec(m_db->db(), "INSERT INTO item (CV_itemid) VALUES (7)"));
        m_control = std::make_unique<DataControl>("adoKBvesk2", m_db->connectionString(), 1,
                                                  QString(), nullptr);
        selectItem();
    }
    void cleanup()
    {
        // Whatever happened, the server runs again for the next test.
        QString output;
        const bool started = m_server.control("start", &output);
        m_control.reset();
        m_db.reset();
        QVERIFY2(started, qPrintable(output));
    }

    void stoppedServerFailsClearlyAndLaterRefreshesReconnect()
    {
        server("stop");
        const QString error = vesktest::errorOf([&] { selectItem(); });
        VESK_VERIFY_CONTAINS(error, "adoKBvesk2", m_db->name());
        QVERIFY2(!error.contains(m_server.password), "the password must not be shown");
        server("start");
        selectItem();
        // A restart while idle goes unnoticed.
        server("stop");
        server("start");
        selectItem();
        writeStamp();
        QCOMPARE(storedStamp(), 1700000000);
    }

    void updateOnLostConnectionFailsThenRefreshRecovers()
    {
        server("stop");
        server("start");
        try {
            writeStamp();
            QFAIL("an update on a lost connection must fail");
        } catch (const UpdateConflict& e) {
            QFAIL(qPrintable("a lost connection is no conflict: " + e.message()));
        } catch (const DataError& e) {
            VESK_VERIFY_CONTAINS(e.message(), "adoKBvesk2");
        }
        QCOMPARE(storedStamp(), 0);
        selectItem();
        writeStamp();
        QCOMPARE(storedStamp(), 1700000000);
    }
};

QTEST_GUILESS_MAIN(DataControlServerStopTest)
#include "tst_datacontrol_serverstop_mariadb.moc"
