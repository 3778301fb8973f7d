#include "AuctionSaverCases.h"

#include <memory>

using savercases::contents;
using savercases::gridRows;
using savercases::seed;

// Stops the test server in the middle of a save: runs on its own (serially).
class AuctionSaverServerStopTest : public QObject
{
    Q_OBJECT

private:
    vesktest::MariaDbServer m_server;
    std::unique_ptr<vesktest::TestMariaDb> m_db;
    bool m_stopped = false;

    void startServer()
    {
        if (!m_stopped)
            return;
        QString output;
        const bool started = m_server.control(QStringLiteral("start"), &output);
        m_stopped = !started;
        QVERIFY2(started, qPrintable(output));
    }

private slots:
    void init()
    {
        VESK_REQUIRE_MARIADB(m_server);
        m_db = std::make_unique<vesktest::TestMariaDb>(m_server);
        VESK_VERIFY_OK(m_db->error());
        VESK_VERIFY_OK(m_db->loadSchema(QStringLiteral("item")));
    }

    void cleanup()
    {
        startServer(); // whatever happened, the other tests need the server
        m_db.reset();
    }

    void rowsBeforeTheStopStaySavedAndTheRestIsCounted()
    {
        VESK_VERIFY_OK(seed(m_db->db(), {"1|S1|1700000000", "2|S1|1700000000", "3|S1|1700000000",
                                         "4|S1|1700000000", "5|S1|1700000000"}));
        DataControl control(QStringLiteral("adoKBvesk1"), m_db->connectionString(), 2,
                            QStringLiteral("item"), nullptr);
        AuctionSaver saver(control, QStringLiteral("S1"));
        int rowsLookedAt = 0;
        // Back again for the last rows: a save that went on trying would write them.
        saver.beforeRow = [&](int row) {
            ++rowsLookedAt;
            if (row == 2) {
                QString output;
                m_stopped = m_server.control(QStringLiteral("stop"), &output);
                QVERIFY2(m_stopped, qPrintable(output));
            } else if (row == 3) {
                startServer();
            }
        };
        const AuctionSaveReport report = saver.save(gridRows(
            {"1|1800000001|1700000000", "2|1800000002|1700000000", "3|1800000003|1700000000",
             "4|1700000000|1700000000", "5|1800000005|1700000000"}));
        QVERIFY(!m_stopped);
        QCOMPARE(rowsLookedAt, 5);

        QCOMPARE(report.saved, 2);
        QVERIFY(report.connectionLost);
        QCOMPARE(report.failed.size(), 0);
        QCOMPARE(report.changedElsewhere.size(), 0);
        QCOMPARE(report.notAttempted, 2); // rows 3 and 5; row 4 had nothing to write
        const QString message = report.message();
        QVERIFY2(message.contains(QStringLiteral("Saved: 2 rows")), qPrintable(message));
        QVERIFY2(message.contains(QStringLiteral("2 more rows")), qPrintable(message));
        QVERIFY2(message.contains(QStringLiteral("stopped answering")), qPrintable(message));

        QSqlDatabase db = m_db->db();
        db.close();
        QVERIFY2(db.open(), qPrintable(db.lastError().text()));
        QCOMPARE(contents(db), (QStringList{"1|S1|1800000001", "2|S1|1800000002", "3|S1|1700000000",
                                            "4|S1|1700000000", "5|S1|1700000000"}));

        // The same control saves again at the next press of the button.
        saver.beforeRow = nullptr;
        const AuctionSaveReport again = saver.save(gridRows({"3|1800000003|1700000000"}));
        QCOMPARE(again.saved, 1);
        QVERIFY(!again.hasProblems());
    }
};

QTEST_GUILESS_MAIN(AuctionSaverServerStopTest)
#include "tst_auctionsaver_serverstop_mariadb.moc"
