#pragma once

// The save cases every item database must pass. Each engine's test file opens a
// fresh database holding the item table and runs the table through runSaveCase().
//
// Rows are written as text, fields separated by '|':
//   seed and expected database rows: "CV_itemid|storeid|auction_until_unix"
//   grid rows: "id text|stamp text|listed stamp" (listed NULL: the database held NULL)
// The word NULL stands for a NULL value.

#include "TestSupport.h"
#include "data/AuctionSaver.h"
#include "data/DataControl.h"

#include <QSqlDatabase>
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
    // One commit for all rows: a commit per row makes the tests crawl on a slow disk.
    db.transaction();
    for (const QString& row : rows) {
        const QStringList f = row.split(QLatin1Char('|'));
        const QString error = vesktest::exec(
            db,
            QStringLiteral("INSERT INTO item (CV_itemid, SKU, Description, Retail, "
                           "auction_until_unix, storeid) VALUES (?, 'SKU', 'ring', 10, ?, ?)"),
            {field(f[0]), field(f[2]), field(f[1])});
        if (!error.isEmpty()) {
            db.rollback();
            return error;
        }
    }
    return db.commit() ? QString() : db.lastError().text();
}

// Every row of the item table in the seed form, in the order of insertion.
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
        out << f.join(QLatin1Char('|'));
    }
    return out;
}

inline QVector<AuctionRow> gridRows(const QStringList& rows)
{
    QVector<AuctionRow> out;
    for (const QString& row : rows) {
        const QStringList f = row.split(QLatin1Char('|'));
        AuctionRow r;
        r.idText = f.value(0);
        r.stampText = f.value(1);
        if (f.value(2) != QLatin1String("NULL"))
            r.listedStamp = f.value(2).toLongLong();
        out << r;
    }
    return out;
}

