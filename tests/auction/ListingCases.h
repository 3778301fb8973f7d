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

// 1700000000 without daylight saving.
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
    // error is empty when the databases are ready.
    explicit Fixture(Engine engine)
    {
        MessageBox::setTestHandler([this](const MessageBox::Call& call) {
            messages.append(call);
            return QMessageBox::Ok;
        });
        QDir(install.dir()).mkdir("pictures");
        suite = std::make_unique<vesktest::TestSqliteDb>(install.path("suite.sqlite"),
                                                         QStringList{"suite"});
        install.useSqlite("suite", "suite.sqlite");
        error = suite->error();
        if (engine == Engine::Sqlite) {
            m_sqlite = std::make_unique<vesktest::TestSqliteDb>(install.path("items.sqlite"),
                                                                QStringList{"item"});
            install.useSqlite("itemdb", "items.sqlite");
            error += m_sqlite->error();
        } else if (vesktest::MariaDbServer server;
                   vesktest::MariaDbServer::fromEnvironment(&server, &error)) {
            m_maria = std::make_unique<vesktest::TestMariaDb>(server);
            install.useMariaDb("itemdb", *m_maria);
            error += m_maria->error() + m_maria->loadSchema("item");
        } else {
            error = "MariaDB test environment missing: " + error;
        }
    }
    ~Fixture() { MessageBox::setTestHandler({}); }

    QSqlDatabase items() const { return m_sqlite ? m_sqlite->db() : m_maria->db(); }

    // "NULL" stands for NULL.
    QString addItem(const QVariant& id, const QVariant& sku, const QVariant& retail,
                    const QVariant& stamp, const QVariant& description = "ring")
    {
        QVariantList values{id, sku, description, retail, stamp};
        for (QVariant& v : values)
            v = v == QVariant("NULL") ? QVariant() : v;
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
        const QString path = install.path("pictures/" + file);
        if (colour.isValid() ? !image.save(path, "PNG") : !QFile(path).open(QIODevice::WriteOnly))
            return "cannot write " + path;
        return vesktest::exec(
            suite->db(), "INSERT INTO item (internalitemnumber, Item_PictureName) VALUES (?, ?)",
            {itemId, file});
    }

    frmVESKauction& window()
    {
        if (!m_window) {
            install.writeConnections();
            helper = std::make_unique<frmadoHelper>(install.installation());
            helper->PictureServer = install.path("pictures") + '/';
            m_window = std::make_unique<frmVESKauction>(*helper);
            m_window->setClock(&clock);
            m_window->Option1->setChecked(true);
        }
        return *m_window;
    }
    ItemListing& listing() { return ItemListing::of(window()); }

    // Shown and through its first listing (activation selects the current pieces).
    void show()
    {
        window().show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
        QTRY_COMPARE(listing().completedRuns(), 1);
        m_window->Option1->setChecked(true);
    }

    // Lists through the refresh button, as the clerk does.
    void refresh() { QVERIFY(vesktest::clickAndWait(window(), window().Command2)); }

    QVariant cell(int row, int column, int role = Qt::DisplayRole) const
    {
        const QTableWidgetItem* item = m_window->Flex->item(row, column);
        return item ? item->data(role) : QVariant();
    }
    QString text(int row, int column) const { return cell(row, column).toString(); }
    QImage picture(int row) const { return cell(row, 0, Qt::DecorationRole).value<QImage>(); }
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
    QString error;

private:
    std::unique_ptr<vesktest::TestSqliteDb> m_sqlite;
    std::unique_ptr<vesktest::TestMariaDb> m_maria;
    std::unique_ptr<frmVESKauction> m_window;
};

#define LISTING_FIXTURE(fx, engine)                                                                \
    listingcases::Fixture fx(engine);                                                              \
    VESK_VERIFY_OK(fx.error)

// The option selected, the limit, and the statement after its common head as
// assembled and as translated.
inline void statementCases()
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
    QTest::newRow("free, limited")
        << "optFree" << true << "   AND auction_until_unix = 0  LIMIT 50 "
        << " AND auction_until_unix = 0 LIMIT 50 ";
    QTest::newRow("any: the base only") << "Option1" << false << "  "
                                        << " ";
}

inline void runStatementCase(Fixture& fx)
{
    QFETCH(QString, option);
    QFETCH(bool, limit);
    QFETCH(QString, before);
    QFETCH(QString, after);
    const QString head = "SELECT * FROM item WHERE SKU LIKE 'AB%'";
    frmVESKauction& w = fx.window();
    QSignalSpy assembled(&fx.listing(), &ItemListing::statementAssembled);
    w.findChild<QRadioButton*>(option)->setChecked(true);
    w.chkLimit->setChecked(limit);
    QTest::keyClicks(w.txtSearch, "AB");

    fx.refresh();

    QCOMPARE(assembled.size(), 1);
    QCOMPARE(assembled.at(0).at(0).toString(), head + before);
    QCOMPARE(w.helper().adoKBvesk2.RecordSource, head + after);
    QVERIFY(fx.messages.isEmpty());
}

