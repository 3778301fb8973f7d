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
#include <QImage>
#include <QSignalSpy>
#include <QTableWidget>
#include <QtTest>

#include <memory>

namespace listingcases {

constexpr qint32 kNow = 1700000000; // the clock's time without daylight saving

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
    explicit Fixture(Engine engine) : m_engine(engine)
    {
        MessageBox::setTestHandler([this](const MessageBox::Call& call) {
            messages.append(call);
            return QMessageBox::Ok;
        });
    }
    ~Fixture() { MessageBox::setTestHandler({}); }

    // Empty when the databases are ready.
    QString prepare()
    {
        QDir(install.dir()).mkdir(QStringLiteral("pictures"));
        suite = std::make_unique<vesktest::TestSqliteDb>(install.path("suite.sqlite"),
                                                         QStringList{"suite"});
        install.useSqlite(QStringLiteral("suite"), QStringLiteral("suite.sqlite"));
        if (m_engine == Engine::Sqlite) {
            m_sqlite = std::make_unique<vesktest::TestSqliteDb>(install.path("items.sqlite"),
                                                                QStringList{"item"});
            install.useSqlite(QStringLiteral("itemdb"), QStringLiteral("items.sqlite"));
            return suite->error() + m_sqlite->error();
        }
        vesktest::MariaDbServer server;
        QString missing;
        if (!vesktest::MariaDbServer::fromEnvironment(&server, &missing))
            return QStringLiteral("MariaDB test environment missing (%1)").arg(missing);
        m_maria = std::make_unique<vesktest::TestMariaDb>(server);
        install.useMariaDb(QStringLiteral("itemdb"), *m_maria);
        return suite->error() + m_maria->error() + m_maria->loadSchema(QStringLiteral("item"));
    }

    QSqlDatabase items() const { return m_sqlite ? m_sqlite->db() : m_maria->db(); }

    // "NULL" stands for NULL.
    QString addItem(const QVariant& id, const QVariant& sku, const QVariant& retail,
                    const QVariant& stamp, const QVariant& description = QStringLiteral("ring"))
    {
        QVariantList values{id, sku, description, retail, stamp};
        for (QVariant& v : values)
            v = v == QVariant(QStringLiteral("NULL")) ? QVariant() : v;
        return vesktest::exec(items(),
                              "INSERT INTO item (CV_itemid, SKU, Description, Retail, "
                              "auction_until_unix, storeid) VALUES (?, ?, ?, ?, ?, 'S1')",
                              values);
    }

