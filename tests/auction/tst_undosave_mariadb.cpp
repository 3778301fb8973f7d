// "Undo last save" in the window against a real MariaDB server: the ends the
// last save wrote go back where nobody changed them since, the rest are named.

#include "EndToEndCases.h"
#include "WindowWaits.h"

using endtoend::Engine;

namespace {
const QDateTime kNewEnd(QDate(2026, 12, 24), QTime(18, 0));
constexpr qint64 kNewStamp = 1798153200;
constexpr qint64 kOldStamp = 1700003600;
constexpr qint64 kTheirStamp = 1750000000;
} // namespace

class UndoSaveTest : public QObject
{
    Q_OBJECT

    vesktest::MariaDbServer m_server;

private slots:
    void initTestCase()
    {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        VESK_REQUIRE_MARIADB(m_server);
    }

    void undoLeavesAloneWhatChangedSinceAndCanBeUndone()
    {
        endtoend::Fixture fx(Engine::MariaDb);
        VESK_VERIFY_OK(
            fx.showWith({{1, "S1", kOldStamp}, {2, "S1", kOldStamp}, {3, "S1", kOldStamp}}));
        frmVESKauction& w = fx.window();
        QVERIFY(!w.cmdUndoSave->isEnabled()); // nothing saved yet
        for (int id = 1; id <= 3; ++id)
            fx.pickEnd(id, kNewEnd.addSecs(60 * id));
        QVERIFY(vesktest::clickAndWait(w, w.Command1));
        QVERIFY2(fx.messages.isEmpty(), qPrintable(fx.messages.value(0).text));
        QVERIFY(w.cmdUndoSave->isEnabled());
        VESK_VERIFY_OK(vesktest::exec(fx.items(),
                                      "UPDATE item SET auction_until_unix = ? WHERE CV_itemid = 2",
                                      {kTheirStamp}));

        const int runs = w.listingRuns;
        QVERIFY(vesktest::clickAndWait(w, w.cmdUndoSave));
        QCOMPARE(fx.messages.size(), 1);
        VESK_VERIFY_CONTAINS(fx.messages[0].text, "before that save: 2 rows",
                             QStringLiteral("item 2 now holds %1").arg(kTheirStamp));
        QCOMPARE(fx.stampInDatabase(1), kOldStamp);
        QCOMPARE(fx.stampInDatabase(2), kTheirStamp);
        QCOMPARE(fx.stampInDatabase(3), kOldStamp);
        QCOMPARE(w.listingRuns, runs + 1);
        QCOMPARE(fx.end(3).section(' ', 0, 0).toLongLong(), kOldStamp);

        // The undo is the last save now: undoing it writes the save's ends again.
        fx.messages.clear();
        QVERIFY(vesktest::clickAndWait(w, w.cmdUndoSave));
        QCOMPARE(fx.messages.size(), 1);
        VESK_VERIFY_CONTAINS(fx.messages[0].text, "before that save: 2 rows", "item 2 now holds");
        QCOMPARE(fx.stampInDatabase(1), kNewStamp + 60);
        QCOMPARE(fx.stampInDatabase(2), kTheirStamp);
        QCOMPARE(fx.stampInDatabase(3), kNewStamp + 180);
    }
};

QTEST_MAIN(UndoSaveTest)
#include "tst_undosave_mariadb.moc"
