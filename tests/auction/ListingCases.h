#pragma once

// The listing cases every item database must pass: a real window offscreen on a
// test installation whose item database is SQLite or MariaDB, the suite's
// database on SQLite and a folder of item pictures.

#include "TestSupport.h"
#include "auction/ItemListing.h"
#include "auction/frmVESKauction.h"
#include "data/frmadoHelper.h"
#include "timeconv/Clock.h"
#include "windows/MessageBox.h"

#include <QDir>
#include <QHeaderView>
#include <QImage>
#include <QSignalSpy>
#include <QTableWidget>
#include <QtTest>

#include <memory>

namespace listingcases {

// 2023-11-14 17:13:20 local: stamp 1700000000 without daylight saving.
constexpr qint32 kNow = 1700000000;

class FixedClock : public Clock
{
public:
    QDateTime now() const override { return QDateTime(QDate(2023, 11, 14), QTime(17, 13, 20)); }
};

enum class Engine
{
    Sqlite,
    MariaDb
};

class Fixture
{
public:
    explicit Fixture(Engine engine) : m_engine(engine) {}

    // Empty when the databases are ready; the window is made by window().
    QString prepare()
    {
        QDir(install.dir()).mkdir(QStringLiteral("pictures"));
        suite = std::make_unique<vesktest::TestSqliteDb>(
            install.path(QStringLiteral("suite.sqlite")), QStringList{QStringLiteral("suite")});
        if (!suite->error().isEmpty())
            return suite->error();
        install.useSqlite(QStringLiteral("suite"), QStringLiteral("suite.sqlite"));
        if (m_engine == Engine::Sqlite) {
            m_sqlite = std::make_unique<vesktest::TestSqliteDb>(
                install.path(QStringLiteral("items.sqlite")), QStringList{QStringLiteral("item")});
            install.useSqlite(QStringLiteral("itemdb"), QStringLiteral("items.sqlite"));
            return m_sqlite->error();
        }
        vesktest::MariaDbServer server;
        QString missing;
        if (!vesktest::MariaDbServer::fromEnvironment(&server, &missing))
            return QStringLiteral("MariaDB test environment missing (%1)").arg(missing);
        m_maria = std::make_unique<vesktest::TestMariaDb>(server);
        if (!m_maria->error().isEmpty())
            return m_maria->error();
        install.useMariaDb(QStringLiteral("itemdb"), *m_maria);
        return m_maria->loadSchema(QStringLiteral("item"));
    }

    QSqlDatabase items() const { return m_sqlite ? m_sqlite->db() : m_maria->db(); }
    int itemCount() const
    {
        return vesktest::scalar(items(), QStringLiteral("SELECT COUNT(*) FROM item")).toInt();
    }

    // Adds an item; "NULL" as a value stands for NULL.
    QString addItem(const QVariant& id, const QVariant& sku, const QVariant& retail,
                    const QVariant& stamp, const QString& description = QStringLiteral("ring"))
    {
        const auto value = [](const QVariant& v) {
            const bool null = v.typeId() == QMetaType::QString && v.toString() == "NULL";
            return null ? QVariant() : v;
        };
        return vesktest::exec(
            items(),
            QStringLiteral("INSERT INTO item (CV_itemid, SKU, Description, "
                           "Retail, auction_until_unix, storeid) "
                           "VALUES (?, ?, ?, ?, ?, 'S1')"),
            {value(id), value(sku), value(description), value(retail), value(stamp)});
    }

    // A picture of one colour for the item, found through its picture name.
    QString addPicture(int itemId, const QString& file, const QColor& colour)
    {
        if (colour.isValid()) {
            QImage image(120, 90, QImage::Format_RGB32);
            image.fill(colour);
            if (!image.save(install.path(QStringLiteral("pictures/") + file), "PNG"))
                return QStringLiteral("cannot write ") + file;
        } else {
            install.writeFile(QStringLiteral("pictures/") + file, "no picture");
        }
        return vesktest::exec(suite->db(),
                              QStringLiteral("INSERT INTO item (internalitemnumber, "
                                             "Item_PictureName) VALUES (?, ?)"),
                              {itemId, file});
    }