// One item (id|sku|retail|stamp|description, NULL for NULL), the daylight-saving
// box, what the row shows in columns 0 to 7 and the colour of columns 5 to 7.
inline void rowCases()
{
    QTest::addColumn<QString>("item");
    QTest::addColumn<bool>("daylight");
    QTest::addColumn<QString>("shown");
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
    QTest::newRow("NULL stamp") << "5|R-5|10|NULL|ring" << false << "5|R-5|ring||10.00|||" << none;
    // A NULL item number must not find the picture of item 0.
    QTest::newRow("NULL item number, retail and description")
        << "NULL|R-5|NULL|0|NULL" << false << "|R-5||||0|Dec-31-1969|19:00:00" << none;
}

inline void runRowCase(Fixture& fx)
{
    QFETCH(QString, item);
    QFETCH(bool, daylight);
    QFETCH(QString, shown);
    QFETCH(QColor, colour);
    const QStringList f = item.split('|');
    VESK_VERIFY_OK(fx.addItem(f[0], f[1], f[2], f[3], f[4]));
    VESK_VERIFY_OK(fx.addPicture(0, "zero.png", Qt::red));
    frmVESKauction& w = fx.window();
    w.chkDayLight->setChecked(daylight);
    fx.show();

    fx.refresh();

    QStringList texts;
    const QImage screen = w.Flex->viewport()->grab().toImage();
    for (int column = 0; column < 8; ++column) {
        texts << fx.text(0, column);
        const QColor expected = column >= 5 ? colour : QColor();
        const QVariant brush = fx.cell(0, column, Qt::BackgroundRole);
        QCOMPARE(brush.isValid() ? brush.value<QBrush>().color() : QColor(), expected);
        const QRect rect = w.Flex->visualRect(w.Flex->model()->index(0, column));
        if (expected.isValid())
            QCOMPARE(screen.pixelColor(rect.topLeft() + QPoint(2, 2)), expected);
    }
    QCOMPARE(texts.join('|'), shown);
    QVERIFY(fx.picture(0).isNull());
    // What the save compares with.
    QCOMPARE(fx.cell(0, 5, Qt::UserRole),
             f[3] == "NULL" ? QVariant() : QVariant(f[3].toLongLong()));
    QVERIFY(fx.messages.isEmpty());
}

// What is typed | the SKUs listed, sorted, comma-separated.
inline void hostileCases()
{
    QTest::addColumn<QString>("search");
    QTest::newRow("quote") << "O'|O'Brien";
    QTest::newRow("backslash") << "a\\|a\\b";
    QTest::newRow("statement after a quote") << "'; DELETE FROM item; --|";
    QTest::newRow("backslash before quote") << "\\'|";
    QTest::newRow("percent is a wildcard") << "50%|50%off,50-off";
    QTest::newRow("underscore is a wildcard") << "x_y|x_y,xzy";
    QTest::newRow("brackets as typed") << "[A]|[A]1";
    QTest::newRow("double blank as typed") << "a  b|a  b";
}

inline void runHostileCase(Fixture& fx)
{
    QFETCH(QString, search);
    const QStringList skus{"AB1", "O'Brien", "a\\b", "axb",  "50%off", "50-off",
                           "x_y", "xzy",     "[A]1", "a  b", "a b",    "DELETE"};
    for (int id = 0; id < skus.size(); ++id)
        VESK_VERIFY_OK(fx.addItem(id + 1, skus.at(id), 1, 0));
    frmVESKauction& w = fx.window();
    QTest::keyClicks(w.txtSearch, search.section('|', 0, 0));

    fx.refresh();

    QStringList shown = fx.column(1);
    shown.sort();
    const QStringList listed = search.section('|', 1).split(',', Qt::SkipEmptyParts);
    QCOMPARE(shown, listed);
    QVERIFY2(fx.messages.isEmpty(), qPrintable(fx.messages.value(0).text));
    QCOMPARE(vesktest::scalar(fx.items(), "SELECT COUNT(*) FROM item").toInt(), skus.size());
    // An empty result ends at 0 of 1 with the frame gone.
    QCOMPARE(w.Bar->maximum(), listed.size() + 1);
    QCOMPARE(w.Bar->value(), listed.size());
    QVERIFY(w.shpWait->isHidden());
}

} // namespace listingcases
