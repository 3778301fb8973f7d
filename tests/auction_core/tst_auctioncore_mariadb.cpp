// The save of the grid's ends on every item database, its journal, the rows
// the listing makes of what it reads and the model that holds them with the
// clerk's pending ends. Database rows are written
// "CV_itemid|storeid|auction_until_unix", grid rows "item|stamp shown|listed
// stamp[|listed store]"; NULL (or nothing) stands for none. The outcome is
// "saved/failed/changed elsewhere".
#include "TcpRelay.h"
#include "TestSupport.h"
#include "auction_core/AuctionJournal.h"
#include "auction_core/AuctionSaver.h"
#include "auction_core/ItemTableModel.h"
#include "auction_core/ListingQuery.h"
#include "data/DataControl.h"

#include <QAbstractItemModelTester>
#include <QBrush>
#include <QProcess>
#include <QSqlError>
#include <QSqlQuery>
#include <QtTest>

#include <cstdlib>
#include <cstring>
#include <memory>

using vesktest::Engine;

namespace {
QVariant field(const QString& text)
{
    return text == QLatin1String("NULL") ? QVariant() : QVariant(text);
}

QString seed(QSqlDatabase db, const QStringList& rows)
{
    QList<QVariantList> values;
    for (const QString& row : rows)
        values << QVariantList{field(row.section('|', 0, 0)), field(row.section('|', 2, 2)),
                               field(row.section('|', 1, 1)), "SKU"};
    return vesktest::insertRows(db, "item", {"CV_itemid", "auction_until_unix", "storeid", "SKU"},
                                values);
}

// The item table in the seed form, in the order of insertion.
QStringList contents(QSqlDatabase db)
{
    QStringList out;
    QSqlQuery q(db);
    if (!q.exec("SELECT CV_itemid, storeid, auction_until_unix FROM item ORDER BY id"))
        return {"query failed: " + q.lastError().text()};
    while (q.next()) {
        QStringList f;
        for (int i = 0; i < 3; ++i)
            f << (q.isNull(i) ? QStringLiteral("NULL") : q.value(i).toString());
        out << f.join(u'|');
    }
    return out;
}

QVector<AuctionRow> gridRows(const QStringList& rows)
{
    QVector<AuctionRow> out;
    for (const QString& row : rows) {
        const QStringList f = row.split(u'|');
        AuctionRow r;
        const auto number = [](const QString& text) {
            return text.isEmpty() ? std::nullopt : std::optional<qint64>(text.toLongLong());
        };
        r.itemId = number(f.value(0));
        r.stamp = number(f.value(1));
        if (f.value(2) != QLatin1String("NULL"))
            r.listedStamp = f.value(2).toLongLong();
        r.storeListed = f.size() > 3;
        if (r.storeListed && f[3] != QLatin1String("NULL"))
            r.listedStore = f[3];
        out << r;
    }
    return out;
}

QString outcome(const AuctionSaveReport& report)
{
    return QStringLiteral("%1/%2/%3")
        .arg(report.saved)
        .arg(report.failed.size())
        .arg(report.changedElsewhere.size());
}
// A store id that needs quoting in the journal.
const QString kStore = QStringLiteral("S,\"1");
constexpr int kDiedAtUpdate = 3;

std::unique_ptr<DataControl> itemControl(const QString& connectionString)
{
    return std::make_unique<DataControl>("adoKBvesk1", connectionString, DataControl::kTableName,
                                         "item", nullptr);
}

// Saves two rows with a journal; the child process dies where the first update would be made.
AuctionSaveReport saveWithJournal(const QString& itemFile, const QString& journalFile,
                                  bool dies = false)
{
    const auto control = itemControl("DRIVER={SQLite3 ODBC Driver};DATABASE=" + itemFile);
    const AuctionJournal journal(journalFile);
    AuctionSaver saver(*control, kStore);
    saver.journal = &journal;
    if (dies)
        saver.beforeRow = [](int) { std::_Exit(kDiedAtUpdate); };
    return saver.save(gridRows({"1|11|1", "2|22|1"}));
}
} // namespace

