#pragma once

// The save cases every item database must pass; each engine's test runs them on
// a fresh, empty item table through runSaveCase().
//
// Database rows are written "CV_itemid|storeid|auction_until_unix", grid rows
// "id text|stamp text|listed stamp[|listed store]"; NULL stands for a NULL
// value. The outcome is "saved/failed/changed elsewhere"; the message, when
// one is given, is a part of the report's text.

#include "TestSupport.h"
#include "data/AuctionSaver.h"
#include "data/DataControl.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QtTest>

namespace savercases {

inline QVariant field(const QString& text)
{
    return text == QLatin1String("NULL") ? QVariant() : QVariant(text);
}

inline QString seed(QSqlDatabase db, const QStringList& rows)
{
    db.transaction(); // one commit for all rows: a commit per row crawls on a slow disk
    for (const QString& row : rows) {
        const QStringList f = row.split(u'|');
        const QString error = vesktest::exec(
            db,
            "INSERT INTO item (CV_itemid, SKU, Description, Retail, auction_until_unix, storeid) "
            "VALUES (?, 'SKU', 'ring', 10, ?, ?)",
            {field(f[0]), field(f[2]), field(f[1])});
        if (!error.isEmpty())
            return error;
    }
    return db.commit() ? QString() : db.lastError().text();
}

// The item table in the seed form, in the order of insertion.
inline QStringList contents(QSqlDatabase db)
{
    QStringList out;
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("SELECT CV_itemid, storeid, auction_until_unix FROM item "
                               "ORDER BY id")))
        return {QStringLiteral("query failed: ") + q.lastError().text()};
    while (q.next()) {
        QStringList f;
        for (int i = 0; i < 3; ++i)
            f << (q.isNull(i) ? QStringLiteral("NULL") : q.value(i).toString());
        out << f.join(u'|');
    }
    return out;
}

inline QVector<AuctionRow> gridRows(const QStringList& rows)
{
    QVector<AuctionRow> out;
    for (const QString& row : rows) {
        const QStringList f = row.split(u'|');
        AuctionRow r;
        r.idText = f.value(0);
        r.stampText = f.value(1);
        if (f.value(2) != QLatin1String("NULL"))
            r.listedStamp = f.value(2).toLongLong();
        r.storeListed = f.size() > 3;
        if (r.storeListed && f[3] != QLatin1String("NULL"))
            r.listedStore = f[3];
        out << r;
    }
    return out;
}

inline QString outcome(const AuctionSaveReport& report)
{
    return QStringLiteral("%1/%2/%3")
        .arg(report.saved)
        .arg(report.failed.size())
        .arg(report.changedElsewhere.size());
}

inline void addSaveCases()
{
    QTest::addColumn<QStringList>("seedRows");
    QTest::addColumn<QStringList>("grid");
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<QString>("outcome");
    QTest::addColumn<QString>("store");
    QTest::addColumn<QString>("message");
    const auto row = [](const char* tag, const QStringList& seedRows, const QStringList& grid,
                        const QStringList& expected, const char* outcome,
                        const QString& store = QStringLiteral("S1"), const char* message = "") {
        QTest::newRow(tag) << seedRows << grid << expected << QString(outcome) << store
                           << QString(message);
    };
    const QStringList one = {"1|S1|1"}, newer = {"1|S1|5"}, written = {"1|S1|9"};

    row("empty grid writes nothing", one, {}, one, "0/0/0");
    row("changed row is written", one, {"1|9|1"}, written, "1/0/0");
    row("rows without item number or stamp are skipped", one,
        {"|9|1", "0|9|1", "abc|9|1", "1||1", "1|0|1", "1|soon|1"}, one, "0/0/0");
    row("never writes a stamp rounding to 0", one, {"1|0.4|1"}, one, "0/0/0");
    row("numbers read with blanks and trailing text", {"12|S1|1"}, {" 1 2x|9 00 sec|1"},
        {"12|S1|900"}, "1/0/0");
    row("negative stamp is written", one, {"1|-100|1"}, {"1|S1|-100"}, "1/0/0");
    row("item not in this store", {"1|S2|1"}, {"1|9|1"}, {"1|S2|1"}, "0/1/0");
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
    row("S_7 matches neither S_7 with a blank nor SX7", sevens, {"7|9|1"}, sevens, "0/1/0", "S_7",
        "store \"S_7\" has no item 7");
    row("store id named in the report as it is", one, {"1|9|1"}, one, "0/1/0", "%1",
        "store \"%1\" has no item 1");
    row("store ids differing in case: none written", {"7|Store7|1", "7|STORE7|1"}, {"7|9|1"},
        {"7|Store7|1", "7|STORE7|1"}, "0/1/0", "store7", "2 rows");
    // The listing shows every store's items: another store's row with the same
    // item number is not written for this one.
    const QStringList twoStores = {"7|S1|1", "7|S2|1", "7|NULL|1"};
    row("row listed for another store", twoStores, {"7|9|1|S2"}, twoStores, "0/1/0", "S1",
        "it belongs to store \"S2\", not to store \"S1\"");
    row("row listed without a store", twoStores, {"7|9|1|NULL"}, twoStores, "0/1/0", "S1",
        "it belongs to no store");
    row("another store's row, this store without the item", {"7|S2|1"}, {"7|9|1|S2"}, {"7|S2|1"},
        "0/1/0", "S1", "belongs to store \"S2\"");

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
    for (const QString store : {"10", "%", "_bc", "' OR '1'='1", "abc\\", "abc  ", "ab", "a!", "!"})
        row(qPrintable("store \"" + store + "\" matches no item"), seedAll, {"7|9|1"}, seedAll,
            "0/1/0", store);
}

// Runs the current row of addSaveCases(); db is the test's own connection.
inline void runSaveCase(DataControl& control, QSqlDatabase db)
{
    QFETCH(QStringList, seedRows);
    QFETCH(QString, store);
    QFETCH(QStringList, grid);
    VESK_VERIFY_OK(seed(db, seedRows));
    const AuctionSaveReport report = AuctionSaver(control, store).save(gridRows(grid));
    QTEST(contents(db), "expected");
    QTEST(outcome(report), "outcome");
    QVERIFY(!report.connectionLost);
    QCOMPARE(report.message(true).isEmpty(), !report.hasProblems());
    QFETCH(QString, message);
    if (!message.isEmpty())
        VESK_VERIFY_CONTAINS(report.message(true), message);
}

} // namespace savercases
