// The window while the item database works or does not answer: the longest
// time its event loop is held up during a listing and during a save of 50
// changed rows, against a healthy server and a frozen one (the clerk stops the
// wait after a second), and the time a save of 50 changed rows takes on
// loopback, its journal in the installation folder included. Prints medians
// of one run.
//
// Needs the MariaDB of scripts/test-services.sh (source DIR/env.sh first); it
// freezes that server for a moment (SIGSTOP) and thaws it again.
//   bench_database [repetitions=5]

#include "BenchDatabase.h"
#include "auction/frmVESKauction.h"
#include "auction_core/ItemTableModel.h"
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

} // namespace

int main(int argc, char** argv)
{
    return benchdb::runBenchmark(argc, argv, "bench_database", [](const QStringList& args) {
        const int repetitions = args.size() > 1 ? qMax(1, args.at(1).toInt()) : 5;
        return benchmark(repetitions);
    });
}
