#include "AuctionSaverCases.h"

#include <memory>

using namespace savercases;

// Stops the test server in the middle of a save: runs on its own (serially).
class AuctionSaverServerStopTest : public QObject
{
    Q_OBJECT

    vesktest::MariaDbServer m_server;
    std::unique_ptr<vesktest::TestMariaDb> m_db;
    bool m_stopped = false;

    void server(const char* action, bool stopped)
    {
        QString output;
        QVERIFY2(m_server.control(QString::fromLatin1(action), &output), qPrintable(output));
        m_stopped = stopped;
    }

private slots:
    void initTestCase() { VESK_REQUIRE_MARIADB(m_server); }
    void init()
    {
        m_db = std::make_unique<vesktest::TestMariaDb>(m_server);
        VESK_VERIFY_OK(m_db->error());
        VESK_VERIFY_OK(m_db->loadSchema("item"));
    }
    void cleanup()
    {
        if (m_stopped) // whatever happened, the other tests need the server
            server("start", false);
        m_db.reset();
    }

    // Rows are written in one transaction: a connection lost in the middle
    // leaves none of them written, and none is tried on a new connection.
    void lostConnectionWritesNothingAndTheRestIsCounted()
    {
        VESK_VERIFY_OK(seed(m_db->db(), {"1|S1|1", "2|S1|1", "3|S1|1", "4|S1|1", "5|S1|1"}));
        DataControl control("adoKBvesk1", m_db->connectionString(), 2, "item", nullptr);
        AuctionSaver saver(control, "S1");
        int rowsTried = 0;
        // Back again for the last rows: a save that went on trying would write them.
        saver.beforeRow = [&](int row) {
            ++rowsTried;
            if (row == 2)
                server("stop", true);
            else if (row == 4)
                server("start", false);
        };
        const AuctionSaveReport report =
            saver.save(gridRows({"1|11|1", "2|22|1", "3|33|1", "4|1|1", "5|55|1"}));
        if (m_stopped)
            server("start", false);
        QCOMPARE(rowsTried, 3);
        QCOMPARE(outcome(report), "0/0/0");
        QVERIFY(report.connectionLost);
        QCOMPARE(report.notAttempted, 4); // row 4 had nothing to write
        VESK_VERIFY_CONTAINS(report.message(false), "Saved: 0 rows", "Not saved: 4 rows",
                             "lost the connection");

        QSqlDatabase db = m_db->db();
        db.close();
        QVERIFY2(db.open(), qPrintable(db.lastError().text()));
        QCOMPARE(contents(db), QStringList({"1|S1|1", "2|S1|1", "3|S1|1", "4|S1|1", "5|S1|1"}));

        // The same control saves again at the next press of the button.
        saver.beforeRow = nullptr;
        const AuctionSaveReport again =
            saver.save(gridRows({"1|11|1", "2|22|1", "3|33|1", "4|1|1", "5|55|1"}));
        QCOMPARE(outcome(again), "4/0/0");
        QVERIFY(!again.hasProblems());
        QCOMPARE(contents(db), QStringList({"1|S1|11", "2|S1|22", "3|S1|33", "4|S1|1", "5|S1|55"}));
    }
};

QTEST_GUILESS_MAIN(AuctionSaverServerStopTest)
#include "tst_auctionsaver_serverstop_mariadb.moc"
