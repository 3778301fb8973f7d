// The window against a real MariaDB server that is killed, frozen or cut off
// in the middle of a result: what the clerk sees, what the database holds, and
// that the window never stops answering. Runs on its own (it stops the server).

#include "EndToEndCases.h"
#include "TcpRelay.h"
#include "data/DataControl.h"
#include "data/DataError.h"
#include "data/DatabaseWorker.h"

#include <QScopeGuard>
#include <QThread>
#include <QTimer>

#include <atomic>

using endtoend::Engine;
using endtoend::Item;

namespace {
// The longest time the event loop was held up: the longest gap between the
// ticks of a 5-ms timer.
class StallMeter
{
public:
    StallMeter()
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&m_timer, &QTimer::timeout,
                         [this] { m_longest = std::max(m_longest, m_tick.restart()); });
        m_tick.start();
        m_timer.start(5);
    }
    qint64 longestMs() const { return std::max(m_longest, m_tick.elapsed()); }

private:
    QTimer m_timer;
    QElapsedTimer m_tick;
    qint64 m_longest = 0;
};

// Far below the servers' 2-s time-outs, so a window that waits on a server is
// caught, and far above what a busy test machine holds up the event loop.
constexpr qint64 kFrozenMs = 500;

const QDateTime kNewEnd(QDate(2026, 12, 24), QTime(18, 0));
constexpr qint64 kNewStamp = 1798153200;
constexpr qint64 kOldStamp = 1700003600;

bool marked(const frmVESKauction& w, int row)
{
    const QVariant colour = w.Flex->model()->index(row, 5).data(Qt::BackgroundRole);
    return colour.value<QBrush>().color() == QColor(255, 165, 0);
}
} // namespace

class FaultsTest : public QObject
{
    Q_OBJECT

    vesktest::MariaDbServer m_server;

    void server(const char* action)
    {
        QString output;
        QVERIFY2(m_server.control(QString::fromLatin1(action), &output), qPrintable(output));
    }
    // Whatever happened, the fixture's database and the other tests need the
    // server: run before the fixture drops its database. (Thawing a server
    // that is down fails, harmlessly.)
    void heal()
    {
        m_server.control(QStringLiteral("thaw"));
        server("start");
    }
    auto healedFirst()
    {
        return qScopeGuard([this] { heal(); });
    }
    // Items 1 to 6 of store S1 listed by a window that gives up on a silent
    // server after 2 seconds (the suite pays seconds, not minutes).
    static QString showItems(endtoend::Fixture& fx)
    {
        for (const char* key : {"connect", "read", "write"})
            fx.install.setKey("timeouts", key, "2");
        QVector<Item> rows;
        for (int id = 1; id <= 6; ++id)
            rows << Item{id, "S1", kOldStamp};
        return fx.showWith(rows);
    }

private slots:
    void initTestCase()
    {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        VESK_VERIFY_OK(m_server.fromEnvironment());
    }

    // A data control on a stopped server fails naming its database, not the
    // password; once the server is back a refresh connects again (outside a
    // transaction), and an update on the lost connection fails as no conflict
    // and writes nothing.
    void dataControlReconnectsAfterTheServerIsBack()
    {
        vesktest::TestInstallation inst;
        vesktest::ItemDatabase items(Engine::MariaDb, inst);
        const auto healed = healedFirst();
        VESK_VERIFY_OK(items.error());
        VESK_VERIFY_OK(vesktest::exec(items.db(), "INSERT INTO item (CV_itemid) VALUES (7)"));
        DataControl control("adoKBvesk2", items.connectionString(), DataControl::kQueryText,
                            "SELECT * FROM item", nullptr);
        const auto stamp = [&] {
            return vesktest::scalar(items.db(), "SELECT auction_until_unix FROM item").toInt();
        };
        control.Refresh();
        server("stop");
        const QString error = vesktest::errorOf([&] { control.Refresh(); });
        VESK_VERIFY_CONTAINS(error, "adoKBvesk2", items.name());
        QVERIFY(!error.contains(m_server.password));
        server("start");
        control.Refresh();
        // In a transaction a read is never retried on a new connection, which
        // would not see what it wrote: the loss is told until it is given up.
        control.beginTransaction();
        server("stop");
        server("start");
        VESK_VERIFY_CONTAINS(vesktest::errorOf([&] { control.Refresh(); }), "adoKBvesk2");
        VESK_VERIFY_CONTAINS(vesktest::errorOf([&] { control.Refresh(); }), "transaction was lost");
        control.rollback();
        control.Refresh();
        for (int restart = 0; restart < 2; ++restart) { // the first, while idle, goes unnoticed
            server("stop");
            server("start");
        }
        control.Recordset().setField("auction_until_unix", 1.7e9);
        try {
            control.Recordset().Update();
            QFAIL("an update on a lost connection must fail");
        } catch (const UpdateConflict& e) {
            QFAIL(qPrintable("a lost connection is no conflict: " + e.message()));
        } catch (const DataError& e) {
            VESK_VERIFY_CONTAINS(e.message(), "adoKBvesk2");
        }
        QCOMPARE(stamp(), 0);
        control.Refresh();
        control.Recordset().setField("auction_until_unix", 1.7e9);
        control.Recordset().Update();
        QCOMPARE(stamp(), 1700000000);
    }