    frmVESKauction& window()
    {
        if (!m_window) {
            install.writeConnections();
            helper = std::make_unique<frmadoHelper>(install.installation());
            helper->PictureServer = install.path(QStringLiteral("pictures")) + QLatin1Char('/');
            m_window = std::make_unique<frmVESKauction>(*helper);
            m_window->setClock(&clock);
            m_window->Option1->setChecked(true);
        }
        return *m_window;
    }
    ItemListing& listing() { return ItemListing::of(window()); }

    // Lists through the refresh button, as the clerk does.
    void refresh() { QTest::mouseClick(window().Command2, Qt::LeftButton); }

    QString text(int row, int column) const
    {
        const QTableWidgetItem* item = m_window->Flex->item(row, column);
        return item ? item->text() : QString();
    }
    QColor background(int row, int column) const
    {
        const QTableWidgetItem* item = m_window->Flex->item(row, column);
        const QVariant brush = item ? item->data(Qt::BackgroundRole) : QVariant();
        return brush.isValid() ? brush.value<QBrush>().color() : QColor();
    }
    QImage picture(int row) const
    {
        const QTableWidgetItem* item = m_window->Flex->item(row, 0);
        return item ? item->data(Qt::DecorationRole).value<QImage>() : QImage();
    }
    QStringList column(int column) const
    {
        QStringList out;
        for (int row = 0; row < m_window->Flex->rowCount(); ++row)
            out << text(row, column);
        return out;
    }