class AuctionSaverTest : public QObject
{
    Q_OBJECT
public:
    // `odbc`: through the ODBC data source (an SQLite file), for its driver's
    // transactions and counts of changed rows.
    explicit AuctionSaverTest(Engine engine, bool odbc = false) : m_engine(engine), m_odbc(odbc) {}

private:
    Engine m_engine;
    bool m_odbc;
    std::unique_ptr<vesktest::TestInstallation> m_inst;
    std::unique_ptr<vesktest::ItemDatabase> m_db;
    std::unique_ptr<vesktest::TestOdbcSource> m_source;
    std::unique_ptr<DataControl> m_control;

    QSqlDatabase db() const { return m_source ? m_source->db() : m_db->db(); }
    // Items 1 to 3 of S1 saved with new ends, journaled.
    void saveThree(const AuctionJournal& journal, AuctionSaveReport* report)
    {
        VESK_VERIFY_OK(seed(db(), {"1|S1|1", "2|S1|1", "3|S1|1"}));
        AuctionSaver saver(*m_control, "S1");
        saver.journal = &journal;
        *report = saver.save(gridRows({"1|11|1", "2|22|1", "3|33|1"}));
    }

private slots:
    void init()
    {
        m_inst = std::make_unique<vesktest::TestInstallation>();
        if (m_odbc) {
            m_source = std::make_unique<vesktest::TestOdbcSource>(QStringList{"item"});
            VESK_VERIFY_OK(m_source->error());
        } else {
            m_db = std::make_unique<vesktest::ItemDatabase>(m_engine, *m_inst);
            VESK_VERIFY_OK(m_db->error());
        }
        m_control = itemControl(m_odbc ? "DSN=ODBCCORVANDEL" : m_db->connectionString());
    }
    void cleanup()
    {
        m_control.reset();
        m_source.reset();
        m_db.reset();
    }

