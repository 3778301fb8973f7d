#include "EndToEndCases.h"
#include "WindowWaits.h"

using endtoend::Engine;

// A long listing shows its first rows at once and fills the rest of the grid
// from the event loop.
class ListingFillTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }

    // A listing asked for while the grid still fills replaces that fill: the
    // grid ends with exactly the rows of the new listing, each one complete.
    void relistWhileFillingLeavesTheNewRowsOnly()
    {
        constexpr int kItems = 5000;
        constexpr int kKept = 1234;
        endtoend::Fixture fx(Engine::Sqlite);
        VESK_VERIFY_OK(fx.error);
        VESK_VERIFY_OK(vesktest::exec(
            fx.items(),
            QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n "
                           "WHERE i < %1) INSERT INTO item (CV_itemid, SKU, Description, Retail, "
                           "auction_until_unix, storeid) SELECT i, 'R-' || i, 'ring', i, "
                           "1700000000 + i, 'S1' FROM n")
                .arg(kItems)));
        QVERIFY(fx.show());
        frmVESKauction& w = fx.window();
        w.chkLimit->setChecked(false);
        QSignalSpy listed(&fx.listing(), &ItemListing::listed);

        QTest::mouseClick(w.Command2, Qt::LeftButton);
        QElapsedTimer wait;
        wait.start();
        // The new rows have begun to fill the grid (the bar counts them).
        while (w.Bar->maximum() != kItems + 1 && wait.elapsed() < 20000)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
        QVERIFY2(fx.listing().isRunning() && w.Flex->rowCount() > 0 && w.Flex->rowCount() < kItems,
                 "not in the fill");
        QVERIFY(!w.Flex->updatesEnabled() || w.Flex->item(w.Flex->rowCount() - 1, 5));
        VESK_VERIFY_OK(vesktest::exec(
            fx.items(), QStringLiteral("DELETE FROM item WHERE CV_itemid > %1").arg(kKept)));
        QVERIFY(vesktest::clickAndWait(w, w.Command2));

        QCOMPARE(listed.count(), 1);
        QCOMPARE(w.Flex->rowCount(), kKept);
        QStringList expected;
        for (int i = 1; i <= kKept; ++i)
            expected << QString::number(i);
        QCOMPARE(fx.column(0), expected);
        QCOMPARE(fx.text(kKept - 1, 5), QString::number(1700000000 + kKept));
        QCOMPARE(w.Bar->value(), kKept);
        QCOMPARE(w.Flex->currentRow(), kKept - 1);
        QVERIFY(w.Flex->updatesEnabled());
    }
};

QTEST_MAIN(ListingFillTest)
#include "tst_listing_fill.moc"