    vesktest::TestInstallation install;
    std::unique_ptr<vesktest::TestSqliteDb> suite;
    std::unique_ptr<frmadoHelper> helper;
    FixedClock clock;
    QList<MessageBox::Call> messages;

private:
    Engine m_engine;
    std::unique_ptr<vesktest::TestSqliteDb> m_sqlite;
    std::unique_ptr<vesktest::TestMariaDb> m_maria;
    std::unique_ptr<frmVESKauction> m_window;
};

inline void recordMessages(Fixture& fx)
{
    MessageBox::setTestHandler([&fx](const MessageBox::Call& call) {
        fx.messages.append(call);
        return QMessageBox::Ok;
    });
}

#define LISTING_FIXTURE(fx, engine)                                                                \
    listingcases::Fixture fx(engine);                                                              \
    VESK_VERIFY_OK(fx.prepare());                                                                  \
    listingcases::recordMessages(fx)

// --- the statement ---------------------------------------------------------

inline void statementCases()
{
    QTest::addColumn<QString>("option");
    QTest::addColumn<bool>("limit");
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("after");
    const QString head = QStringLiteral("SELECT * FROM item WHERE SKU LIKE 'AB%'");
    QTest::newRow("current, limited")
        << "optCurrent" << true
        << head + "   AND auction_until_unix >1700000000 AND auction_until_unix<>0  LIMIT 50 "
        << head + " AND auction_until_unix >1700000000 AND auction_until_unix<>0 LIMIT 50 ";
    QTest::newRow("current")
        << "optCurrent" << false
        << head + "   AND auction_until_unix >1700000000 AND auction_until_unix<>0 "
        << head + " AND auction_until_unix >1700000000 AND auction_until_unix<>0 ";
    QTest::newRow("past, limited")
        << "optPast" << true
        << head + "   AND auction_until_unix <1700000000 AND auction_until_unix<>0  LIMIT 50 "
        << head + " AND auction_until_unix <1700000000 AND auction_until_unix<>0 LIMIT 50 ";
    QTest::newRow("past") << "optPast" << false
                          << head +
                                 "   AND auction_until_unix <1700000000 AND auction_until_unix<>0 "
                          << head +
                                 " AND auction_until_unix <1700000000 AND auction_until_unix<>0 ";
    QTest::newRow("free, limited")
        << "optFree" << true << head + "   AND auction_until_unix = 0  LIMIT 50 "
        << head + " AND auction_until_unix = 0 LIMIT 50 ";
    QTest::newRow("free") << "optFree" << false << head + "   AND auction_until_unix = 0 "
                          << head + " AND auction_until_unix = 0 ";
    QTest::newRow("any, limited") << "Option1" << true << head + "   LIMIT 50 "
                                  << head + " LIMIT 50 ";
    QTest::newRow("any") << "Option1" << false << head + "  " << head + " ";
}

inline void runStatementCase(Fixture& fx)
{
    QFETCH(QString, option);
    QFETCH(bool, limit);
    QFETCH(QString, before);
    QFETCH(QString, after);
    frmVESKauction& w = fx.window();
    QSignalSpy assembled(&fx.listing(), &ItemListing::statementAssembled);
    w.findChild<QRadioButton*>(option)->setChecked(true);
    w.chkLimit->setChecked(limit);
    QTest::keyClicks(w.txtSearch, QStringLiteral("AB"));

    fx.refresh();

    QCOMPARE(assembled.size(), 1);
    QCOMPARE(assembled.at(0).at(0).toString(), before);
    QCOMPARE(w.helper().adoKBvesk2.RecordSource, after);
    QVERIFY(fx.messages.isEmpty());
}

// --- the rows ----------------------------------------------------------------

inline void stateCases()
{
    QTest::addColumn<qint64>("stamp");
    QTest::addColumn<bool>("daylight");
    QTest::addColumn<QColor>("colour");
    QTest::addColumn<QString>("cells"); // columns 5, 6 and 7
    const QColor none;
    QTest::newRow("past") << qint64(kNow - 60) << false << QColor(255, 0, 0)
                          << "1699999940|Nov-14-2023|17:12:00";
    QTest::newRow("running") << qint64(kNow + 3600) << false << QColor(0, 255, 0)
                             << "1700003600|Nov-14-2023|18:13:00";
    QTest::newRow("ending now") << qint64(kNow) << false << none
                                << "1700000000|Nov-14-2023|17:13:00";
    QTest::newRow("free") << qint64(0) << false << none << "0|Dec-31-1969|19:00:00";
    QTest::newRow("free, daylight saving") << qint64(0) << true << none << "0|Dec-31-1969|20:00:00";
    // With the box ticked "now" is an hour earlier as a stamp: kNow is running.
    QTest::newRow("daylight saving moves now")
        << qint64(kNow) << true << QColor(0, 255, 0) << "1700000000|Nov-14-2023|18:13:00";
}

inline void runStateCase(Fixture& fx)
{
    QFETCH(qint64, stamp);
    QFETCH(bool, daylight);
    QFETCH(QColor, colour);
    QFETCH(QString, cells);
    VESK_VERIFY_OK(fx.addItem(7, "R-7", 1234.5, stamp));
    frmVESKauction& w = fx.window();
    w.chkDayLight->setChecked(daylight);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QTRY_COMPARE(fx.listing().completedRuns(), 1); // the first activation
    w.Option1->setChecked(true);

    fx.refresh();

    QCOMPARE(w.Flex->rowCount(), 1);
    QCOMPARE(QStringList({fx.text(0, 5), fx.text(0, 6), fx.text(0, 7)}).join('|'), cells);
    QCOMPARE(fx.column(4), QStringList{"1,234.50"});
    QCOMPARE(w.Flex->item(0, 5)->data(Qt::UserRole), QVariant(qlonglong(stamp)));
    const QImage shown = w.Flex->viewport()->grab().toImage();
    for (int column = 0; column < 8; ++column)
        QCOMPARE(fx.background(0, column), column >= 5 ? colour : QColor());
    for (int column = 5; column < 8 && colour.isValid(); ++column) {
        const QRect cell = w.Flex->visualItemRect(w.Flex->item(0, column));
        QCOMPARE(shown.pixelColor(cell.left() + 2, cell.top() + 2), colour);
    }
}

// Items of a listing and what the grid shows for them: "id|sku|retail|stamp".
inline void nullCases()
{
    QTest::addColumn<QString>("item");
    QTest::addColumn<QString>("row"); // columns 0 to 7, '|'-separated
    QTest::addColumn<bool>("listedNull");
    QTest::newRow("NULL retail") << "5|R-5|NULL|0"
                                 << "5|R-5|ring|||0|Dec-31-1969|19:00:00" << false;
    QTest::newRow("NULL stamp") << "5|R-5|10|NULL"
                                << "5|R-5|ring||10.00|||" << true;
    QTest::newRow("NULL item number") << "NULL|R-5|10|0"
                                      << "|R-5|ring||10.00|0|Dec-31-1969|19:00:00" << false;
    QTest::newRow("NULL description") << "5|R-5|10|0|NULL"
                                      << "5|R-5|||10.00|0|Dec-31-1969|19:00:00" << false;
}

inline void runNullCase(Fixture& fx)
{
    QFETCH(QString, item);
    QFETCH(QString, row);
    QFETCH(bool, listedNull);
    const QStringList f = item.split('|');
    VESK_VERIFY_OK(fx.addItem(f[0], f[1], f[2], f[3], f.value(4, QStringLiteral("ring"))));
    // The NULL item must not find the picture of an item numbered 0.
    VESK_VERIFY_OK(fx.addPicture(0, QStringLiteral("zero.png"), Qt::red));
    VESK_VERIFY_OK(fx.addPicture(5, QStringLiteral("five.png"), Qt::blue));

    fx.refresh();

    QStringList shown;
    for (int column = 0; column < 8; ++column)
        shown << fx.text(0, column);
    QCOMPARE(shown.join('|'), row);
    QCOMPARE(fx.picture(0).isNull(), f[0] == QLatin1String("NULL"));
    QCOMPARE(fx.window().Flex->item(0, 5)->data(Qt::UserRole).isNull(), listedNull);
    for (int column = 5; column < 8; ++column)
        QVERIFY(!fx.background(0, column).isValid());
    QVERIFY(fx.messages.isEmpty());
}

inline void runTenRecordsCase(Fixture& fx, float multiplier, const QList<int>& widths)
{
    for (int i = 1; i <= 10; ++i)
        VESK_VERIFY_OK(fx.addItem(i, QStringLiteral("R-%1").arg(i), i, kNow + i));
    frmVESKauction& w = fx.window();
    w.ScreenMultiplier = multiplier;
    bool framedWhileListing = false;
    QObject::connect(&fx.listing(), &ItemListing::statementAssembled,
                     [&] { framedWhileListing = !w.shpWait->isHidden(); });

    fx.refresh();

    QVERIFY(framedWhileListing);
    QVERIFY(w.shpWait->isHidden());
    QCOMPARE(w.Flex->rowCount(), 10);
    QCOMPARE(w.Flex->columnCount(), 8);
    QCOMPARE(w.Bar->maximum(), 11);
    QCOMPARE(w.Bar->value(), 10);
    QCOMPARE(fx.column(3), QStringList(10, QString()));
    QCOMPARE(fx.column(1).first(), QStringLiteral("R-1"));
    QList<int> actual;
    for (int column = 0; column < 8; ++column)
        actual << w.Flex->columnWidth(column);
    actual.removeAt(3);
    QCOMPARE(actual, widths);
    for (int row = 0; row < 10; ++row)
        QCOMPARE(w.Flex->rowHeight(row), 67);
    QCOMPARE(w.Flex->item(0, 0)->font().pointSizeF(), 6.0);
    QCOMPARE(w.Flex->item(0, 0)->textAlignment(), int(Qt::AlignHCenter | Qt::AlignBottom));
    // The editor works on the row the listing left current.
    QCOMPARE(w.Flex->currentRow(), 9);
    QCOMPARE(w.Flex->currentColumn(), 7);
}

inline void runEmptyCase(Fixture& fx)
{
    VESK_VERIFY_OK(fx.addItem(1, "XY-1", 1, 0));
    frmVESKauction& w = fx.window();
    QTest::keyClicks(w.txtSearch, QStringLiteral("AB"));

    fx.refresh();

    QCOMPARE(w.Flex->rowCount(), 0);
    QCOMPARE(w.Bar->maximum(), 1);
    QCOMPARE(w.Bar->value(), 0);
    QVERIFY(w.shpWait->isHidden());
    QVERIFY(fx.messages.isEmpty());
}

// --- typed search text -------------------------------------------------------

inline const QStringList& hostileSkus()
{
    static const QStringList skus{"AB1", "O'Brien", "a\\b", "axb",    "50%off", "50-off", "x_y",
                                  "xzy", "[A]1",    "A1",   "len(x)", "a  b",   "a b",    "DELETE"};
    return skus;
}

inline void hostileCases()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QStringList>("listed");
    QTest::newRow("quote") << "O'" << QStringList{"O'Brien"};
    QTest::newRow("backslash") << "a\\" << QStringList{"a\\b"};
    QTest::newRow("statement after a quote") << "'; DELETE FROM item; --" << QStringList{};
    QTest::newRow("quote and backslash") << "\\'" << QStringList{};
    QTest::newRow("percent is a wildcard") << "50%" << QStringList{"50%off", "50-off"};
    QTest::newRow("underscore is a wildcard") << "x_y" << QStringList{"x_y", "xzy"};
    QTest::newRow("brackets as typed") << "[A]" << QStringList{"[A]1"};
    QTest::newRow("function name as typed") << "len(" << QStringList{"len(x)"};
    QTest::newRow("double blank as typed") << "a  b" << QStringList{"a  b"};
}

