// Whole passes of the clerk's work on every item database.

#include "EndToEndCases.h"
#include "WindowWaits.h"

using endtoend::Engine;
using endtoend::Item;
using endtoend::kChristmasEve;
using endtoend::kStoreItems;

namespace {
void addEngines()
{
    QTest::addColumn<Engine>("engine");
}
} // namespace

Q_DECLARE_METATYPE(Engine)

class EndToEndTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }

    // An item without auction gets an end: it reaches the database and the new
    // listing shows it, while the other rows stay as they were.
    void pickedEndIsSavedAndListedAgain_data()
    {
        addEngines();
        QTest::addColumn<bool>("daylight");
        QTest::addColumn<qint64>("stamp");
        QTest::newRow("SQLite, standard time") << Engine::Sqlite << false << qint64(1798153200);
        QTest::newRow("MariaDB, standard time") << Engine::MariaDb << false << qint64(1798153200);
        QTest::newRow("MariaDB, daylight saving") << Engine::MariaDb << true << qint64(1798149600);
    }
    void pickedEndIsSavedAndListedAgain()
    {
        QFETCH(Engine, engine);
        QFETCH(bool, daylight);
        QFETCH(qint64, stamp);
        SHOWN_WINDOW(fx, engine, kStoreItems);
        w.chkDayLight->setChecked(daylight);
        QVERIFY(fx.refresh());
        QCOMPARE(fx.end(2), QStringLiteral("0 Dec-31-1969 %1:00:00").arg(daylight ? 20 : 19));
        const QString shown = QStringLiteral("%1 Dec-24-2026 18:00:00").arg(stamp);
        fx.pickEnd(2, kChristmasEve);
        QCOMPARE(fx.end(2), shown);
        const int runs = w.listingRuns;

        QVERIFY(vesktest::clickAndWait(w, w.Command1));

        QVERIFY2(fx.messages.isEmpty(), qPrintable(fx.messages.value(0).text));
        QCOMPARE(w.listingRuns, runs + 1);
        QCOMPARE(fx.stampInDatabase(2), stamp);
        QCOMPARE(fx.stampInDatabase(1), qint64(1700003600));
        QCOMPARE(fx.end(2), shown);
        QCOMPARE(w.Flex->item(fx.rowOf(2), 5)->background().color(), QColor(0, 255, 0));
    }

    // What cannot be saved is kept and reported in one message: an end someone
    // else moved since the listing, and another store's item, listed beside this
    // store's item of the same number. An untouched row of the stale grid does not
    // undo someone else's end either.
    void unsavableEndsAreKeptAndReportedOnce_data()
    {
        addEngines();
        QTest::newRow("SQLite") << Engine::Sqlite;
        QTest::newRow("MariaDB") << Engine::MariaDb;
    }
    void unsavableEndsAreKeptAndReportedOnce()
    {
        QFETCH(Engine, engine);
        const QVector<Item> rows = kStoreItems + QVector<Item>{{4, "S1", 1700003600}, {3, "S1", 0}};
        SHOWN_WINDOW(fx, engine, rows);
        VESK_VERIFY_OK(vesktest::exec(fx.items(), "UPDATE item SET auction_until_unix = 1700007200 "
                                                  "WHERE CV_itemid IN (1, 4)"));
        fx.pickEnd(1, kChristmasEve);
        fx.pickEnd(2, QDateTime(QDate(2026, 12, 25), QTime(9, 30)));
        QCOMPARE(w.Flex->item(fx.rowOf(3), 0)->data(Qt::UserRole).toString(), "S2");
        fx.pickEnd(3, kChristmasEve);

        QVERIFY(vesktest::clickAndWait(w, w.Command1));

        QCOMPARE(fx.messages.size(), 1);
        VESK_VERIFY_CONTAINS(fx.messages[0].text, "Saved: 1 row.", "someone else", "item 1 ",
                             "item 3 (row 3): it belongs to store \"S2\", not to store \"S1\"");
        QVERIFY2(!fx.messages[0].text.contains("item 4"), qPrintable(fx.messages[0].text));
        QCOMPARE(fx.stampInDatabase(1), qint64(1700007200));
        QCOMPARE(fx.stampInDatabase(2), qint64(1798209000));
        QCOMPARE(vesktest::scalar(fx.items(), "SELECT COUNT(*) FROM item WHERE CV_itemid = 3 AND "
                                              "auction_until_unix = 0")
                     .toInt(),
                 2);
        QCOMPARE(fx.stampInDatabase(4), qint64(1700007200));
        QCOMPARE(fx.end(1), QStringLiteral("1700007200 Nov-14-2023 19:13:00"));
        QVERIFY(fx.end(3).startsWith("0 "));
    }

    // "Undo last save": the ends the last save wrote go back where nobody
    // changed them since, the rest are named.
    void undoLeavesAloneWhatChangedSinceAndCanBeUndone()
    {
        const qint64 kOld = 1700003600, kTheirs = 1750000000, kNew = 1798153200;
        endtoend::Fixture fx(Engine::MariaDb);
        VESK_VERIFY_OK(fx.showWith({{1, "S1", kOld}, {2, "S1", kOld}, {3, "S1", kOld}}));
        frmVESKauction& w = fx.window();
        QVERIFY(!w.cmdUndoSave->isEnabled()); // nothing saved yet
        for (int id = 1; id <= 3; ++id)
            fx.pickEnd(id, kChristmasEve.addSecs(60 * id));
        QVERIFY(vesktest::clickAndWait(w, w.Command1));
        QVERIFY2(fx.messages.isEmpty(), qPrintable(fx.messages.value(0).text));
        QVERIFY(w.cmdUndoSave->isEnabled());
        VESK_VERIFY_OK(vesktest::exec(
            fx.items(), "UPDATE item SET auction_until_unix = ? WHERE CV_itemid = 2", {kTheirs}));

        const int runs = w.listingRuns;
        QVERIFY(vesktest::clickAndWait(w, w.cmdUndoSave));
        QCOMPARE(fx.messages.size(), 1);
        VESK_VERIFY_CONTAINS(fx.messages[0].text, "before that save: 2 rows",
                             QStringLiteral("item 2 now holds %1").arg(kTheirs));
        QCOMPARE(fx.stampInDatabase(1), kOld);
        QCOMPARE(fx.stampInDatabase(2), kTheirs);
        QCOMPARE(fx.stampInDatabase(3), kOld);
        QCOMPARE(w.listingRuns, runs + 1);
        QCOMPARE(fx.end(3).section(' ', 0, 0).toLongLong(), kOld);

        // The undo is the last save now: undoing it writes the save's ends again.
        fx.messages.clear();
        QVERIFY(vesktest::clickAndWait(w, w.cmdUndoSave));
        QCOMPARE(fx.messages.size(), 1);
        VESK_VERIFY_CONTAINS(fx.messages[0].text, "before that save: 2 rows", "item 2 now holds");
        QCOMPARE(fx.stampInDatabase(1), kNew + 60);
        QCOMPARE(fx.stampInDatabase(2), kTheirs);
        QCOMPARE(fx.stampInDatabase(3), kNew + 180);
    }
};

QTEST_MAIN(EndToEndTest)
#include "tst_endtoend_mariadb.moc"