    // The item's picture, of one colour; an invalid colour writes a file that is no picture.
    QString addPicture(int itemId, const QString& file, const QColor& colour)
    {
        QImage image(120, 90, QImage::Format_RGB32);
        image.fill(colour);
        const QString path = install.path(QStringLiteral("pictures/") + file);
        if (colour.isValid() ? !image.save(path, "PNG") : !QFile(path).open(QIODevice::WriteOnly))
            return QStringLiteral("cannot write ") + path;
        return vesktest::exec(
            suite->db(), "INSERT INTO item (internalitemnumber, Item_PictureName) VALUES (?, ?)",
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

    // Shown and through its first listing (activation selects the current pieces).
    void show(const char* option = "Option1")
    {
        window().show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
        QTRY_COMPARE(listing().completedRuns(), 1);
        m_window->findChild<QRadioButton*>(option)->setChecked(true);
    }

    // Lists through the refresh button, as the clerk does.
    void refresh() { QTest::mouseClick(window().Command2, Qt::LeftButton); }

    QString text(int row, int column) const
    {
        const QTableWidgetItem* item = m_window->Flex->item(row, column);
        return item ? item->text() : QString();
    }
    QStringList texts(int row) const
    {
        QStringList out;
        for (int column = 0; column < 8; ++column)
            out << text(row, column);
        return out;
    }
    QStringList column(int column) const
    {
        QStringList out;
        for (int row = 0; row < m_window->Flex->rowCount(); ++row)
            out << text(row, column);
        return out;
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
    int rowOfItem(const QString& id) const { return column(0).indexOf(id); }

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

#define LISTING_FIXTURE(fx, engine)                                                                \
    listingcases::Fixture fx(engine);                                                              \
    VESK_VERIFY_OK(fx.prepare())

inline void statementCases()
{
    QTest::addColumn<QString>("option");
    QTest::addColumn<bool>("limit");
    QTest::addColumn<QString>("before"); // after the common head
    QTest::addColumn<QString>("after");
    QTest::newRow("current, limited")
        << "optCurrent" << true
        << "   AND auction_until_unix >1700000000 AND auction_until_unix<>0  LIMIT 50 "
        << " AND auction_until_unix >1700000000 AND auction_until_unix<>0 LIMIT 50 ";
    QTest::newRow("past") << "optPast" << false
                          << "   AND auction_until_unix <1700000000 AND auction_until_unix<>0 "
                          << " AND auction_until_unix <1700000000 AND auction_until_unix<>0 ";
    QTest::newRow("free, limited")
        << "optFree" << true << "   AND auction_until_unix = 0  LIMIT 50 "
        << " AND auction_until_unix = 0 LIMIT 50 ";
    QTest::newRow("free") << "optFree" << false << "   AND auction_until_unix = 0 "
                          << " AND auction_until_unix = 0 ";
    QTest::newRow("any, limited") << "Option1" << true << "   LIMIT 50 "
                                  << " LIMIT 50 ";
    QTest::newRow("any") << "Option1" << false << "  "
                         << " ";
}

inline void runStatementCase(Fixture& fx)
{
    QFETCH(QString, option);
    QFETCH(bool, limit);
    QFETCH(QString, before);
    QFETCH(QString, after);
    const QString head = QStringLiteral("SELECT * FROM item WHERE SKU LIKE 'AB%'");
    frmVESKauction& w = fx.window();
    QSignalSpy assembled(&fx.listing(), &ItemListing::statementAssembled);
    w.findChild<QRadioButton*>(option)->setChecked(true);
    w.chkLimit->setChecked(limit);
    QTest::keyClicks(w.txtSearch, QStringLiteral("AB"));

    fx.refresh();

    QCOMPARE(assembled.size(), 1);
    QCOMPARE(assembled.at(0).at(0).toString(), head + before);
    QCOMPARE(w.helper().adoKBvesk2.RecordSource, head + after);
    QVERIFY(fx.messages.isEmpty());
}

// One item and what its row shows: texts, state colour, what the save compares with.
inline void rowCases()
{
    QTest::addColumn<QString>("item"); // id|sku|retail|stamp|description, NULL for NULL
    QTest::addColumn<bool>("daylight");
    QTest::addColumn<QString>("shown"); // columns 0 to 7
    QTest::addColumn<QColor>("colour");
    const QColor red(255, 0, 0), green(0, 255, 0), none;
    QTest::newRow("past") << "7|R-7|1234.5|1699999940|ring" << false
                          << "7|R-7|ring||1,234.50|1699999940|Nov-14-2023|17:12:00" << red;
    QTest::newRow("running") << "7|R-7|1234.5|1700003600|ring" << false
                             << "7|R-7|ring||1,234.50|1700003600|Nov-14-2023|18:13:00" << green;
    QTest::newRow("ending now") << "7|R-7|1|1700000000|ring" << false
                                << "7|R-7|ring||1.00|1700000000|Nov-14-2023|17:13:00" << none;
    // With the box ticked "now" is an hour earlier as a stamp.
    QTest::newRow("daylight saving moves now")
        << "7|R-7|1|1700000000|ring" << true << "7|R-7|ring||1.00|1700000000|Nov-14-2023|18:13:00"
        << green;
    QTest::newRow("free") << "7|R-7|1|0|ring" << false << "7|R-7|ring||1.00|0|Dec-31-1969|19:00:00"
                          << none;
    QTest::newRow("free, daylight saving")
        << "7|R-7|1|0|ring" << true << "7|R-7|ring||1.00|0|Dec-31-1969|20:00:00" << none;
    QTest::newRow("NULL retail") << "5|R-5|NULL|0|ring" << false
                                 << "5|R-5|ring|||0|Dec-31-1969|19:00:00" << none;
    QTest::newRow("NULL stamp") << "5|R-5|10|NULL|ring" << false << "5|R-5|ring||10.00|||" << none;
    QTest::newRow("NULL item number")
        << "NULL|R-5|10|0|ring" << false << "|R-5|ring||10.00|0|Dec-31-1969|19:00:00" << none;
    QTest::newRow("NULL description")
        << "5|R-5|10|0|NULL" << false << "5|R-5|||10.00|0|Dec-31-1969|19:00:00" << none;
}

inline void runRowCase(Fixture& fx)
{
    QFETCH(QString, item);
    QFETCH(bool, daylight);
    QFETCH(QString, shown);
    QFETCH(QColor, colour);
    const QStringList f = item.split('|');
    VESK_VERIFY_OK(fx.addItem(f[0], f[1], f[2], f[3], f[4]));
    // A NULL item number must not find the picture of item 0.
    VESK_VERIFY_OK(fx.addPicture(0, QStringLiteral("zero.png"), Qt::red));
    frmVESKauction& w = fx.window();
    w.chkDayLight->setChecked(daylight);
    fx.show();

    fx.refresh();

    QCOMPARE(fx.texts(0).join('|'), shown);
    QVERIFY(fx.picture(0).isNull());
    const QVariant listed = w.Flex->item(0, 5)->data(Qt::UserRole);
    QCOMPARE(listed, f[3] == "NULL" ? QVariant() : QVariant(f[3].toLongLong()));
    const QImage screen = w.Flex->viewport()->grab().toImage();
    for (int column = 0; column < 8; ++column) {
        QCOMPARE(fx.background(0, column), column >= 5 ? colour : QColor());
        const QRect cell = w.Flex->visualRect(w.Flex->model()->index(0, column));
        if (column >= 5 && colour.isValid())
            QCOMPARE(screen.pixelColor(cell.topLeft() + QPoint(2, 2)), colour);
    }
    QVERIFY(fx.messages.isEmpty());
}

inline void runTenRecordsCase(Fixture& fx, float multiplier, const QList<int>& widths)
{
    for (int i = 1; i <= 10; ++i)
        VESK_VERIFY_OK(fx.addItem(i, QStringLiteral("R-%1").arg(i), i, kNow + i));
    frmVESKauction& w = fx.window();
    w.ScreenMultiplier = multiplier;
    bool framed = false;
    QObject::connect(&fx.listing(), &ItemListing::statementAssembled,
                     [&] { framed = !w.shpWait->isHidden(); });

    fx.refresh();

    QVERIFY(framed);
    QVERIFY(w.shpWait->isHidden());
    QCOMPARE(w.Flex->rowCount(), 10);
    QCOMPARE(w.Bar->value(), 10);
    QCOMPARE(w.Bar->maximum(), 11);
    QCOMPARE(fx.column(3), QStringList(10, QString()));
    QList<int> actual;
    for (int column : {0, 1, 2, 4, 5, 6, 7})
        actual << w.Flex->columnWidth(column);
    QCOMPARE(actual, widths);
    QCOMPARE(w.Flex->rowHeight(9), 67);
    QCOMPARE(w.Flex->item(0, 0)->font().pointSizeF(), 6.0);
    QCOMPARE(w.Flex->item(0, 0)->textAlignment(), int(Qt::AlignHCenter | Qt::AlignBottom));
    // The editor works on the row the listing left current.
    QCOMPARE(w.Flex->currentRow(), 9);
    QCOMPARE(w.Flex->currentColumn(), 7);
}

inline const QStringList& hostileSkus()
{
    static const QStringList skus{"AB1", "O'Brien", "a\\b",   "axb",  "50%off", "50-off", "x_y",
                                  "xzy", "[A]1",    "len(x)", "a  b", "a b",    "DELETE"};
    return skus;
}

inline void hostileCases()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QStringList>("listed");
    QTest::newRow("quote") << "O'" << QStringList{"O'Brien"};
    QTest::newRow("backslash") << "a\\" << QStringList{"a\\b"};
    QTest::newRow("statement after a quote") << "'; DELETE FROM item; --" << QStringList{};
    QTest::newRow("backslash before quote") << "\\'" << QStringList{};
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
    QTest::keyClicks(w.txtSearch, typed);

    fx.refresh();

    QStringList skus = fx.column(1);
    skus.sort();
    QCOMPARE(skus, listed);
    QVERIFY2(fx.messages.isEmpty(), qPrintable(fx.messages.value(0).text));
    QCOMPARE(vesktest::scalar(fx.items(), "SELECT COUNT(*) FROM item").toInt(), id);
    QCOMPARE(w.Bar->maximum(), listed.size() + 1);
    QCOMPARE(w.Bar->value(), listed.size()); // an empty result ends at 0 of 1
}

inline bool near(const QColor& a, const QColor& b)
{
    return qAbs(a.red() - b.red()) + qAbs(a.green() - b.green()) + qAbs(a.blue() - b.blue()) < 24;
}

inline QColor middle(const QImage& image)
{
    return image.pixelColor(image.width() / 2, image.height() / 2);
}

inline void runPictureCase(Fixture& fx)
{
    for (int id : {1, 2, 3})
        VESK_VERIFY_OK(fx.addItem(id, QStringLiteral("P-%1").arg(id), 1, 0));
    VESK_VERIFY_OK(fx.addPicture(1, QStringLiteral("one.png"), QColor(200, 30, 30)));
    VESK_VERIFY_OK(fx.addPicture(3, QStringLiteral("three.png"), QColor())); // no picture

    fx.refresh();

    const QImage found = fx.picture(fx.rowOfItem("1"));
    QCOMPARE(found.size(), QSize(87, 65)); // 1300 twips wide, at the cell's top left
    QVERIFY(near(middle(found), QColor(200, 30, 30)));
    QVERIFY(fx.picture(fx.rowOfItem("2")).isNull());
    const QImage blank = fx.picture(fx.rowOfItem("3")); // found, but unreadable
    QVERIFY(!blank.isNull());
    QCOMPARE(blank.pixelColor(0, 0), fx.helper->pictures().pipeline().settings().background);

    // A picture file changed since is read anew by the next listing.
    QImage blue(160, 90, QImage::Format_RGB32);
    blue.fill(QColor(20, 40, 220));
    QVERIFY(blue.save(fx.install.path("pictures/one.png"), "JPEG"));
    fx.refresh();
    QVERIFY(near(middle(fx.picture(fx.rowOfItem("1"))), QColor(20, 40, 220)));
}

// More rows than are pictured at once: texts at once, pictures after, the rows
// on screen first, the same pictures as a short listing shows.
inline void runLargeCase(Fixture& fx)
{
    const int items = 150;
    for (int i = 1; i <= items; ++i) {
        VESK_VERIFY_OK(fx.addItem(i, QStringLiteral("L-%1").arg(i), i, 0));
        VESK_VERIFY_OK(fx.addPicture(i, QStringLiteral("p%1.png").arg(i),
                                     QColor::fromHsv(i * 7 % 360, 200, 200)));
    }
    frmVESKauction& w = fx.window();
    fx.show();
    w.chkLimit->setChecked(false);

    fx.refresh();

    QCOMPARE(w.Flex->rowCount(), items);
    QCOMPARE(fx.text(items - 1, 1), QStringLiteral("L-%1").arg(items));
    QVERIFY(fx.listing().picturesPending() > 0);
    int first = -1;
    QObject::connect(w.Flex->model(), &QAbstractItemModel::dataChanged, [&](const QModelIndex& i) {
        if (first < 0 && !fx.picture(i.row()).isNull())
            first = i.row();
    });
    w.Flex->scrollToItem(w.Flex->item(100, 0), QAbstractItemView::PositionAtTop);
    const int top = w.Flex->rowAt(0);
    const int bottom = w.Flex->rowAt(w.Flex->viewport()->height() - 1);
    QSignalSpy complete(&fx.listing(), &ItemListing::picturesComplete);
    QVERIFY(complete.wait(60000));
    QVERIFY2(
        first >= top && first <= bottom,
        qPrintable(QStringLiteral("row %1 first, %2 to %3 shown").arg(first).arg(top).arg(bottom)));
    QHash<QString, QImage> progressive;
    for (int row = 0; row < items; ++row)
        progressive.insert(fx.text(row, 0), fx.picture(row));

    // A short listing started at once drops the pictures still to come.
    fx.refresh();
    QTest::keyClicks(w.txtSearch, QStringLiteral("L-14"));
    w.chkLimit->setChecked(true);
    fx.helper->pictures().pipeline().clearCache();
    fx.refresh();
    fx.helper->pictures().pipeline().waitForIdle();
    QCoreApplication::processEvents();
    QCOMPARE(w.Flex->rowCount(), 11); // L-14, L-140 to L-149
    for (int row = 0; row < w.Flex->rowCount(); ++row) {
        QVERIFY(!fx.picture(row).isNull());
        QCOMPARE(fx.picture(row), progressive.value(fx.text(row, 0)));
    }
    QCOMPARE(fx.listing().picturesPending(), 0);
}

inline void runCoalesceCase(Fixture& fx)
{
    VESK_VERIFY_OK(fx.addItem(1, "C-1", 1, 0));
    frmVESKauction& w = fx.window();
    QStringList events;
    QObject::connect(&fx.listing(), &ItemListing::statementAssembled, [&] { events << "start"; });
    QObject::connect(&fx.listing(), &ItemListing::listed, [&] { events << "end"; });
    // Two clicks that arrive while the listing lets events through.
    QTimer::singleShot(0, w.Command2, [&] {
        QTest::mouseClick(w.Command2, Qt::LeftButton);
        QTest::mouseClick(w.Command2, Qt::LeftButton);
    });

    fx.refresh();

    QCOMPARE(events, (QStringList{"start", "end", "start", "end"}));
    QCOMPARE(w.listingRuns, 3);
    QCOMPARE(w.Flex->rowCount(), 1);
}

} // namespace listingcases