    // A listing against a server that is gone, never answers or cuts its result
    // off in transfer (a lost connection, never a table without columns): one
    // message, the earlier rows stay, the window answers all along.
    void failedListingKeepsTheGrid_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<bool>("stop"); // the clerk stops the wait
        QTest::addColumn<QString>("says");
        QTest::newRow("killed") << "kill" << false << "could not be listed";
        QTest::newRow("frozen, timed out") << "freeze" << false << "could not be listed";
        QTest::newRow("frozen, stopped") << "freeze" << true << "listing was stopped";
        // Through a relay that drops the program's side after 200 more bytes.
        QTest::newRow("cut off in transfer") << "cut" << false << "onnect";
    }
    void failedListingKeepsTheGrid()
    {
        QFETCH(QString, fault);
        QFETCH(bool, stop);
        QFETCH(QString, says);
        vesktest::TcpRelay relay(m_server.host, quint16(m_server.port));
        QVERIFY(relay.port() != 0);
        endtoend::Fixture fx(Engine::MariaDb);
        const auto healed = healedFirst();
        if (fault == "cut")
            fx.install.setKey("itemdb", "port", QString::number(relay.port()));
        VESK_VERIFY_OK(showItems(fx));
        frmVESKauction& w = fx.window();
        fx.pickEnd(2, kNewEnd);
        if (fault == "cut")
            relay.cutAfter(200);
        else
            server(qPrintable(fault));

        fx.answer = QMessageBox::Yes; // the refresh may discard the unsaved end
        StallMeter stall;
        QTest::mouseClick(w.Command2, Qt::LeftButton);
        if (stop) {
            QTRY_VERIFY(w.cmdStop->isVisible());
            QTest::qWait(300);
            QTest::mouseClick(w.cmdStop, Qt::LeftButton);
        }
        QVERIFY(vesktest::waitUntilIdle(w));
        QVERIFY2(stall.longestMs() <= kFrozenMs, qPrintable(QString::number(stall.longestMs())));

        QCOMPARE(fx.messages.size(), 1);
        VESK_VERIFY_CONTAINS(fx.messages[0].text, says, "still shows");
        QVERIFY(!fx.messages[0].text.contains("no column"));
        QCOMPARE(w.Flex->model()->rowCount(), 6);
        QCOMPARE(fx.end(2), QStringLiteral("%1 Dec-24-2026 18:00:00").arg(kNewStamp));
        QVERIFY(w.shpWait->isHidden() && !w.cmdStop->isVisible() && w.Command1->isEnabled());
        if (fault != "cut")
            return;
        relay.heal(); // the next listing connects again
        fx.messages.clear();
        QVERIFY(vesktest::clickAndWait(w, w.Command2));
        QCOMPARE(fx.messages.size(), 0);
    }

    // The connection dies while rows are being saved, or the clerk stops the
    // save: rows committed stay saved, the rest stay in the grid marked,
    // nothing is relisted; the next save once the server is back writes them.
    void saveOnALostServerKeepsTheEdits_data()
    {
        QTest::addColumn<QString>("fault"); // none: the server stays healthy
        QTest::addColumn<int>("afterRows"); // rows written before the fault
        QTest::addColumn<bool>("stop");
        QTest::addColumn<int>("saved"); // rows committed
        QTest::newRow("killed before the first row") << "kill" << 0 << false << 0;
        QTest::newRow("killed after two rows, not committed") << "kill" << 2 << false << 0;
        QTest::newRow("frozen, stopped") << "freeze" << 1 << true << 0;
        QTest::newRow("stopped after two rows, committed") << "" << 2 << true << 2;
    }
    void saveOnALostServerKeepsTheEdits()
    {
        QFETCH(QString, fault);
        QFETCH(int, afterRows);
        QFETCH(bool, stop);
        QFETCH(int, saved);
        endtoend::Fixture fx(Engine::MariaDb);
        const auto healed = healedFirst();
        VESK_VERIFY_OK(showItems(fx));
        frmVESKauction& w = fx.window();
        for (int id = 1; id <= 5; ++id)
            fx.pickEnd(id, kNewEnd.addSecs(60 * id));
        const int runs = w.listingRuns;
        int confirmed = 0;
        connect(&w, &frmVESKauction::rowSaved, this, [&] { ++confirmed; });
        std::atomic<bool> faulted{false};
        std::atomic<bool> stopPressed{false};
        // On the worker, between two rows: the rows before it are written.
        w.beforeSaveRow = [&](int row) {
            if (row != afterRows || faulted)
                return;
            faulted = fault.isEmpty() || m_server.control(fault);
            // A healthy server: the stop reaches the save at this row.
            for (int i = 0; i < 1000 && fault.isEmpty() && !stopPressed; ++i)
                QThread::msleep(10);
        };

        StallMeter stall;
        QTest::mouseClick(w.Command1, Qt::LeftButton);
        QVERIFY(!w.Command2->isEnabled() && !w.Flex->isEnabled() && w.cmdStop->isVisible());
        QTRY_VERIFY(faulted);
        if (stop) {
            QTest::qWait(300);
            QTest::keyClick(&w, Qt::Key_Escape);
            stopPressed = true;
        }
        QVERIFY(vesktest::waitUntilIdle(w, 60000));
        QVERIFY2(stall.longestMs() <= kFrozenMs, qPrintable(QString::number(stall.longestMs())));
        QCOMPARE(confirmed, saved);

        QCOMPARE(w.listingRuns, runs);
        QCOMPARE(fx.messages.size(), 1);
        VESK_VERIFY_CONTAINS(fx.messages[0].text, "Not saved:", "still in the table",
                             stop ? "was stopped" : "could not be reached");
        QVERIFY(w.Flex->isEnabled() && w.Command2->isEnabled() && !w.cmdStop->isVisible());
        heal();
        QTRY_COMPARE(w.databaseWorker().abandonedRunning(), 0);
        // Every end is in the database or still marked in the grid, never
        // lost, and nothing marked was written.
        int unsaved = 0;
        for (int id = 1; id <= 5; ++id) {
            QCOMPARE(fx.end(id).section(' ', 0, 0).toLongLong(), kNewStamp + 60 * id);
            const bool isMarked = marked(w, fx.rowOf(id));
            QCOMPARE(fx.stampInDatabase(id) == kNewStamp + 60 * id, !isMarked);
            unsaved += isMarked ? 1 : 0;
        }
        QCOMPARE(unsaved, 5 - saved);
        VESK_VERIFY_CONTAINS(fx.messages[0].text, QStringLiteral("Not saved: %1 row").arg(unsaved));

        fx.messages.clear();
        QVERIFY(vesktest::clickAndWait(w, w.Command1));
        QCOMPARE(fx.messages.size(), 0);
        QCOMPARE(w.listingRuns, runs + 1);
        for (int id = 1; id <= 5; ++id) {
            QCOMPARE(fx.stampInDatabase(id), kNewStamp + 60 * id);
            QVERIFY(!marked(w, fx.rowOf(id)));
        }
        QCOMPARE(fx.stampInDatabase(6), kOldStamp);
    }
};

QTEST_MAIN(FaultsTest)
#include "tst_faults_serverstop_mariadb.moc"