inline void addSaveCases()
{
    QTest::addColumn<QStringList>("seedRows");
    QTest::addColumn<QString>("store");
    QTest::addColumn<QStringList>("grid");
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<int>("saved");
    QTest::addColumn<int>("failed");
    QTest::addColumn<int>("changedElsewhere");

    const QString s = QStringLiteral("S1");
    const QStringList one = {QStringLiteral("1|S1|1700000000")};

    QTest::newRow("empty grid writes nothing") << one << s << QStringList() << one << 0 << 0 << 0;
    QTest::newRow("changed row is written") << one << s << QStringList{"1|1800000000|1700000000"}
                                            << QStringList{"1|S1|1800000000"} << 1 << 0 << 0;
    QTest::newRow("skips empty id")
        << one << s << QStringList{"|1800000000|1700000000"} << one << 0 << 0 << 0;
    QTest::newRow("skips id 0") << one << s << QStringList{"0|1800000000|1700000000"} << one << 0
                                << 0 << 0;
    QTest::newRow("skips non-numeric id")
        << one << s << QStringList{"abc|1800000000|1700000000"} << one << 0 << 0 << 0;
    QTest::newRow("skips empty stamp")
        << one << s << QStringList{"1||1700000000"} << one << 0 << 0 << 0;
    QTest::newRow("never writes stamp 0")
        << one << s << QStringList{"1|0|1700000000"} << one << 0 << 0 << 0;
    QTest::newRow("never writes a stamp rounding to 0")
        << one << s << QStringList{"1|0.4|1700000000"} << one << 0 << 0 << 0;
    QTest::newRow("skips non-numeric stamp")
        << one << s << QStringList{"1|soon|1700000000"} << one << 0 << 0 << 0;
    QTest::newRow("blanks inside numbers are skipped")
        << QStringList{"12|S1|1700000000"} << s << QStringList{" 1 2|1 800 000 000|1700000000"}
        << QStringList{"12|S1|1800000000"} << 1 << 0 << 0;
    QTest::newRow("leading number before other text")
        << QStringList{"12|S1|1700000000"} << s << QStringList{"12abc|1800000000 sec|1700000000"}
        << QStringList{"12|S1|1800000000"} << 1 << 0 << 0;
    QTest::newRow("item number rounds half to even")
        << QStringList{"2|S1|1700000000", "3|S1|1700000000", "4|S1|1700000000"} << s
        << QStringList{"2.5|1800000000|1700000000", "3.5|1900000000|1700000000"}
        << QStringList{"2|S1|1800000000", "3|S1|1700000000", "4|S1|1900000000"} << 2 << 0 << 0;
    QTest::newRow("negative stamp is written")
        << one << s << QStringList{"1|-100|1700000000"} << QStringList{"1|S1|-100"} << 1 << 0 << 0;
    QTest::newRow("item of the grid not in this store")
        << QStringList{"1|S2|1700000000"} << s << QStringList{"1|1800000000|1700000000"}
        << QStringList{"1|S2|1700000000"} << 0 << 1 << 0;
    QTest::newRow("item number beyond 32 bits fails, later rows still saved")
        << one << s << QStringList{"99999999999|1800000000|1700000000", "1|1800000000|1700000000"}
        << QStringList{"1|S1|1800000000"} << 1 << 1 << 0;
    QTest::newRow("stamp beyond 32 bits fails")
        << one << s << QStringList{"1|5000000000|1700000000"} << one << 0 << 1 << 0;
    QTest::newRow("unchanged row keeps a newer value of someone else")
        << QStringList{"1|S1|1750000000"} << s << QStringList{"1|1700000000|1700000000"}
        << QStringList{"1|S1|1750000000"} << 0 << 0 << 0;
    QTest::newRow("changed row not written over a newer value")
        << QStringList{"1|S1|1750000000"} << s << QStringList{"1|1800000000|1700000000"}
        << QStringList{"1|S1|1750000000"} << 0 << 0 << 1;
    QTest::newRow("value already in the database counts as saved")
        << QStringList{"1|S1|1800000000"} << s << QStringList{"1|1800000000|1700000000"}
        << QStringList{"1|S1|1800000000"} << 1 << 0 << 0;
    QTest::newRow("NULL read, NULL still held")
        << QStringList{"1|S1|NULL"} << s << QStringList{"1|1800000000|NULL"}
        << QStringList{"1|S1|1800000000"} << 1 << 0 << 0;
    QTest::newRow("NULL read, value now held")
        << QStringList{"1|S1|1750000000"} << s << QStringList{"1|1800000000|NULL"}
        << QStringList{"1|S1|1750000000"} << 0 << 0 << 1;
    QTest::newRow("repeated item written in grid order, later last")
        << one << s << QStringList{"1|1800000000|1700000000", "1|1900000000|1700000000"}
        << QStringList{"1|S1|1900000000"} << 2 << 0 << 0;
    QTest::newRow("repeated item: an untouched later row does not undo the edit")
        << one << s << QStringList{"1|1800000000|1700000000", "1|1700000000|1700000000"}
        << QStringList{"1|S1|1800000000"} << 1 << 0 << 0;
    QTest::newRow("several items, each its own row")
        << QStringList{"1|S1|1700000000", "2|S1|1700000000", "3|S1|1700000000"} << s
        << QStringList{"3|1800000003|1700000000", "1|1800000001|1700000000",
                       "2|1700000000|1700000000"}
        << QStringList{"1|S1|1800000001", "2|S1|1700000000", "3|S1|1800000003"} << 2 << 0 << 0;

    // The store identifier is matched exactly: no pattern, no case folding,
    // no trailing blanks ignored, and nothing in it reaches the statement text.
    const QStringList stores = {"10%",    "100",    "1_4", "104", "O'Brien", "back\\slash",
                                "Müller", "Muller", "abc", "ABC", "abc ",    "x' OR '1'='1"};
    QStringList seedAll;
    for (const QString& store : stores)
        seedAll << QStringLiteral("7|%1|1700000000").arg(store);
    const auto onlyStore = [&](const QString& store) {
        QStringList out;
        for (const QString& other : stores)
            out << QStringLiteral("7|%1|%2").arg(other,
                                                 other == store ? "1800000000" : "1700000000");
        return out;
    };
    for (const QString& store : stores)
        QTest::addRow("store \"%s\" changes only its own item", qPrintable(store))
            << seedAll << store << QStringList{"7|1800000000|1700000000"} << onlyStore(store) << 1
            << 0 << 0;
    for (const QString& store :
         {QStringLiteral("10"), QStringLiteral("%"), QStringLiteral("_bc"), QStringLiteral("Abc"),
          QStringLiteral("' OR '1'='1"), QStringLiteral("abc\\"), QStringLiteral("müller")})
        QTest::addRow("store \"%s\" matches no item", qPrintable(store))
            << seedAll << store << QStringList{"7|1800000000|1700000000"} << seedAll << 0 << 1 << 0;
}

// Runs the current row of addSaveCases() against a database whose item table
// is empty; db is the test's own connection to it.
inline void runSaveCase(DataControl& control, QSqlDatabase db)
{
    QFETCH(QStringList, seedRows);
    QFETCH(QString, store);
    QFETCH(QStringList, grid);
    QFETCH(QStringList, expected);
    QFETCH(int, saved);
    QFETCH(int, failed);
    QFETCH(int, changedElsewhere);

    VESK_VERIFY_OK(seed(db, seedRows));
    AuctionSaver saver(control, store);
    const AuctionSaveReport report = saver.save(gridRows(grid));

    QCOMPARE(contents(db), expected);
    QCOMPARE(report.saved, saved);
    QCOMPARE(report.failed.size(), failed);
    QCOMPARE(report.changedElsewhere.size(), changedElsewhere);
    QVERIFY(!report.connectionLost);
    QCOMPARE(report.hasProblems(), failed + changedElsewhere > 0);
    QCOMPARE(report.message().isEmpty(), !report.hasProblems());
}

} // namespace savercases