    void savesTheGridRows_data()
    {
        QTest::addColumn<QStringList>("seedRows");
        QTest::addColumn<QStringList>("grid");
        QTest::addColumn<QStringList>("expected");
        QTest::addColumn<QString>("outcome");
        QTest::addColumn<QString>("store");
        QTest::addColumn<QString>("message"); // a part of the report's text
        const auto row = [](const char* tag, const QStringList& seedRows, const QStringList& grid,
                            const QStringList& expected, const char* outcome,
                            const QString& store = "S1", const char* message = "") {
            QTest::newRow(tag) << seedRows << grid << expected << QString(outcome) << store
                               << QString(message);
        };
        const QStringList one = {"1|S1|1"}, newer = {"1|S1|5"}, written = {"1|S1|9"};

        row("rows without item number or stamp are skipped", one,
            {"|9|1", "0|9|1", "1||1", "1|0|1"}, one, "0/0/0");
        row("negative stamp is written", one, {"1|-100|1"}, {"1|S1|-100"}, "1/0/0");
        row("numbers beyond 32 bits fail, later rows still saved", one,
            {"99999999999|9|1", "1|5000000000|1", "1|9|1"}, written, "1/2/0");
        row("untouched stamp beyond 32 bits is no failure", one, {"1|4102444800|4102444800"}, one,
            "0/0/0");
        // Nobody else's newer end is lost.
        row("unchanged row keeps a newer value", newer, {"1|1|1"}, newer, "0/0/0");
        row("changed row not written over a newer value", newer, {"1|9|1"}, newer, "0/0/1");
        row("value already held counts as saved", written, {"1|9|1"}, written, "1/0/0");
        row("NULL read, NULL still held", {"1|S1|NULL"}, {"1|9|NULL"}, written, "1/0/0");
        row("NULL read, value now held", newer, {"1|9|NULL"}, newer, "0/0/1");
        row("repeated item written in grid order", one, {"1|8|1", "1|9|1"}, written, "2/0/0");
        row("repeated item: an untouched later row does not undo the edit", one, {"1|9|1", "1|1|1"},
            written, "1/0/0");
        row("several items, each its own row", {"1|S1|1", "2|S1|1", "3|S1|1"}, {"3|7|1", "1|9|1"},
            {"1|S1|9", "2|S1|1", "3|S1|7"}, "2/0/0");

        // The store is matched as the server's LIKE compares a text without
        // wildcards: case as the collation says, trailing blanks and every other
        // character as they are, nothing of it in the statement text.
        const QStringList sevens = {"7|Store7|1", "7|S_7 |1", "7|SX7|1"};
        row("store7 writes the row of Store7", sevens, {"7|9|1|Store7"},
            {"7|Store7|9", "7|S_7 |1", "7|SX7|1"}, "1/0/0", "store7");
        row("S_7 matches neither S_7 with a blank nor SX7", sevens, {"7|9|1"}, sevens, "0/1/0",
            "S_7", "store \"S_7\" has no item 7");
        row("store id named in the report as it is", one, {"1|9|1"}, one, "0/1/0", "%1",
            "store \"%1\" has no item 1");
        row("store ids differing in case: none written", {"7|Store7|1", "7|STORE7|1"}, {"7|9|1"},
            {"7|Store7|1", "7|STORE7|1"}, "0/1/0", "store7", "2 rows");
        // Another store's row with the same item number is not written for this one.
        const QStringList twoStores = {"7|S1|1", "7|S2|1", "7|NULL|1"};
        row("row listed for another store", twoStores, {"7|9|1|S2"}, twoStores, "0/1/0", "S1",
            "it belongs to store \"S2\", not to store \"S1\"");
        row("row listed without a store", twoStores, {"7|9|1|NULL"}, twoStores, "0/1/0", "S1",
            "it belongs to no store");

        // Each store follows the stores it would match as a pattern or were its
        // text cut or folded; case folding beyond ASCII differs between engines.
        const QStringList stores = {"10%",  "100", "1_4",          "104", "O'Brien", "back\\slash",
                                    "abc ", "abc", "x' OR '1'='1", "a!b", "a!%b",    "Müller"};
        QStringList seedAll;
        for (const QString& store : stores)
            seedAll << "7|" + store + "|1";
        for (const QString& store : stores) {
            QStringList expected = seedAll;
            expected[stores.indexOf(store)] = "7|" + store + "|9";
            row(qPrintable("store \"" + store + "\" changes only its own item"), seedAll, {"7|9|1"},
                expected, "1/0/0", store);
        }
        for (const QString store : {"10", "%", "_bc", "abc\\", "abc  ", "a!", "!"})
            row(qPrintable("store \"" + store + "\" matches no item"), seedAll, {"7|9|1"}, seedAll,
                "0/1/0", store);
    }
    void savesTheGridRows()
    {
        QFETCH(QStringList, seedRows);
        QFETCH(QString, store);
        QFETCH(QStringList, grid);
        QFETCH(QString, message);
        VESK_VERIFY_OK(seed(db(), seedRows));
        const AuctionSaveReport report = AuctionSaver(*m_control, store).save(gridRows(grid));
        QTEST(contents(db()), "expected");
        QTEST(outcome(report), "outcome");
        QVERIFY(!report.connectionLost);
        QCOMPARE(report.message(true).isEmpty(), !report.hasProblems());
        VESK_VERIFY_CONTAINS(report.message(true), message);
    }

    // An end someone else writes between the save's read and its update stays.
    void endWrittenMeanwhileIsNotOverwritten()
    {
        VESK_VERIFY_OK(seed(db(), {"1|S1|1", "2|S1|1"}));
        AuctionSaver saver(*m_control, "S1");
        saver.beforeRow = [this](int row) {
            if (row == 0)
                vesktest::exec(db(), "UPDATE item SET auction_until_unix = 5");
        };
        const AuctionSaveReport report = saver.save(gridRows({"1|9|1", "2|9|1"}));
        QCOMPARE(contents(db()), QStringList({"1|S1|5", "2|S1|5"}));
        QCOMPARE(outcome(report), "0/0/2");
    }