inline void runHostileCase(Fixture& fx)
{
    QFETCH(QString, typed);
    QFETCH(QStringList, listed);
    int id = 0;
    for (const QString& sku : hostileSkus())
        VESK_VERIFY_OK(fx.addItem(++id, sku, 1, 0));
    frmVESKauction& w = fx.window();
    w.chkLimit->setChecked(false);
    QTest::keyClicks(w.txtSearch, typed);

    fx.refresh();

    QStringList skus = fx.column(1);
    skus.sort();
    listed.sort();
    QCOMPARE(skus, listed);
    QVERIFY2(fx.messages.isEmpty(), qPrintable(fx.messages.value(0).text));
    QCOMPARE(fx.itemCount(), hostileSkus().size());
}

// --- pictures ----------------------------------------------------------------

inline bool near(const QColor& a, const QColor& b)
{
    return qAbs(a.red() - b.red()) < 8 && qAbs(a.green() - b.green()) < 8 &&
           qAbs(a.blue() - b.blue()) < 8;
}

inline void runPictureCase(Fixture& fx)
{
    VESK_VERIFY_OK(fx.addItem(1, "P-1", 1, 0));
    VESK_VERIFY_OK(fx.addItem(2, "P-2", 1, 0)); // no picture
    VESK_VERIFY_OK(fx.addItem(3, "P-3", 1, 0));
    VESK_VERIFY_OK(fx.addPicture(1, QStringLiteral("one.png"), QColor(200, 30, 30)));
    VESK_VERIFY_OK(fx.addPicture(3, QStringLiteral("three.png"), QColor())); // unreadable

    fx.refresh();

    const QMap<QString, int> row{{fx.text(0, 0), 0}, {fx.text(1, 0), 1}, {fx.text(2, 0), 2}};
    const QImage found = fx.picture(row["1"]);
    QVERIFY(!found.isNull());
    QVERIFY(found.width() >= 80 && found.width() <= 90);
    QVERIFY(near(found.pixelColor(found.width() / 2, found.height() / 2), QColor(200, 30, 30)));
    QVERIFY(fx.picture(row["2"]).isNull());
    const QImage blank = fx.picture(row["3"]);
    QVERIFY(!blank.isNull());
    QCOMPARE(blank.pixelColor(0, 0), fx.helper->pictures().pipeline().settings().background);

    // A picture file changed since is read anew by the next listing.
    QImage blue(120, 90, QImage::Format_RGB32);
    blue.fill(QColor(20, 40, 220));
    QVERIFY(blue.save(fx.install.path(QStringLiteral("pictures/one.png")), "JPEG"));
    fx.refresh();
    const QImage changed = fx.picture(fx.text(0, 0) == "1" ? 0 : fx.text(1, 0) == "1" ? 1 : 2);
    QVERIFY(
        near(changed.pixelColor(changed.width() / 2, changed.height() / 2), QColor(20, 40, 220)));
}

