// The window while the item database works or does not answer: the longest
// time its event loop is held up during a listing and during a save of 50
// changed rows, against a healthy server and a frozen one (the clerk stops the
// wait after a second), and the time a save of 50 changed rows takes on
// loopback, its journal in the installation folder included. Prints medians
// of one run. Then a save of 50 changed rows and a 50-row listing through a
// relay that holds every chunk back 25 ms each way, as over the store's
// uplink, with the request/response turns the relay counted.
//
// Then the link over TLS against plaintext: connect time and a 50-row save
// in one transaction, each through a data control, on the services' TLS server.
//
// Needs the MariaDB of scripts/test-services.sh (source DIR/env.sh first); it
// freezes that server for a moment (SIGSTOP) and thaws it again.
//   bench_database [repetitions=5]

#include "BenchDatabase.h"
#include "TcpRelay.h"
#include "auction/frmVESKauction.h"
#include "auction_core/AuctionJournal.h"
#include "auction_core/AuctionSaver.h"
#include "auction_core/ItemTableModel.h"
#include "auction_core/ListingQuery.h"
#include "data/ConnectionConfig.h"
#include "data/DataControl.h"
#include "data/DatabaseWorker.h"
#include "data/Installation.h"
#include "data/frmadoHelper.h"
#include "windows/MessageBox.h"

#include <QApplication>
#include <QTemporaryDir>

#include <cstdio>

