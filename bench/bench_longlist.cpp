// A long listing with the row limit off: 100,000 items on MariaDB (no pictures
// in the suite database). Prints medians of one run of
//   - the time from the click until the grid paints its first rows,
//   - the time until the grid holds every row,
//   - the longest time the event loop did not turn, the picture lookups of
//     every row included,
//   - the peak resident memory during a listing;
// and, to tell the window's part from the server's and from a busy machine,
// when the rows arrived from the server and the CPU time of the UI thread
// until the grid is complete.
//
// Needs the MariaDB of scripts/test-services.sh (source DIR/env.sh first).
//   bench_longlist [repetitions=3] [items=100000]

#include "BenchDatabase.h"
#include "auction/ItemListing.h"
#include "auction/frmVESKauction.h"
#include "data/Installation.h"
#include "data/frmadoHelper.h"

#include <QApplication>
#include <QEvent>
#include <QTableView>
#include <QTemporaryDir>

#include <cstdio>
#include <ctime>
#include <vector>

namespace {
using namespace benchdb;

// Notes the first paint of the grid that shows a listed row.
class FirstRowsPainted : public QObject
{
public:
    explicit FirstRowsPainted(QTableView* grid) : m_grid(grid)
    {
        grid->viewport()->installEventFilter(this);
    }
    void start(const QElapsedTimer* clock)
    {
        m_clock = clock;
        m_ms = -1;
    }
    double ms() const { return m_ms; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint && m_clock && m_ms < 0 && m_grid->updatesEnabled() &&
            m_grid->model()->rowCount() > 0)
            m_ms = m_clock->nsecsElapsed() / 1e6;
        return QObject::eventFilter(watched, event);
    }

private:
    QTableView* m_grid;
    const QElapsedTimer* m_clock = nullptr;
    double m_ms = -1;
};

double threadCpuMs()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
}

// Items 1..count in one statement: the numbers come from a cross join of digits.
void addManyItems(const ItemDatabase& database, int count)
{
    QSqlDatabase db = database.admin();
    run(db, QStringLiteral("CREATE TABLE digit (d INT NOT NULL)"));
    run(db, QStringLiteral("INSERT INTO digit VALUES (0),(1),(2),(3),(4),(5),(6),(7),(8),(9)"));
    run(db, QStringLiteral("INSERT INTO item (CV_itemid, SKU, Description, Retail, "
                           "auction_until_unix, storeid) "
                           "SELECT n, CONCAT('L-', n), CONCAT('ring with a stone, lot ', n), "
                           "n * 1.25, IF(n % 3 = 0, 0, 1700000000 + IF(n % 2, 1, -1) * n), "
                           "'S1' FROM (SELECT a.d + 10 * b.d + 100 * c.d + 1000 * e.d + "
                           "10000 * f.d + 100000 * g.d + 1 AS n FROM digit a, digit b, digit "
                           "c, digit e, digit f, digit g) numbers WHERE n <= %1")
                .arg(count));
}

int benchmark(int repetitions, int items)
{
    QTemporaryDir dir;
    if (!dir.isValid())
        fail(QStringLiteral("cannot create a temporary folder"));
    const ItemDatabase database(QStringLiteral("bench_longlist"));
    const double fillMs = timeMs([&] { addManyItems(database, items); });
    database.writeIni(dir.path());
    writeSuiteDatabase(dir.path());

    frmadoHelper helper{Installation(dir.path())};
    frmVESKauction window(helper);
    ItemListing& listing = window.listing();
    window.txtStoreID->setText(QStringLiteral("S1"));
    window.show();
    while (listing.completedRuns() < 1 || window.isBusy())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    window.Option1->setChecked(true);
    window.chkLimit->setChecked(false);

    FirstRowsPainted painted(window.Flex);
    StallMeter stalls;
    std::vector<double> arrived, firstRows, complete, uiCpu, stall, peakMb;
    double arrivedMs = -1;
    const QElapsedTimer* listingClock = nullptr;
    QObject::connect(&listing, &ItemListing::waitingChanged, [&](bool waiting) {
        if (!waiting && listingClock)
            arrivedMs = listingClock->nsecsElapsed() / 1e6;
    });
    int rows = 0;
    bool peakReset = true;
    for (int r = 0; r < repetitions; ++r) {
        QCoreApplication::processEvents();
        peakReset = resetPeakMemory() && peakReset;
        QElapsedTimer clock;
        listingClock = &clock;
        painted.start(&clock);
        stalls.start();
        const double cpuBefore = threadCpuMs();
        clock.start();
        window.Command2->click();
        while (window.isBusy())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
        complete.push_back(clock.nsecsElapsed() / 1e6);
        uiCpu.push_back(threadCpuMs() - cpuBefore);
        arrived.push_back(arrivedMs);
        while (listing.picturesPending() > 0)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
        stall.push_back(stalls.stop());
        firstRows.push_back(painted.ms());
        peakMb.push_back(peakMemoryKb() / 1024.0);
        rows = window.Flex->model()->rowCount();
    }

    std::printf("%d items made in %.0f ms; listed with the limit off (%d rows), medians of %d:\n",
                items, fillMs, rows, repetitions);
    std::printf("  rows arrived from the server            %8.1f ms\n", median(arrived));
    std::printf("  first rows painted                      %8.1f ms   (target <= 150)\n",
                median(firstRows));
    std::printf("  grid complete                           %8.1f ms   (target <= 500; UI thread "
                "busy %.1f ms)\n",
                median(complete), median(uiCpu));
    std::printf("  longest event-loop stall                %8.1f ms   (target <= 100)\n",
                median(stall));
    std::printf("  peak memory, VmHWM of %-17s %8.1f MB   (target <= 120)\n",
                peakReset ? "a listing" : "the whole run", median(peakMb));
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    return benchdb::runBenchmark(argc, argv, "bench_longlist", [](const QStringList& args) {
        const int repetitions = args.size() > 1 ? qMax(1, args.at(1).toInt()) : 3;
        const int items = args.size() > 2 ? qBound(1, args.at(2).toInt(), 1000000) : 100000;
        return benchmark(repetitions, items);
    });
}
