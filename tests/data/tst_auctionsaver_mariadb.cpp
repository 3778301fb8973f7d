#include "AuctionSaverCases.h"

#include "data/DataError.h"

#include <memory>

using savercases::contents;
using savercases::gridRows;
using savercases::seed;

class AuctionSaverMariaDbTest : public QObject
{
    Q_OBJECT

private:
    vesktest::MariaDbServer m_server;
    std::unique_ptr<vesktest::TestMariaDb> m_db;
    std::unique_ptr<DataControl> m_control;

private slots:
    void init()
    {
        VESK_REQUIRE_MARIADB(m_server);
        m_db = std::make_unique<vesktest::TestMariaDb>(m_server);
        VESK_VERIFY_OK(m_db->error());
        VESK_VERIFY_OK(m_db->loadSchema(QStringLiteral("item")));
        m_control =
            std::make_unique<DataControl>(QStringLiteral("adoKBvesk1"), m_db->connectionString(), 2,
                                          QStringLiteral("item"), nullptr);
    }

    void cleanup()
    {
        m_control.reset();
        m_db.reset();
    }

    void savesTheGridRows_data() { savercases::addSaveCases(); }
    void savesTheGridRows() { savercases::runSaveCase(*m_control, m_db->db()); }

    // The server's collation finds "abc", "ABC" and "abc " alike; only the
    // exact one may change, even when it is not the first the server returns.
    void exactStoreIsFoundBehindCollationMatches_data()
    {
        QTest::addColumn<QString>("store");
        QTest::newRow("lower case last") << QStringLiteral("abc");
        QTest::newRow("upper case") << QStringLiteral("ABC");
        QTest::newRow("trailing blank") << QStringLiteral("abc ");
        QTest::newRow("umlaut") << QStringLiteral("äbc");
    }
    void exactStoreIsFoundBehindCollationMatches()
    {
        QFETCH(QString, store);
        const QStringList stores = {"ABC", "abc ", "äbc", "Äbc", "abc"};
        QStringList seeded;
        QStringList expected;
        for (const QString& s : stores) {
            seeded << QStringLiteral("9|%1|1700000000").arg(s);
            expected << QStringLiteral("9|%1|%2").arg(s, s == store ? "1800000000" : "1700000000");
        }
        VESK_VERIFY_OK(seed(m_db->db(), seeded));
        AuctionSaver saver(*m_control, store);
        const AuctionSaveReport report = saver.save(gridRows({"9|1800000000|1700000000"}));
        QCOMPARE(contents(m_db->db()), expected);
        QCOMPARE(report.saved, 1);
        QVERIFY(!report.hasProblems());
    }

    void rejectedUpdateFailsThatRowOnly()
    {
        VESK_VERIFY_OK(seed(m_db->db(), {"1|S1|1700000000", "2|S1|1700000000", "3|S1|1700000000"}));
        VESK_VERIFY_OK(vesktest::exec(
            m_db->db(), QStringLiteral("CREATE TRIGGER frozen BEFORE UPDATE ON item FOR EACH ROW "
                                       "BEGIN IF OLD.CV_itemid = 2 THEN SIGNAL SQLSTATE '45000' "
                                       "SET MESSAGE_TEXT = 'item 2 is frozen'; END IF; END")));
        AuctionSaver saver(*m_control, QStringLiteral("S1"));
        const AuctionSaveReport report = saver.save(gridRows(
            {"1|1800000001|1700000000", "2|1800000002|1700000000", "3|1800000003|1700000000"}));

        QCOMPARE(contents(m_db->db()),
                 (QStringList{"1|S1|1800000001", "2|S1|1700000000", "3|S1|1800000003"}));
        QCOMPARE(report.saved, 2);
        QCOMPARE(report.failed.size(), 1);
        QVERIFY2(report.failed[0].reason.contains(QStringLiteral("frozen")),
                 qPrintable(report.failed[0].reason));
        QVERIFY(!report.connectionLost);
    }

    void closedPortEndsTheSaveAndTheRestIsCounted()
    {
        // Nothing listens on port 1.
        DataControl control(QStringLiteral("adoKBvesk1"),
                            QStringLiteral("Provider=MSDASQL.1;Extended Properties=\"DRIVER={MySQL "
                                           "ODBC 3.51 Driver};DATABASE=%1;SERVER=%2;UID=%3;"
                                           "PASSWORD=x;PORT=1;Option=16387;\"")
                                .arg(m_db->name(), m_server.host, m_server.user),
                            2, QStringLiteral("item"), nullptr);
        AuctionSaver saver(control, QStringLiteral("S1"));
        const AuctionSaveReport report = saver.save(gridRows(
            {"1|1800000001|1700000000", "2|1800000002|1700000000", "3|1800000003|1700000000"}));
        QVERIFY(report.connectionLost);
        QCOMPARE(report.saved, 0);
        QCOMPARE(report.failed.size(), 0);
        QCOMPARE(report.notAttempted, 3);
    }
};

QTEST_GUILESS_MAIN(AuctionSaverMariaDbTest)
#include "tst_auctionsaver_mariadb.moc"