    // The row the server refuses is told apart; the journal records only the
    // rows written, so undoing twice never writes the refused row's end.
    void rejectedRowIsNeitherSavedNorUndone()
    {
        VESK_VERIFY_OK(vesktest::exec(
            db(), m_engine == Engine::Sqlite
                      ? "CREATE TRIGGER frozen BEFORE UPDATE ON item WHEN OLD.CV_itemid = 2 "
                        "BEGIN SELECT RAISE(ABORT, 'item 2 is frozen'); END"
                      : "CREATE TRIGGER frozen BEFORE UPDATE ON item FOR EACH ROW BEGIN IF "
                        "OLD.CV_itemid = 2 THEN SIGNAL SQLSTATE '45000' SET MESSAGE_TEXT = "
                        "'item 2 is frozen'; END IF; END"));
        const AuctionJournal journal(m_inst->path("journal.csv"));
        AuctionSaveReport report;
        saveThree(journal, &report);
        QCOMPARE(contents(db()), QStringList({"1|S1|11", "2|S1|1", "3|S1|33"}));
        QCOMPARE(outcome(report), "2/1/0");
        QCOMPARE(report.failed[0].itemId, "2");
        VESK_VERIFY_CONTAINS(report.failed[0].reason, "frozen");

        VESK_VERIFY_OK(vesktest::exec(db(), "DROP TRIGGER frozen"));
        for (const char* after : {"1|S1|1 2|S1|1 3|S1|1", "1|S1|11 2|S1|1 3|S1|33"}) {
            const QVector<AuctionJournal::Row> written = journal.lastSave().written();
            AuctionSaver undo(*m_control, written.value(0).store);
            undo.journal = &journal;
            QCOMPARE(outcome(undo.write(AuctionSaver::undoOf(written))), "2/0/0");
            QCOMPARE(contents(db()).join(' '), after);
        }
    }

    // The connection drops as the commit goes out, or after (its answer lost):
    // the report and the journal's written records say what the database holds.
    void lostCommitIsReportedAsTheDatabaseHoldsIt_data()
    {
        QTest::addColumn<bool>("forwarded");
        QTest::addColumn<int>("saved");
        QTest::newRow("dropped before the commit reached the server") << false << 0;
        QTest::newRow("commit's answer lost") << true << 3;
    }
    void lostCommitIsReportedAsTheDatabaseHoldsIt()
    {
        QFETCH(bool, forwarded);
        QFETCH(int, saved);
        if (m_engine != Engine::MariaDb)
            QSKIP("the relay stands between the program and a server");
        vesktest::MariaDbServer server;
        VESK_VERIFY_OK(server.fromEnvironment());
        vesktest::TcpRelay relay(server.host, quint16(server.port));
        const QString port = QStringLiteral("PORT=%1;");
        m_control = itemControl(
            m_db->connectionString().replace(port.arg(server.port), port.arg(relay.port())));
        const AuctionJournal journal(m_inst->path("journal.csv"));
        relay.dropAtRequest("COMMIT", forwarded);
        AuctionSaveReport report;
        saveThree(journal, &report);

        QCOMPARE(report.saved, saved);
        QCOMPARE(report.notAttempted, 3 - saved);
        QCOMPARE(report.connectionLost, saved == 0);
        const QStringList held = contents(db());
        QCOMPARE(journal.lastSave().written().size(), saved);
        for (const auto& [row, stamp] : report.savedRows)
            QCOMPARE(held[row], QStringLiteral("%1|S1|%2").arg(row + 1).arg(stamp));
        QCOMPARE(held.filter(QRegularExpression("\\|1$")).size(), 3 - saved);
    }
};

