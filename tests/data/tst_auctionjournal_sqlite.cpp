#include "SaverRows.h"
#include "auction_core/AuctionJournal.h"
#include "data/DataControl.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <cstdlib>
#include <cstring>

using namespace saverrows;

namespace {
// A store id that needs quoting in the journal.
const QString kStore = QStringLiteral("S,\"1");
constexpr int kDiedAtUpdate = 3;

DataControl itemControl(const QString& file)
{
    return DataControl("adoKBvesk1",
                       QStringLiteral("DRIVER={SQLite3 ODBC Driver};DATABASE=%1;").arg(file), 2,
                       "item", nullptr);
}

// The child process: saves two rows and dies where the first update would be made.
int saveAndDie(const QString& databaseFile, const QString& journalFile)
{
    DataControl control = itemControl(databaseFile);
    const AuctionJournal journal(journalFile);
    AuctionSaver saver(control, kStore);
    saver.journal = &journal;
    saver.beforeRow = [](int) { std::_Exit(kDiedAtUpdate); };
    saver.save(gridRows({"1|11|1", "2|22|1"}));
    return 0;
}
} // namespace

// Every row a save writes is in the save journal, on the disk, before it is written.
class AuctionJournalTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

private slots:
    void journalHoldsTheRowsBeforeAnyUpdate()
    {
        vesktest::TestSqliteDb items(m_dir.filePath("died.sqlite"), {"item"});
        VESK_VERIFY_OK(items.error());
        VESK_VERIFY_OK(seed(items.db(), {"1|" + kStore + "|1", "2|" + kStore + "|1"}));
        // A line an earlier crash cut off: neither a row nor the start of the next.
        const QString journalFile = m_dir.filePath("died.csv");
        QFile torn(journalFile);
        QVERIFY(torn.open(QIODevice::WriteOnly));
        torn.write("save,time,store,item,sku,old_stamp,new_stamp\nx,2026-01-01T00:00:00Z,S1,1");
        torn.close();

        QProcess child;
        child.start(QCoreApplication::applicationFilePath(),
                    {"--save-and-die", items.filePath(), journalFile});
        QVERIFY(child.waitForFinished(30000));
        QCOMPARE(child.exitCode(), kDiedAtUpdate);

        QCOMPARE(contents(items.db()), QStringList({"1|" + kStore + "|1", "2|" + kStore + "|1"}));
        const AuctionJournal::Save last = AuctionJournal(journalFile).lastSave();
        VESK_VERIFY_OK(last.error);
        QCOMPARE(last.rows.size(), 2);
        for (int i = 0; i < 2; ++i) {
            const AuctionJournal::Row& row = last.rows[i];
            QCOMPARE(row.store, kStore);
            QCOMPARE(row.itemId, i + 1);
            QCOMPARE(row.oldStamp, std::optional<qint64>(1));
            QCOMPARE(row.newStamp, std::optional<qint64>(11 * (i + 1)));
            QCOMPARE(row.saveId, last.rows[0].saveId);
        }
    }

    void unwritableJournalStopsTheSaveBeforeAnyUpdate()
    {
        vesktest::TestSqliteDb items(m_dir.filePath("nojournal.sqlite"), {"item"});
        VESK_VERIFY_OK(items.error());
        VESK_VERIFY_OK(seed(items.db(), {"1|S1|1"}));
        DataControl control = itemControl(items.filePath());
        const AuctionJournal journal(m_dir.filePath("missing/folder/journal.csv"));
        AuctionSaver saver(control, "S1");
        saver.journal = &journal;
        const AuctionSaveReport report = saver.save(gridRows({"1|11|1"}));
        QCOMPARE(contents(items.db()), QStringList({"1|S1|1"}));
        QVERIFY(report.endedEarly());
        QCOMPARE(report.notAttempted, 1);
        VESK_VERIFY_CONTAINS(report.message(false), "Nothing was saved", "journal.csv",
                             "still in the table");
    }
};

int main(int argc, char** argv)
{
    if (argc == 4 && std::strcmp(argv[1], "--save-and-die") == 0) {
        QCoreApplication app(argc, argv);
        return saveAndDie(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]));
    }
    QCoreApplication app(argc, argv);
    AuctionJournalTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_auctionjournal_sqlite.moc"
