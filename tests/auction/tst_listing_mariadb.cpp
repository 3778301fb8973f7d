// The listing as the clerk sees it: the statement, the rows, their colours and
// pictures, typed text that must list the right rows on every item database; a
// long listing fills the grid from the event loop.

#include "EndToEndCases.h"

#include <QSignalSpy>

using endtoend::Engine;

Q_DECLARE_METATYPE(Engine)

namespace {
// 1700000000 without daylight saving.
const QDateTime kNow(QDate(2023, 11, 14), QTime(17, 13, 20));

// A row of the table for each engine, the engine's name before the tag.
template <class... Values> void addRowOnEach(const QString& tag, const Values&... values)
{
    for (const Engine engine : {Engine::Sqlite, Engine::MariaDb})
        ((QTest::newRow(qPrintable((engine == Engine::Sqlite ? "SQLite, " : "MariaDB, ") + tag))
          << engine)
         << ... << values);
}
} // namespace

class ListingTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }

    // The option selected, the limit, and the statement after its common head as
    // assembled and as translated.
    void assemblesAndTranslatesStatement_data()
    {
        QTest::addColumn<QString>("option");
        QTest::addColumn<bool>("limit");
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("after");
        QTest::newRow("current, limited")
            << "optCurrent" << true
            << "   AND auction_until_unix >1700000000 AND auction_until_unix<>0  LIMIT 50 "
            << " AND auction_until_unix >1700000000 AND auction_until_unix<>0 LIMIT 50 ";
        QTest::newRow("past") << "optPast" << false
                              << "   AND auction_until_unix <1700000000 AND auction_until_unix<>0 "
                              << " AND auction_until_unix <1700000000 AND auction_until_unix<>0 ";
        QTest::newRow("free") << "optFree" << false << "   AND auction_until_unix = 0 "
                              << " AND auction_until_unix = 0 ";
        QTest::newRow("any: the base only") << "Option1" << false << "  "
                                            << " ";
    }
    void assemblesAndTranslatesStatement()
    {
        QFETCH(QString, option);
        QFETCH(bool, limit);
        FIXTURE(fx, Engine::Sqlite);
        fx.clock.at = kNow;
        frmVESKauction& w = fx.window();
        QSignalSpy assembled(&fx.listing(), &ItemListing::statementAssembled);
        w.findChild<QRadioButton*>(option)->setChecked(true);
        w.chkLimit->setChecked(limit);
        QTest::keyClicks(w.txtSearch, "AB");

        QVERIFY(fx.refresh());

        const QString head = "SELECT * FROM item WHERE SKU LIKE 'AB%'";
        QCOMPARE(assembled.size(), 1);
        QTEST(assembled.at(0).at(0).toString().mid(head.size()), "before");
        QTEST(w.helper().adoKBvesk2.RecordSource.mid(head.size()), "after");
        QVERIFY(fx.messages.isEmpty());
    }

    // One item (id|sku|retail|stamp|description, NULL for NULL), the daylight-saving
    // box, what the row shows in columns 0 to 7 and the colour of columns 5 to 7.
    void showsEachItemInItsRow_data()
    {
        QTest::addColumn<Engine>("engine");
        QTest::addColumn<QString>("item");
        QTest::addColumn<bool>("daylight");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QColor>("colour");
        const QColor red(255, 0, 0), green(0, 255, 0), none;
        addRowOnEach("past", QString("7|R-7|1234.5|1699999940|ring"), false,
                     QString("7|R-7|ring||1,234.50|1699999940|Nov-14-2023|17:12:00"), red);
        addRowOnEach("running", QString("7|R-7|1|1700003600|ring"), false,
                     QString("7|R-7|ring||1.00|1700003600|Nov-14-2023|18:13:00"), green);
        addRowOnEach("ending now", QString("7|R-7|1|1700000000|ring"), false,
                     QString("7|R-7|ring||1.00|1700000000|Nov-14-2023|17:13:00"), none);
        // With the box ticked "now" is an hour earlier as a stamp.
        addRowOnEach("daylight saving moves now", QString("7|R-7|1|1700000000|ring"), true,
                     QString("7|R-7|ring||1.00|1700000000|Nov-14-2023|18:13:00"), green);
        addRowOnEach("NULL stamp", QString("5|R-5|10|NULL|ring"), false,
                     QString("5|R-5|ring||10.00|||"), none);
        // A NULL item number must not find the picture of item 0.
        addRowOnEach("NULL item number, retail and description", QString("NULL|R-5|NULL|0|NULL"),
                     false, QString("|R-5||||0|Dec-31-1969|19:00:00"), none);
    }
    void showsEachItemInItsRow()
    {
        QFETCH(Engine, engine);
        QFETCH(QString, item);
        QFETCH(bool, daylight);
        QFETCH(QColor, colour);
        FIXTURE(fx, engine);
        fx.clock.at = kNow;
        const QStringList f = item.split('|');
        VESK_VERIFY_OK(fx.addItem(f[0], f[1], f[2], f[3], f[4]));
        VESK_VERIFY_OK(fx.addPicture(0, "zero.png", Qt::red));
        frmVESKauction& w = fx.window();
        w.chkDayLight->setChecked(daylight);
        QVERIFY(fx.show());

        QVERIFY(fx.refresh());

        QStringList texts;
        const QImage screen = w.Flex->viewport()->grab().toImage();
        for (int column = 0; column < 8; ++column) {
            texts << fx.text(0, column);
            const QColor expected = column >= 5 ? colour : QColor();
            const QVariant brush = fx.cell(0, column, Qt::BackgroundRole);
            QCOMPARE(brush.isValid() ? brush.value<QBrush>().color() : QColor(), expected);
            if (expected.isValid())
                QCOMPARE(screen.pixelColor(fx.corner(0, column) + QPoint(2, 2)), expected);
        }
        QTEST(texts.join('|'), "shown");
        QVERIFY(fx.cell(0, 0, Qt::DecorationRole).isNull());
        // What the save compares with.
        QCOMPARE(fx.cell(0, 5, Qt::UserRole),
                 f[3] == "NULL" ? QVariant() : QVariant(f[3].toLongLong()));
        QVERIFY(fx.messages.isEmpty());
    }

    // What is typed | the SKUs listed, sorted, comma-separated.
    void typedTextListsTheRightRows_data()
    {
        QTest::addColumn<Engine>("engine");
        QTest::addColumn<QString>("search");
        for (const char* search : {"O'|O'Brien", "a\\|a\\b", "'; DELETE FROM item; --|", "\\'|",
                                   "50%|50%off,50-off", "x_y|x_y,xzy", "[A]|[A]1", "a  b|a  b"})
            addRowOnEach(search, QString(search));
    }
    void typedTextListsTheRightRows()
    {
        QFETCH(Engine, engine);
        QFETCH(QString, search);
        FIXTURE(fx, engine);
        const QStringList skus{"AB1", "O'Brien", "a\\b", "axb",  "50%off", "50-off",
                               "x_y", "xzy",     "[A]1", "a  b", "a b",    "DELETE"};
        for (int id = 0; id < skus.size(); ++id)
            VESK_VERIFY_OK(fx.addItem(id + 1, skus.at(id), 1, 0));
        frmVESKauction& w = fx.window();
        QTest::keyClicks(w.txtSearch, search.section('|', 0, 0));

        QVERIFY(fx.refresh());

        QStringList shown = fx.column(1);
        shown.sort();
        const QStringList listed = search.section('|', 1).split(',', Qt::SkipEmptyParts);
        QCOMPARE(shown, listed);
        QCOMPARE(fx.messages.size(), 0);
        QCOMPARE(vesktest::scalar(fx.items(), "SELECT COUNT(*) FROM item").toInt(), skus.size());
        // An empty result ends at 0 of 1 with the frame gone.
        QCOMPARE(w.Bar->maximum(), listed.size() + 1);
        QCOMPARE(w.Bar->value(), listed.size());
        QVERIFY(w.shpWait->isHidden());
    }

    // A long listing gets its pictures after its texts; a short one started
    // meanwhile gets its own at once: none for 141, a blank for the unreadable 142.
    void showsEachItemsPictureAndNoneOfAnEarlierListing()
    {
        FIXTURE(fx, Engine::Sqlite);
        const auto colour = [](int id) { return QColor::fromHsv(id * 7 % 360, 200, 200); };
        for (int id = 1; id <= 150; ++id) {
            VESK_VERIFY_OK(fx.addItem(id, QStringLiteral("L-%1").arg(id), id, 0));
            if (id != 141)
                VESK_VERIFY_OK(fx.addPicture(id, QStringLiteral("p%1.png").arg(id),
                                             id == 142 ? QColor() : colour(id)));
        }
        frmVESKauction& w = fx.window();
        w.chkLimit->setChecked(false);
        QVERIFY(fx.refresh());
        QCOMPARE(w.Flex->rowCount(), 150);
        QVERIFY(fx.listing().picturesPending() > 0);

        QTest::keyClicks(w.txtSearch, QStringLiteral("L-14"));
        w.chkLimit->setChecked(true);
        QVERIFY(fx.refresh());
        QCOMPARE(fx.listing().picturesPending(), 0);
        fx.helper->pictures().pipeline().waitForIdle();
        QCoreApplication::processEvents(); // no late picture of the long listing lands here
        QCOMPARE(w.Flex->rowCount(), 11);  // L-14, L-140 to L-149
        for (int row = 0; row < 11; ++row) {
            const int id = fx.text(row, 0).toInt();
            const QImage picture = fx.cell(row, 0, Qt::DecorationRole).value<QImage>();
            if (id == 141)
                QVERIFY(picture.isNull());
            else if (id == 142)
                QCOMPARE(picture.pixelColor(0, 0),
                         fx.helper->pictures().pipeline().settings().background);
            else // 1300 twips wide, at the top left
                QVERIFY(picture.size() == QSize(87, 65) &&
                        vesktest::colourDistance(picture.pixelColor(43, 32), colour(id)) < 24);
        }
    }

    // A listing asked for while the grid still fills replaces that fill: the
    // grid ends with exactly the rows of the new listing, each one complete.
    void relistWhileFillingLeavesTheNewRowsOnly()
    {
        constexpr int kItems = 5000;
        constexpr int kKept = 1234;
        FIXTURE(fx, Engine::Sqlite);
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
        const QStringList ids = fx.column(0);
        for (int i = 0; i < kKept; ++i)
            QCOMPARE(ids[i], QString::number(i + 1));
        QCOMPARE(fx.text(kKept - 1, 5), QString::number(1700000000 + kKept));
        QCOMPARE(w.Bar->value(), kKept);
        QCOMPARE(w.Flex->currentRow(), kKept - 1);
        QVERIFY(w.Flex->updatesEnabled());
    }

    void refreshDuringListingRunsOnceAfterIt()
    {
        FIXTURE(fx, Engine::Sqlite);
        VESK_VERIFY_OK(fx.addItem(1, "C-1", 1, 0));
        frmVESKauction& w = fx.window();
        QStringList events;
        connect(&fx.listing(), &ItemListing::statementAssembled, this, [&] { events << "start"; });
        connect(&fx.listing(), &ItemListing::listed, this, [&] { events << "end"; });
        // Two clicks that arrive while the listing lets events through.
        QTimer::singleShot(0, w.Command2, [&] {
            QTest::mouseClick(w.Command2, Qt::LeftButton);
            QTest::mouseClick(w.Command2, Qt::LeftButton);
        });

        QVERIFY(fx.refresh());

        QCOMPARE(events, (QStringList{"start", "end", "start", "end"}));
        QCOMPARE(w.listingRuns, 3);
        QCOMPARE(w.Flex->rowCount(), 1);
    }
};

QTEST_MAIN(ListingTest)
#include "tst_listing_mariadb.moc"