// What needs no item database of a particular engine.
class AuctionCoreTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }

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

    // Every row a save writes is in the journal, on the disk, before it is written.
    void journalHoldsTheRowsBeforeAnyUpdate()
    {
        vesktest::TestSqliteDb items(m_dir.filePath("died.sqlite"), {"item"});
        VESK_VERIFY_OK(items.error());
        const QStringList before = {"1|" + kStore + "|1", "2|" + kStore + "|1"};
        VESK_VERIFY_OK(seed(items.db(), before));
        const QString journalFile = m_dir.filePath("died.csv");

        QProcess child;
        child.start(QCoreApplication::applicationFilePath(),
                    {"--save-and-die", items.filePath(), journalFile});
        QVERIFY(child.waitForFinished(30000));
        QCOMPARE(child.exitCode(), kDiedAtUpdate);

        QCOMPARE(contents(items.db()), before);
        // Both rows are intended, with the store as it is; none was written.
        const AuctionJournal::Save last = AuctionJournal(journalFile).lastSave();
        QCOMPARE(last.rows.size(), 2);
        QCOMPARE(last.rows[1].store, kStore);
        QVERIFY(last.written().isEmpty());
    }

    void unwritableJournalStopsTheSaveBeforeAnyUpdate()
    {
        vesktest::TestSqliteDb items(m_dir.filePath("nojournal.sqlite"), {"item"});
        VESK_VERIFY_OK(items.error());
        VESK_VERIFY_OK(seed(items.db(), {"1|" + kStore + "|1"}));
        const AuctionSaveReport report =
            saveWithJournal(items.filePath(), m_dir.filePath("missing/folder/journal.csv"));
        QCOMPARE(contents(items.db()), QStringList({"1|" + kStore + "|1"}));
        QVERIFY(report.endedEarly());
        QCOMPARE(report.notAttempted, 2);
        VESK_VERIFY_CONTAINS(report.message(false), "Nothing was saved", "journal.csv",
                             "still in the table");
    }

    // What the journal held before; then a save of items 1 and 2 whose first
    // `written` rows a commit wrote (-1: no save), as an undo. What undo finds:
    // "store|sku|items|undoes", and a text the file holds. Undo reads only its end.
    void journalFindsWhatTheLastSaveWrote_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QString>("store");
        QTest::addColumn<QString>("sku");
        QTest::addColumn<int>("written");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<QString>("fileHolds");
        const auto row = [](const char* tag, const QByteArray& before, const QString& store,
                            const QString& sku, int written, const char* expected,
                            const char* fileHolds = "") {
            QTest::newRow(tag) << before << store << sku << written << QString(expected)
                               << QString(fileHolds);
        };
        const QByteArray cut = "save,time,store,item,sku,old_stamp,new_stamp,record\n"
                               "a,t,S1,7,\"WK-711, gold";
        row("cut inside a quoted field, then a save", cut, "S1", "WK", 2, "S1|WK|1,2|U");
        row("cut, later lines, then a save", cut + "\nb,t,S1,8,x,1,2,intent\n", "S1", "WK", 1,
            "S1|WK|1|U");
        row("old journal: every row of the last save",
            "save,time,store,item,sku,old_stamp,new_stamp\na,t,S1,5,x,1,2\nb,t,S1,6,x,1,2\n"
            "b,t,S1,7,x,1,2\nb,t,S1,8,x,1,2",
            "", "", -1, "S1|x|6,7|");
        row("journal from before undoes were marked",
            "save,time,store,item,sku,old_stamp,new_stamp,record\nb,t,S1,6,x,1,2,intent\n"
            "b,t,S1,6,x,1,2,written\n",
            "", "", -1, "S1|x|6|");
        row("formulas, line ends and negative numbers", "", "=S1", "-\"WK\",\r\n@1", 2,
            "=S1|-\"WK\",  @1|1,2|U", ",'=S1,1,\"'-\"\"WK\"\",  @1\",-100,");
        row("a save that wrote nothing", cut + '\n', "S1", "x", 0, "|||");
        // Undo reads from the end: 100 MB of older saves cost it nothing.
        row("after 100 MB of old saves",
            QByteArray("0ld,2020-01-01T00:00:00Z,S1,7,\"WK-711, gold\",1600000000,1\n")
                .repeated(1750000),
            "S1", "x", 1, "S1|x|1|U");
    }
    void journalFindsWhatTheLastSaveWrote()
    {
        QFETCH(QByteArray, before);
        QFETCH(QString, store);
        QFETCH(QString, sku);
        QFETCH(int, written);
        const AuctionJournal journal(m_dir.filePath(QTest::currentDataTag()));
        QFile file(journal.filePath());
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(before) == before.size());
        file.close();
        if (written >= 0) {
            QVector<AuctionJournal::Row> rows = {{{}, {}, store, 1, sku, -100, 9},
                                                 {{}, {}, store, 2, sku, std::nullopt, 9}};
            for (AuctionJournal::Row& row : rows)
                row.undoes = "U";
            VESK_VERIFY_OK(vesktest::errorOf([&] {
                journal.appendIntent(rows);
                journal.appendWritten(rows.mid(0, written));
            }));
        }
        const QVector<AuctionJournal::Row> found = journal.lastSave().written();
        QVERIFY2(journal.bytesRead() < 128 * 1024,
                 qPrintable(QString::number(journal.bytesRead())));
        QStringList items;
        for (const AuctionJournal::Row& row : found)
            items << QString::number(row.itemId);
        QTEST(QStringList({found.value(0).store, found.value(0).sku, items.join(','),
                           found.value(0).undoes})
                  .join('|'),
              "expected");
        QVERIFY(file.open(QIODevice::ReadOnly));
        QFETCH(QString, fileHolds);
        VESK_VERIFY_CONTAINS(QString::fromUtf8(file.readAll()), fileHolds);
    }

    // Values an SQLite table may hold although the item table declares numbers.
    void makesCellsOfOddValues_data()
    {
        QTest::addColumn<QVariant>("itemId");
        QTest::addColumn<QVariant>("retail");
        QTest::addColumn<QVariant>("stamp");
        // item|picture item (- for none)|retail|stamp|date|time|listed stamp|state
        QTest::addColumn<QString>("expected");
        using V = QVariant;
        QTest::newRow("item number beyond 32 bits")
            << V(5000000000LL) << V(5) << V(0) << "5000000000|-|5.00|0|Dec-31-1969|19:00:00|0|0";
        QTest::newRow("numbers as text")
            << V("17") << V("2.5") << V("1600000000")
            << "17|17|2.50|1600000000|Sep-13-2020|07:26:00 \u2600|1600000000|1";
        QTest::newRow("stamp beyond 32 bits")
            << V(3) << V(1) << V(5000000000LL) << "3|3|1.00|5000000000|||5000000000|2";
        QTest::newRow("whole stamp stored as real")
            << V(3) << V(1) << V(1700000000.0)
            << "3|3|1.00|1700000000|Nov-14-2023|17:13:00|1700000000|2";
        QTest::newRow("stamp that is no number")
            << V(3) << V(1) << V("soon") << "3|3|1.00|soon|||NULL|0";
    }
    void makesCellsOfOddValues()
    {
        QFETCH(QVariant, itemId);
        QFETCH(QVariant, retail);
        QFETCH(QVariant, stamp);
        QVector<ItemRow> rows = {
            listedItem(itemId, "R-1", QVariant(), retail, stamp, 1650000000, false)};
        ItemTableModel model;
        model.appendRows(rows.begin(), rows.end());
        const ItemRow& row = model.row(0);
        const QString picture = row.pictureKey() ? QString::number(*row.pictureKey()) : "-";
        const QString listed = row.listed.stamp ? QString::number(*row.listed.stamp) : "NULL";
        const auto cell = [&](int column) { return model.index(0, column).data().toString(); };
        QTEST(QStringList({cell(0), picture, cell(4), cell(5), cell(6), cell(7), listed,
                           QString::number(int(row.state))})
                  .join('|'),
              "expected");
    }

    // The model's rows with the clerk's edits: a script of steps on items 1 (a
    // running auction), 2 (none) and 3 (a past one), then each row as
    // "shown stamp, time cell, colour": g(reen), r(ed), b(lue: pending),
    // o(range: not saved), - (none); and the pending count.
    // Steps: "set ROW STAMP", "fill ROW:STAMP ROW:STAMP" (one edit), "undo",
    // "undo ROW", "redo", "saved ROW STAMP", "notsaved ROW",
    // "relist" (the same items listed again, the pending ends put back),
    // "relist-moved" (as relist, item 1's end changed meanwhile).
    void modelKeepsRowsPendingEndsUndoAndMarks_data()
    {
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QString>("expected");
        QTest::newRow("undo takes back the newest edit of all rows")
            << QStringList{"set 0 1800000000", "set 2 1800000600", "set 0 1800001200", "undo"}
            << "1800000000 03:00:00 b|0 19:00:00 -|1800000600 03:10:00 b|2";
        QTest::newRow("undo of a row takes back only its newest edit")
            << QStringList{"set 0 1800000000", "set 2 1800000600", "undo 0", "undo 0"}
            << "1700003600 18:13:00 g|0 19:00:00 -|1800000600 03:10:00 b|1";
        QTest::newRow("a fill-down goes back at once; redo does the newest undone again")
            << QStringList{"set 1 1800000000",
                           "set 1 1800000600",
                           "fill 0:1800001200 2:1800001800",
                           "undo",
                           "undo",
                           "redo"}
            << "1700003600 18:13:00 g|1800000600 03:10:00 b|1600000000 07:26:00 \u2600 r|1";
        QTest::newRow("a new edit leaves nothing to redo")
            << QStringList{"set 0 1800000000", "undo", "set 2 1800000600", "redo"}
            << "1700003600 18:13:00 g|0 19:00:00 -|1800000600 03:10:00 b|1";
        QTest::newRow("a row's undo takes it alone out of a fill-down")
            << QStringList{"fill 0:1800000000 2:1800000600", "set 1 1800001200", "undo 0", "undo"}
            << "1700003600 18:13:00 g|0 19:00:00 -|1800000600 03:10:00 b|1";
        QTest::newRow("an end set back to the listed one is no longer pending")
            << QStringList{"set 2 1800000000", "set 2 1600000000"}
            << "1700003600 18:13:00 g|0 19:00:00 -|1600000000 07:26:00 \u2600 r|0";
        QTest::newRow("a row not saved is orange while pending")
            << QStringList{"set 0 1800000000", "notsaved 0", "set 0 1800000600"}
            << "1800000600 03:10:00 o|0 19:00:00 -|1600000000 07:26:00 \u2600 r|1";
        QTest::newRow("a row not saved and taken back loses its mark")
            << QStringList{"set 0 1800000000", "notsaved 0", "undo", "set 0 1800000600"}
            << "1800000600 03:10:00 b|0 19:00:00 -|1600000000 07:26:00 \u2600 r|1";
        QTest::newRow("a saved end is listed: its edits are not taken back")
            << QStringList{"set 1 1800000000", "notsaved 1", "saved 1 1800000000", "undo"}
            << "1700003600 18:13:00 g|1800000000 03:00:00 -|1600000000 07:26:00 \u2600 r|0";
        QTest::newRow("pending ends come back on the same items listed again")
            << QStringList{"set 0 1800000000", "set 2 1800000600", "relist"}
            << "1800000000 03:00:00 b|0 19:00:00 -|1800000600 03:10:00 b|2";
        QTest::newRow("restored ends are taken back as one step")
            << QStringList{"set 0 1800000000", "set 2 1800000600", "relist", "undo"}
            << "1700003600 18:13:00 g|0 19:00:00 -|1600000000 07:26:00 \u2600 r|0";
        QTest::newRow("an end over one changed meanwhile comes back, checked against the old one")
            << QStringList{"set 0 1800000000", "set 1 1800000600", "relist-moved"}
            << "1800000000 03:00:00 b|1800000600 03:10:00 b|1600000000 07:26:00 \u2600 r|2";
    }
    void modelKeepsRowsPendingEndsUndoAndMarks()
    {
        QFETCH(QStringList, steps);
        const auto listing = [](qint64 firstEnd) {
            QVector<ItemRow> rows;
            const qint64 ends[] = {firstEnd, 0, 1600000000};
            for (int i = 0; i < 3; ++i)
                rows << listedItem(i + 1, "R", "ring", 5, ends[i], 1700000000, false);
            return rows;
        };
        ItemTableModel model;
        QAbstractItemModelTester tester(&model,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        QVector<ItemRow> rows = listing(1700003600);
        model.appendRows(rows.begin(), rows.end());
        for (const QString& step : std::as_const(steps)) {
            const QStringList f = step.split(' ');
            const int row = f.value(1).toInt();
            const qint32 stamp = f.value(2).toInt();
            const auto wall = [](qint32 at) {
                return QDateTime::fromSecsSinceEpoch(at - 5 * 3600, Qt::UTC);
            };
            QVector<ItemTableModel::NewEnd> fill;
            for (const QString& end : f.mid(1)) {
                const qint32 at = end.section(':', 1).toInt();
                fill.append({end.section(':', 0, 0).toInt(), at, wall(at)});
            }
            if (f[0] == "set")
                model.setEnd(row, stamp, wall(stamp));
            else if (f[0] == "fill")
                model.setEnds(fill);
            else if (step == "undo")
                model.undo();
            else if (step == "redo")
                model.redo();
            else if (f[0] == "undo")
                model.undoRow(row);
            else if (f[0] == "saved")
                model.markRowSaved(row, stamp);
            else if (f[0] == "notsaved")
                model.markRowNotSaved(row);
            else if (f[0].startsWith("relist")) {
                const QVector<UnsavedEndsFile::End> ends = model.keptEnds();
                model.startListing();
                rows = listing(f[0] == "relist" ? 1700003600 : 1700009999);
                model.appendRows(rows.begin(), rows.end());
                QVERIFY(model.restoreEnds(ends).isEmpty());
                // The save writes only while the database still holds the end
                // listed when the clerk set the new one.
                QCOMPARE(model.auctionRows().at(0).listedStamp, std::optional<qint64>(1700003600));
            }
        }
        QStringList shown;
        const QVector<AuctionRow> saved = model.auctionRows();
        for (int r = 0; r < model.rowCount(); ++r) {
            const QString stamp = model.index(r, 5).data().toString();
            // The save reads the end the grid shows.
            QCOMPARE(QString::number(saved[r].stamp.value_or(-1)), stamp);
            const QColor colour =
                model.index(r, 6).data(Qt::BackgroundRole).value<QBrush>().color();
            const QString names = "grbo";
            const QList<QColor> colours = {Qt::green, Qt::red, QColor(135, 206, 250),
                                           QColor(255, 165, 0)};
            const int at = colours.indexOf(colour);
            shown << stamp + ' ' + model.index(r, 7).data().toString() + ' ' +
                         (at < 0 ? QChar('-') : names[at]);
        }
        QTEST(shown.join('|') + '|' + QString::number(model.pendingCount()), "expected");
    }
};

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc == 4 && std::strcmp(argv[1], "--save-and-die") == 0) {
        saveWithJournal(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]), true);
        return 0;
    }
    AuctionSaverTest sqlite(Engine::Sqlite);
    AuctionSaverTest maria(Engine::MariaDb);
    AuctionSaverTest odbc(Engine::Sqlite, true);
    AuctionCoreTest core;
    return QTest::qExec(&sqlite, argc, argv) + QTest::qExec(&maria, argc, argv) +
           QTest::qExec(&odbc, argc, argv) + QTest::qExec(&core, argc, argv);
}

#include "tst_auctioncore_mariadb.moc"