// More rows than the listing decodes at once: texts at once, pictures after,
// the rows on screen first, and the same pictures as a short listing shows.
inline void runLargeCase(Fixture& fx)
{
    const int items = 150;
    for (int i = 1; i <= items; ++i) {
        VESK_VERIFY_OK(fx.addItem(i, QStringLiteral("L-%1").arg(i), i, 0));
        VESK_VERIFY_OK(fx.addPicture(i, QStringLiteral("p%1.png").arg(i),
                                     QColor::fromHsv(i * 7 % 360, 200, 200)));
    }
    frmVESKauction& w = fx.window();
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QTRY_COMPARE(fx.listing().completedRuns(), 1);
    w.Option1->setChecked(true);
    w.chkLimit->setChecked(false);

    fx.refresh();

    QCOMPARE(w.Flex->rowCount(), items);
    QCOMPARE(fx.text(items - 1, 1), QStringLiteral("L-%1").arg(items));
    QVERIFY(fx.listing().picturesPending() > 0);
    int firstPictured = -1;
    QObject::connect(w.Flex->model(), &QAbstractItemModel::dataChanged,
                     [&](const QModelIndex& index) {
                         if (firstPictured < 0 && !fx.picture(index.row()).isNull())
                             firstPictured = index.row();
                     });
    w.Flex->scrollToItem(w.Flex->item(100, 0), QAbstractItemView::PositionAtTop);
    const int top = w.Flex->rowAt(0);
    const int bottom = w.Flex->rowAt(w.Flex->viewport()->height() - 1);
    QSignalSpy complete(&fx.listing(), &ItemListing::picturesComplete);
    QVERIFY(complete.wait(60000));
    QVERIFY2(firstPictured >= top && firstPictured <= bottom,
             qPrintable(QStringLiteral("row %1 first, %2 to %3 on screen")
                            .arg(firstPictured)
                            .arg(top)
                            .arg(bottom)));
    QHash<QString, QImage> progressive;
    for (int row = 0; row < items; ++row) {
        QVERIFY2(!fx.picture(row).isNull(), qPrintable(QString::number(row)));
        progressive.insert(fx.text(row, 0), fx.picture(row));
    }

    // A short listing started at once drops the pictures still to come.
    w.chkLimit->setChecked(false);
    fx.refresh();
    QTest::keyClicks(w.txtSearch, QStringLiteral("L-14"));
    w.chkLimit->setChecked(true);
    fx.helper->pictures().pipeline().clearCache(); // decoded anew by the short listing
    fx.refresh();
    fx.helper->pictures().pipeline().waitForIdle();
    QCoreApplication::processEvents();
    QCOMPARE(w.Flex->rowCount(), 11); // L-14 and L-140 to L-149
    for (int row = 0; row < w.Flex->rowCount(); ++row)
        QCOMPARE(fx.picture(row), progressive.value(fx.text(row, 0)));
    QCOMPARE(fx.listing().picturesPending(), 0);
}

// --- failures and re-entry ---------------------------------------------------

inline void runCoalesceCase(Fixture& fx)
{
    VESK_VERIFY_OK(fx.addItem(1, "C-1", 1, 0));
    frmVESKauction& w = fx.window();
    QStringList events;
    QObject::connect(&fx.listing(), &ItemListing::statementAssembled, [&] { events << "start"; });
    QObject::connect(&fx.listing(), &ItemListing::listed, [&] { events << "end"; });
    // Clicks that arrive while the listing lets events through.
    QTimer::singleShot(0, w.Command2, [&] {
        QTest::mouseClick(w.Command2, Qt::LeftButton);
        QTest::mouseClick(w.Command2, Qt::LeftButton);
    });

    fx.refresh();

    QCOMPARE(events, (QStringList{"start", "end", "start", "end"}));
    QCOMPARE(w.listingRuns, 3);
    QCOMPARE(fx.listing().completedRuns(), 2);
    QCOMPARE(w.Flex->rowCount(), 1);
}

} // namespace listingcases