namespace {
using namespace benchdb;

constexpr int kRows = 50;
constexpr qint64 kListedStamp = 1700003600;
constexpr int kWaitBeforeStopMs = 1000;
constexpr int kUplinkDelayMs = 25;

void waitWhile(const std::function<bool()>& busy)
{
    while (busy())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
}

// Gives every row a new end, as the editor writes it.
void changeEveryEnd(ItemTableModel& items, qint64 stamp)
{
    for (int row = 0; row < items.rowCount(); ++row)
        items.setEnd(row, qint32(stamp + row), QDateTime::fromSecsSinceEpoch(stamp + row, Qt::UTC));
}

// A data control on the benchmark's database, through `port`.
std::unique_ptr<DataControl> itemControl(const ItemDatabase& database, quint16 port)
{
    const auto v = &ConnectionConfig::odbcValue;
    const QString connection =
        QStringLiteral("Provider=MSDASQL.1;Extended Properties=\"DRIVER={MySQL ODBC 3.51 "
                       "Driver};DATABASE=%1;SERVER=%2;UID=%3;PASSWORD=%4;PORT=%5;Option=16387;\"")
            .arg(v(database.name()), v(env("VESK_TEST_MYSQL_HOST")), v(env("VESK_TEST_MYSQL_USER")),
                 v(env("VESK_TEST_MYSQL_PASSWORD")))
            .arg(port);
    return std::make_unique<DataControl>(QStringLiteral("adoKBvesk1"), connection,
                                         DataControl::kQueryText, QString(), nullptr);
}

// Every row of the grid with a new end over the one it was listed with.
QVector<AuctionRow> changedRows(qint64 listed, qint64 next)
{
    QVector<AuctionRow> rows;
    for (int id = 1; id <= kRows; ++id) {
        AuctionRow row;
        row.itemId = id;
        row.sku = QStringLiteral("D-%1").arg(id);
        row.stamp = next + id;
        row.listedStamp = listed + id;
        rows << row;
    }
    return rows;
}

void uplinkFigures(int repetitions)
{
    QTemporaryDir dir;
    const ItemDatabase database(QStringLiteral("bench_uplink"));
    database.addItems(kRows, [](int id) {
        return QStringLiteral("'D-%1','ring %1',%2,%3")
            .arg(id)
            .arg(id * 2.5)
            .arg(kListedStamp + id);
    });
    vesktest::TcpRelay relay(env("VESK_TEST_MYSQL_HOST"),
                             quint16(env("VESK_TEST_MYSQL_PORT").toInt()));
    relay.setDelay(kUplinkDelayMs, kUplinkDelayMs);
    const auto control = itemControl(database, relay.port());
    control->RecordSource = QStringLiteral("SELECT 1");
    control->Refresh(); // the connection is open before anything is measured
    const AuctionJournal journal(dir.filePath(QStringLiteral("auction_journal.csv")));

    std::vector<double> saveMs, listMs, saveTurns, listTurns;
    qint64 listed = kListedStamp;
    for (int r = 0; r < repetitions; ++r) {
        const qint64 next = 1800000000 + 1000 * r;
        AuctionSaveReport report;
        relay.resetTurns();
        saveMs.push_back(timeMs([&] {
            AuctionSaver saver(*control, QStringLiteral("S1"));
            saver.journal = &journal;
            report = saver.save(changedRows(listed, next));
        }));
        saveTurns.push_back(relay.turns());
        if (report.saved != kRows)
            fail(QStringLiteral("the save wrote %1 rows: %2")
                     .arg(report.saved)
                     .arg(report.message(false)));
        listed = next;

        relay.resetTurns();
        listMs.push_back(timeMs([&] {
            control->RecordSource =
                listingBasePiece(QStringLiteral("D-")) +
                listingFilterPieces({false, false, false, true}, 0).join(QString());
            control->Refresh();
        }));
        listTurns.push_back(relay.turns());
        if (control->Recordset().RecordCount() != kRows)
            fail(
                QStringLiteral("the listing read %1 rows").arg(control->Recordset().RecordCount()));
    }
    std::printf("through a relay adding %d ms each way, %d rows, medians of %d:\n", kUplinkDelayMs,
                kRows, repetitions);
    std::printf("  save   %8.1f ms, %4.0f round trips   (target <= 250 ms, <= 5)\n", median(saveMs),
                median(saveTurns));
    std::printf("  listing %7.1f ms, %4.0f round trips   (target <= 2 plus the transfer)\n",
                median(listMs), median(listTurns));
}

int benchmark(int repetitions)
{
    QTemporaryDir dir;
    if (!dir.isValid())
        fail(QStringLiteral("cannot create a temporary folder"));
    const ItemDatabase database(QStringLiteral("bench_database"));
    database.addItems(kRows, [](int id) {
        return QStringLiteral("'D-%1','ring %1',%2,%3").arg(id).arg(id * 2.5).arg(kListedStamp);
    });
    database.writeIni(dir.path(),
                      QStringLiteral("[timeouts]\r\nconnect=5\r\nread=5\r\nwrite=5\r\n"));
    writeSuiteDatabase(dir.path());

    // The reports of stopped steps are answered at once.
    MessageBox::setTestHandler([](const MessageBox::Call&) { return QMessageBox::Ok; });
    frmadoHelper helper{Installation(dir.path())};
    frmVESKauction window(helper);
    window.txtStoreID->setText(QStringLiteral("S1"));
    window.show();
    waitWhile([&] { return window.listingRuns < 1 || window.isBusy(); });
    window.Option1->setChecked(true);

    StallMeter stalls;
    const auto listing = [&](bool frozen) {
        if (frozen)
            serverControl(QStringLiteral("freeze"));
        stalls.start();
        window.Command2->click();
        if (frozen) {
            QElapsedTimer waited;
            waited.start();
            waitWhile([&] { return waited.elapsed() < kWaitBeforeStopMs; });
            window.cmdStop->click();
        }
        waitWhile([&] { return window.isBusy(); });
        const double stall = stalls.stop();
        if (frozen)
            serverControl(QStringLiteral("thaw"));
        return stall;
    };
    qint64 nextStamp = 1800000000;
    // Click to report: the rows written, before the listing that follows.
    const auto save = [&](bool frozen, double* savedMs) {
        changeEveryEnd(window.items(), nextStamp += 1000);
        if (frozen)
            serverControl(QStringLiteral("freeze"));
        stalls.start();
        QElapsedTimer clock;
        clock.start();
        window.Command1->click();
        if (frozen) {
            waitWhile([&] { return clock.elapsed() < kWaitBeforeStopMs; });
            window.cmdStop->click();
        }
        waitWhile([&] { return window.isSaving(); });
        if (savedMs)
            *savedMs = clock.nsecsElapsed() / 1e6;
        waitWhile([&] { return window.isBusy(); });
        const double stall = stalls.stop();
        if (frozen)
            serverControl(QStringLiteral("thaw"));
        return stall;
    };

    std::vector<double> listHealthy, listFrozen, saveHealthy, saveFrozen, saveTimes;
    for (int r = 0; r < repetitions; ++r) {
        listHealthy.push_back(listing(false));
        listFrozen.push_back(listing(true));
        double ms = 0;
        saveHealthy.push_back(save(false, &ms));
        if (window.Flex->model()->rowCount() != kRows)
            fail(QStringLiteral("the save listed %1 rows").arg(window.Flex->model()->rowCount()));
        saveTimes.push_back(ms);
        saveFrozen.push_back(save(true, nullptr));
        // The ends the frozen save kept are written before the next round.
        waitWhile([&] { return window.databaseWorker().abandonedRunning() > 0; });
        window.Command1->click();
        waitWhile([&] { return window.isBusy(); });
    }

    std::printf("UI-thread stalls, %d rows, medians of %d (target <= 100 ms each):\n", kRows,
                repetitions);
    std::printf("  listing, healthy server                 %8.1f ms\n", median(listHealthy));
    std::printf("  listing, frozen server (stop after 1 s) %8.1f ms\n", median(listFrozen));
    std::printf("  save of %d changed rows, healthy        %8.1f ms\n", kRows, median(saveHealthy));
    std::printf("  save, frozen server (stop after 1 s)    %8.1f ms\n", median(saveFrozen));
    std::printf(
        "save of %d changed rows (journal included) on loopback %8.1f ms   (target <= 50)\n", kRows,
        median(saveTimes));
    return 0;
}

// ---- The link over TLS against plaintext, on the TLS server of the test services ----

constexpr int kTlsRows = 50;

// One way to reach the TLS server: a data control through the bridge (tls= as
// given) or, with tls empty, the driver alone as before the bridge.
struct TlsVariant
{
    const char* label;
    const char* tls;
};

QString tlsIni(const QString& database, const QString& tls)
{
    return QStringLiteral("[itemdb]\r\nserver=localhost\r\nport=%1\r\ndatabase=%2\r\nuser=%3\r\n"
                          "password=%4\r\ntls=%5\r\nca=%6\r\n")
        .arg(env("VESK_TEST_TLS_PORT"), database, env("VESK_TEST_TLS_USER"),
             env("VESK_TEST_TLS_PASSWORD"), tls, env("VESK_TEST_TLS_CA"));
}

// Connect and first answer, then the 50-row save in one transaction: times in ms.
std::pair<double, double> tlsRound(const QString& iniPath, const QString& database, bool alone,
                                   qint64 stamp)
{
    const QString update =
        QStringLiteral("UPDATE item SET auction_until_unix=? WHERE CV_itemid=? AND storeid='S1'");
    if (alone) {
        QSqlDatabase db =
            QSqlDatabase::addDatabase(QStringLiteral("QMYSQL"), QStringLiteral("alone"));
        db.setHostName(QStringLiteral("127.0.0.1"));
        db.setPort(env("VESK_TEST_TLS_PORT").toInt());
        db.setDatabaseName(database);
        db.setUserName(env("VESK_TEST_TLS_USER"));
        db.setPassword(env("VESK_TEST_TLS_PASSWORD"));
        const double connect = timeMs([&] {
            if (!db.open())
                fail(db.lastError().text());
            run(db, QStringLiteral("SELECT 1"));
        });
        QSqlQuery q(db);
        q.prepare(update);
        const double save = timeMs([&] {
            db.transaction();
            for (int id = 1; id <= kTlsRows; ++id) {
                q.addBindValue(stamp + id);
                q.addBindValue(id);
                if (!q.exec())
                    fail(q.lastError().text());
            }
            db.commit();
        });
        q = QSqlQuery();
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(QStringLiteral("alone"));
        return {connect, save};
    }
    const ConnectionConfig config = ConnectionConfig::load(iniPath);
    DataControl control(QStringLiteral("adoKBvesk2"),
                        config.remoteConnectionString(QStringLiteral("itemdb")),
                        DataControl::kQueryText, QStringLiteral("SELECT 1"), &config);
    const double connect = timeMs([&] { control.Refresh(); });
    const double save = timeMs([&] {
        control.beginTransaction();
        for (int id = 1; id <= kTlsRows; ++id)
            control.execute(update, {stamp + id, id});
        control.commit();
    });
    return {connect, save};
}

void tlsBenchmark(int repetitions)
{
    if (qEnvironmentVariableIsEmpty("VESK_TEST_TLS_PORT")) {
        std::printf("link over TLS: skipped, VESK_TEST_TLS_PORT is not set (start the test "
                    "services of this version)\n");
        return;
    }
    QTemporaryDir dir;
    const QString database = QStringLiteral("bench_tls_%1").arg(QCoreApplication::applicationPid());
    {
        QSqlDatabase admin =
            QSqlDatabase::addDatabase(QStringLiteral("QMYSQL"), QStringLiteral("tlsadmin"));
        admin.setHostName(QStringLiteral("127.0.0.1"));
        admin.setPort(env("VESK_TEST_TLS_PORT").toInt());
        admin.setUserName(env("VESK_TEST_TLS_USER"));
        admin.setPassword(env("VESK_TEST_TLS_PASSWORD"));
        if (!admin.open())
            fail(QStringLiteral("cannot reach the TLS server: %1").arg(admin.lastError().text()));
        run(admin, QStringLiteral("CREATE DATABASE %1").arg(database));
        run(admin, QStringLiteral("USE %1").arg(database));
        runScript(admin, sqlFile(QStringLiteral("mysql"), QStringLiteral("item")));
        QStringList rows;
        for (int id = 1; id <= kTlsRows; ++id)
            rows << QStringLiteral("(%1,'T-%1','S1',0)").arg(id);
        run(admin, QStringLiteral("INSERT INTO item (CV_itemid, SKU, storeid, auction_until_unix) "
                                  "VALUES ") +
                       rows.join(QLatin1Char(',')));
    }
    const TlsVariant variants[] = {
        {"plaintext, the driver alone", ""},
        {"plaintext through the bridge (tls=off)", "off"},
        {"TLS through the bridge (tls=verify-identity)", "verify-identity"}};
    std::vector<double> connects[3], saves[3];
    qint64 stamp = 1900000000;
    for (int r = 0; r < repetitions; ++r) {
        for (int v = 0; v < 3; ++v) {
            const QString ini = dir.filePath(QStringLiteral("tls%1.ini").arg(v));
            QFile file(ini);
            if (!file.open(QIODevice::WriteOnly) ||
                file.write(tlsIni(database, QLatin1String(variants[v].tls)).toUtf8()) < 0)
                fail(QStringLiteral("cannot write %1").arg(ini));
            file.close();
            const auto times = tlsRound(ini, database, !*variants[v].tls, stamp += 1000);
            connects[v].push_back(times.first);
            saves[v].push_back(times.second);
        }
    }
    QSqlQuery(QSqlDatabase::database(QStringLiteral("tlsadmin")))
        .exec(QStringLiteral("DROP DATABASE %1").arg(database));
    QSqlDatabase::removeDatabase(QStringLiteral("tlsadmin"));

    std::printf("link to the item database on loopback, medians of %d:\n", repetitions);
    std::printf("  %-46s %12s %16s\n", "", "connect (ms)", "50-row save (ms)");
    for (int v = 0; v < 3; ++v)
        std::printf("  %-46s %12.2f %16.2f\n", variants[v].label, median(connects[v]),
                    median(saves[v]));
    std::printf("  save over TLS / plaintext alone: %.2fx, / plaintext through the bridge: %.2fx "
                "(target <= 1.2x)\n",
                median(saves[2]) / median(saves[0]), median(saves[2]) / median(saves[1]));
}

} // namespace

int main(int argc, char** argv)
{
    return benchdb::runBenchmark(argc, argv, "bench_database", [](const QStringList& args) {
        const int repetitions = args.size() > 1 ? qMax(1, args.at(1).toInt()) : 5;
        const int status = benchmark(repetitions);
        uplinkFigures(repetitions);
        tlsBenchmark(repetitions);
        return status;
    });
}
