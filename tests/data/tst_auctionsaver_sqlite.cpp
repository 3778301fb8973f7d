#include "AuctionSaverCases.h"

#include "data/DataError.h"

#include <QTemporaryDir>
#include <memory>

using savercases::contents;
using savercases::gridRows;
using savercases::seed;

class AuctionSaverSqliteTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<vesktest::TestSqliteDb> m_db;
    std::unique_ptr<DataControl> m_control;

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        m_db = std::make_unique<vesktest::TestSqliteDb>(
            m_dir->filePath(QStringLiteral("items.sqlite")), QStringList{QStringLiteral("item")});
        VESK_VERIFY_OK(m_db->error());
        m_control =
            std::make_unique<DataControl>(QStringLiteral("adoKBvesk1"), m_db->connectionString(), 2,
                                          QStringLiteral("item"), nullptr);
    }

    void cleanup()
    {
        m_control.reset();
        m_db.reset();
        m_dir.reset();
    }

    void savesTheGridRows_data() { savercases::addSaveCases(); }
    void savesTheGridRows() { savercases::runSaveCase(*m_control, m_db->db()); }

    void changeByAnotherConnectionDuringTheSaveIsKeptAndReported()
    {
        VESK_VERIFY_OK(seed(m_db->db(), {"1|S1|1700000000", "2|S1|1700000000"}));
        AuctionSaver saver(*m_control, QStringLiteral("S1"));
        saver.beforeRow = [&](int row) {
            if (row == 1)
                vesktest::exec(m_db->db(), QStringLiteral("UPDATE item SET auction_until_unix = "
                                                          "1750000000 WHERE CV_itemid = 2"));
        };
        const AuctionSaveReport report =
            saver.save(gridRows({"1|1800000000|1700000000", "2|1800000000|1700000000"}));

        QCOMPARE(contents(m_db->db()), (QStringList{"1|S1|1800000000", "2|S1|1750000000"}));
        QCOMPARE(report.saved, 1);
        QCOMPARE(report.changedElsewhere.size(), 1);
        QCOMPARE(report.changedElsewhere[0].row, 1);
        QCOMPARE(report.changedElsewhere[0].itemId, QStringLiteral("2"));
        QVERIFY2(report.changedElsewhere[0].reason.contains(QStringLiteral("1750000000")),
                 qPrintable(report.changedElsewhere[0].reason));
        const QString message = report.message();
        QVERIFY2(message.contains(QStringLiteral("someone else")), qPrintable(message));
        QVERIFY2(message.contains(QStringLiteral("item 2 (row 2)")), qPrintable(message));
    }

    void rejectedUpdateFailsThatRowOnly()
    {
        VESK_VERIFY_OK(seed(m_db->db(), {"1|S1|1700000000", "2|S1|1700000000", "3|S1|1700000000"}));
        VESK_VERIFY_OK(vesktest::exec(
            m_db->db(), QStringLiteral("CREATE TRIGGER frozen BEFORE UPDATE ON item WHEN "
                                       "OLD.CV_itemid = 2 BEGIN SELECT RAISE(ABORT, 'item 2 is "
                                       "frozen'); END")));
        AuctionSaver saver(*m_control, QStringLiteral("S1"));
        const AuctionSaveReport report = saver.save(gridRows(
            {"1|1800000001|1700000000", "2|1800000002|1700000000", "3|1800000003|1700000000"}));

        QCOMPARE(contents(m_db->db()),
                 (QStringList{"1|S1|1800000001", "2|S1|1700000000", "3|S1|1800000003"}));
        QCOMPARE(report.saved, 2);
        QCOMPARE(report.failed.size(), 1);
        QCOMPARE(report.failed[0].itemId, QStringLiteral("2"));
        QVERIFY2(report.failed[0].reason.contains(QStringLiteral("frozen")),
                 qPrintable(report.failed[0].reason));
        QVERIFY(!report.connectionLost);
    }

    void unreachableDatabaseEndsTheSaveAndTheRestIsCounted()
    {
        const QString missing = m_dir->filePath(QStringLiteral("gone.sqlite"));
        DataControl control(
            QStringLiteral("adoKBvesk1"),
            QStringLiteral("DRIVER={SQLite3 ODBC Driver};DATABASE=%1;").arg(missing), 2,
            QStringLiteral("item"), nullptr);
        AuctionSaver saver(control, QStringLiteral("S1"));
        // The file turns up during the save: a save that went on trying would write rows.
        std::unique_ptr<vesktest::TestSqliteDb> late;
        saver.beforeRow = [&](int row) {
            if (row == 1) {
                late = std::make_unique<vesktest::TestSqliteDb>(
                    missing, QStringList{QStringLiteral("item")});
                seed(late->db(),
                     {"1|S1|1700000000", "2|S1|1700000000", "3|S1|1700000000", "4|S1|1700000000"});
            }
        };
        const AuctionSaveReport report = saver.save(
            gridRows({"1|1800000001|1700000000", "2|1700000000|1700000000",
                      "3|1800000003|1700000000", "4|1800000004|1700000000", "0|1800000000|1"}));

        QVERIFY(report.connectionLost);
        QVERIFY2(report.connectionError.contains(QStringLiteral("gone.sqlite")),
                 qPrintable(report.connectionError));
        QCOMPARE(report.saved, 0);
        QCOMPARE(report.failed.size(), 0);
        // The first row tried, the two other changed rows counted; row 2 had nothing to write.
        QCOMPARE(report.notAttempted, 3);
        QCOMPARE(contents(late->db()), (QStringList{"1|S1|1700000000", "2|S1|1700000000",
                                                    "3|S1|1700000000", "4|S1|1700000000"}));
        const QString message = report.message();
        QVERIFY2(message.contains(QStringLiteral("3 more rows")), qPrintable(message));
        QVERIFY2(message.contains(QStringLiteral("Saved: 0 rows")), qPrintable(message));
    }

    void messageLimitsLongLists()
    {
        AuctionSaveReport report;
        report.saved = 1;
        for (int i = 0; i < 20; ++i)
            report.failed.append({i, QString::number(100 + i), QStringLiteral("reason %1").arg(i)});
        const QString message = report.message();
        QVERIFY2(message.contains(QStringLiteral("Saved: 1 row.")), qPrintable(message));
        QVERIFY2(message.contains(QStringLiteral("item 100 (row 1): reason 0")),
                 qPrintable(message));
        QVERIFY2(message.contains(QStringLiteral("item 114 (row 15)")), qPrintable(message));
        QVERIFY2(!message.contains(QStringLiteral("item 115")), qPrintable(message));
        QVERIFY2(message.contains(QStringLiteral("and 5 more")), qPrintable(message));
    }

    void noProblemsMeansNoMessage()
    {
        AuctionSaveReport report;
        report.saved = 3;
        report.unchanged = 4;
        QVERIFY(!report.hasProblems());
        QVERIFY(report.message().isEmpty());
    }
};

QTEST_GUILESS_MAIN(AuctionSaverSqliteTest)
#include "tst_auctionsaver_sqlite.moc"
