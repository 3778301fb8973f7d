#include "AuctionSaverCases.h"

#include <QTemporaryDir>
#include <memory>

using namespace savercases;

class AuctionSaverSqliteTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<vesktest::TestSqliteDb> m_db;
    std::unique_ptr<DataControl> m_control;

    static std::unique_ptr<DataControl> control(const QString& file)
    {
        return std::make_unique<DataControl>(
            "adoKBvesk1", QStringLiteral("DRIVER={SQLite3 ODBC Driver};DATABASE=%1;").arg(file), 2,
            "item", nullptr);
    }

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        m_db = std::make_unique<vesktest::TestSqliteDb>(m_dir->filePath("items.sqlite"),
                                                        QStringList{"item"});
        VESK_VERIFY_OK(m_db->error());
        m_control = control(m_db->filePath());
    }
    void cleanup()
    {
        m_control.reset();
        m_db.reset();
        m_dir.reset();
    }

    void savesTheGridRows_data() { addSaveCases(); }
    void savesTheGridRows() { runSaveCase(*m_control, m_db->db()); }

    void rejectedUpdateFailsThatRowOnly()
    {
        VESK_VERIFY_OK(seed(m_db->db(), {"1|S1|1", "2|S1|1", "3|S1|1"}));
        VESK_VERIFY_OK(vesktest::exec(
            m_db->db(), QStringLiteral("CREATE TRIGGER frozen BEFORE UPDATE ON item WHEN "
                                       "OLD.CV_itemid = 2 BEGIN SELECT RAISE(ABORT, 'item 2 is "
                                       "frozen'); END")));
        const AuctionSaveReport report =
            AuctionSaver(*m_control, "S1").save(gridRows({"1|11|1", "2|22|1", "3|33|1"}));
        QCOMPARE(contents(m_db->db()), QStringList({"1|S1|11", "2|S1|1", "3|S1|33"}));
        QCOMPARE(outcome(report), "2/1/0");
        QCOMPARE(report.failed[0].itemId, "2");
        VESK_VERIFY_CONTAINS(report.failed[0].reason, "frozen");
        QVERIFY(!report.connectionLost);
    }

    void unreachableDatabaseEndsTheSaveAndTheRestIsCounted()
    {
        const auto gone = control(m_dir->filePath("gone.sqlite"));
        const AuctionSaveReport report =
            AuctionSaver(*gone, "S1")
                .save(gridRows({"1|11|1", "2|1|1", "3|33|1", "4|44|1", "0|55|1"}));
        QVERIFY(report.connectionLost);
        VESK_VERIFY_CONTAINS(report.connectionError, "gone.sqlite");
        QCOMPARE(outcome(report), "0/0/0");
        // The three changed rows; row 2 had nothing to write.
        QCOMPARE(report.notAttempted, 3);
        VESK_VERIFY_CONTAINS(report.message(false), "Not saved because of that: 3 rows",
                             "Saved: 0 rows", "still in the table");
    }

    void messageNamesEveryKindOfProblemAndCutsLongLists()
    {
        AuctionSaveReport report;
        report.saved = 1;
        for (int i = 0; i < 20; ++i)
            report.failed.append({i, QString::number(100 + i), QStringLiteral("reason %1").arg(i)});
        report.changedElsewhere.append({20, "7", "the database holds 5"});
        const QString message = report.message(true);
        VESK_VERIFY_CONTAINS(message, "Saved: 1 row.", "item 100 (row 1): reason 0",
                             "item 114 (row 15)", "and 5 more", "someone else",
                             "item 7 (row 21): the database holds 5");
        QVERIFY(!message.contains("item 115"));
    }
};

QTEST_GUILESS_MAIN(AuctionSaverSqliteTest)
#include "tst_auctionsaver_sqlite.moc"
