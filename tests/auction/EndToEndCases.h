#pragma once

// The window of store S1 on a real item database, listed as the clerk sees it
// and driven by mouse; and the editing passes run on every item database.

#include "TestSupport.h"
#include "auction/frmVESKauction.h"
#include "data/frmadoHelper.h"
#include "timeconv/Clock.h"
#include "windows/MessageBox.h"

#include <QDir>
#include <QTableWidget>
#include <QtTest>

#include <memory>

namespace endtoend {

// Tuesday 2023-11-14 10:15:37 local.
class FixedClock : public Clock
{
public:
    QDateTime now() const override { return QDateTime(QDate(2023, 11, 14), QTime(10, 15, 37)); }
};

enum class Engine
{
    Sqlite,
    MariaDb
};

struct Item
{
    int id;
    QString store;
    QVariant stamp; // null: no stamp at all
};

class Fixture
{
public:
    explicit Fixture(Engine engine)
    {
        MessageBox::setTestHandler([this](const MessageBox::Call& call) {
            if (call.buttons == QMessageBox::Ok) {
                messages << call;
                return QMessageBox::Ok;
            }
            questions << call;
            return answer;
        });
        QDir(install.dir()).mkdir("pictures");
        m_suite = std::make_unique<vesktest::TestSqliteDb>(install.path("suite.sqlite"),
                                                           QStringList{"suite"});
        install.useSqlite("suite", "suite.sqlite");
        m_error = m_suite->error();
        if (engine == Engine::Sqlite) {
            m_sqlite = std::make_unique<vesktest::TestSqliteDb>(install.path("items.sqlite"),
                                                                QStringList{"item"});
            install.useSqlite("itemdb", "items.sqlite");
            m_error += m_sqlite->error();
        } else if (vesktest::MariaDbServer server;
                   vesktest::MariaDbServer::fromEnvironment(&server, &m_error)) {
            m_maria = std::make_unique<vesktest::TestMariaDb>(server);
            install.useMariaDb("itemdb", *m_maria);
            m_error += m_maria->error() + m_maria->loadSchema("item");
        } else {
            m_error = "MariaDB test environment missing: " + m_error;
        }
    }
    ~Fixture()
    {
        m_window.reset();
        MessageBox::setTestHandler({});
    }

    QSqlDatabase items() const { return m_sqlite ? m_sqlite->db() : m_maria->db(); }
    qint64 stampInDatabase(int id) const
    {
        return vesktest::scalar(items(), "SELECT auction_until_unix FROM item WHERE CV_itemid = ?",
                                {id})
            .toLongLong();
    }

    // Adds the items, shows the window of store S1 and, once its first listing
    // has passed, lists every item. Returns what went wrong, empty on success.
    QString showWith(const QVector<Item>& rows)
    {
        for (const Item& item : rows) {
            if (m_error.isEmpty())
                m_error = vesktest::exec(items(),
                                         "INSERT INTO item (CV_itemid, SKU, Description, Retail, "
                                         "auction_until_unix, storeid) VALUES (?, 'R', 'ring', "
                                         "120, ?, ?)",
                                         {item.id, item.stamp, item.store});
        }
        if (!m_error.isEmpty())
            return m_error;
        install.writeConnections();
        m_helper = std::make_unique<frmadoHelper>(install.installation());
        m_helper->PictureServer = install.path("pictures") + '/';
        m_window = std::make_unique<frmVESKauction>(*m_helper);
        frmVESKauction& w = *m_window;
        w.setClock(&m_clock);
        w.txtStoreID->setText("S1");
        w.show();
        if (!QTest::qWaitFor([&] { return w.listingRuns > 0; }) || !vesktest::waitUntilIdle(w))
            return "the window was not listed";
        QCoreApplication::processEvents();
        w.Option1->setChecked(true);
        if (!vesktest::clickAndWait(w, w.Command2))
            return "the refresh did not end";
        if (w.Flex->rowCount() != rows.size() || !messages.isEmpty())
            return QString("listed %1 rows %2").arg(w.Flex->rowCount()).arg(messages.value(0).text);
        return QString();
    }
    frmVESKauction& window() const { return *m_window; }

    int rowOf(int id) const
    {
        for (int r = 0; r < m_window->Flex->rowCount(); ++r)
            if (m_window->Flex->item(r, 0)->text() == QString::number(id))
                return r;
        return -1;
    }
    // Stamp, date and time of a grid row.
    QString cells(int row) const
    {
        QStringList texts;
        for (int column : {5, 6, 7})
            texts << (m_window->Flex->item(row, column) ? m_window->Flex->item(row, column)->text()
                                                        : QString());
        return texts.join(' ');
    }
    QString end(int id) const { return cells(rowOf(id)); }
    // A cell's top left corner in the grid's viewport.
    QPoint corner(int row, int column) const
    {
        return m_window->Flex->visualRect(m_window->Flex->model()->index(row, column)).topLeft();
    }
    void clickCell(int row, int column)
    {
        QTest::mouseClick(m_window->Flex->viewport(), Qt::LeftButton, {},
                          corner(row, column) + QPoint(3, 3));
    }
    // Opens the editor on the item's row, picks the end and applies it.
    void pickEnd(int id, const QDateTime& end)
    {
        clickCell(rowOf(id), 5);
        m_window->dtDate->setDate(end.date());
        m_window->dtTime->setTime(end.time());
        QTest::mouseClick(m_window->cmdSave, Qt::LeftButton);
    }

    vesktest::TestInstallation install;
    QList<MessageBox::Call> messages;
    // Questions are answered with this: No keeps the daylight box's offset.
    QList<MessageBox::Call> questions;
    QMessageBox::StandardButton answer = QMessageBox::No;

private:
    FixedClock m_clock;
    QString m_error;
    std::unique_ptr<vesktest::TestSqliteDb> m_suite;
    std::unique_ptr<vesktest::TestSqliteDb> m_sqlite;
    std::unique_ptr<vesktest::TestMariaDb> m_maria;
    std::unique_ptr<frmadoHelper> m_helper;
    std::unique_ptr<frmVESKauction> m_window;
};

#define SHOWN_WINDOW(fx, engine, rows)                                                             \
    endtoend::Fixture fx(engine);                                                                  \
    VESK_VERIFY_OK(fx.showWith(rows));                                                             \
    [[maybe_unused]] frmVESKauction& w = fx.window()

// Item 1 of S1 in auction, 2 of S1 in none, 3 of another store.
inline const QVector<Item> kStoreItems = {{1, "S1", 1700003600}, {2, "S1", 0}, {3, "S2", 0}};
inline const QDateTime kChristmasEve(QDate(2026, 12, 24), QTime(18, 0));

inline void pickedEndCases()
{
    QTest::addColumn<bool>("daylight");
    QTest::addColumn<qint64>("stamp");
    QTest::newRow("standard time") << false << qint64(1798153200);
    QTest::newRow("daylight saving") << true << qint64(1798149600);
}

// An item without auction gets an end: it reaches the database and the new
// listing shows it, while the other rows stay as they were.
inline void runPickedEndCase(Engine engine)
{
    QFETCH(bool, daylight);
    QFETCH(qint64, stamp);
    SHOWN_WINDOW(fx, engine, kStoreItems);
    w.chkDayLight->setChecked(daylight);
    QVERIFY(vesktest::clickAndWait(w, w.Command2));
    QCOMPARE(fx.end(2), QStringLiteral("0 Dec-31-1969 %1:00:00").arg(daylight ? 20 : 19));
    const QString shown = QStringLiteral("%1 Dec-24-2026 18:00:00").arg(stamp);
    fx.pickEnd(2, kChristmasEve);
    QCOMPARE(fx.end(2), shown);
    const int runs = w.listingRuns;

    QVERIFY(vesktest::clickAndWait(w, w.Command1));

    QVERIFY2(fx.messages.isEmpty(), qPrintable(fx.messages.value(0).text));
    QCOMPARE(w.listingRuns, runs + 1);
    QCOMPARE(fx.stampInDatabase(2), stamp);
    QCOMPARE(fx.stampInDatabase(1), qint64(1700003600));
    QCOMPARE(fx.end(2), shown);
    QCOMPARE(w.Flex->item(fx.rowOf(2), 5)->background().color(), QColor(0, 255, 0));
}

// What cannot be saved is kept and reported in one message: an end someone
// else moved since the listing, and another store's item, listed beside this
// store's item of the same number. An untouched row of the stale grid does not
// undo someone else's end either.
inline void runUnsavableCase(Engine engine)
{
    QVector<Item> rows = kStoreItems;
    rows << Item{4, "S1", 1700003600} << Item{3, "S1", 0};
    SHOWN_WINDOW(fx, engine, rows);
    VESK_VERIFY_OK(vesktest::exec(fx.items(), "UPDATE item SET auction_until_unix = 1700007200 "
                                              "WHERE CV_itemid IN (1, 4)"));
    fx.pickEnd(1, kChristmasEve);
    fx.pickEnd(2, QDateTime(QDate(2026, 12, 25), QTime(9, 30)));
    QCOMPARE(w.Flex->item(fx.rowOf(3), 0)->data(Qt::UserRole).toString(), "S2");
    fx.pickEnd(3, kChristmasEve);

    QVERIFY(vesktest::clickAndWait(w, w.Command1));

    QCOMPARE(fx.messages.size(), 1);
    const QString message = fx.messages[0].text;
    for (const char* part : {"Saved: 1 row.", "someone else", "item 1 ",
                             "item 3 (row 3): it belongs to store \"S2\", not to store \"S1\""})
        QVERIFY2(message.contains(part), qPrintable(message));
    QVERIFY2(!message.contains("item 4"), qPrintable(message));
    QCOMPARE(fx.stampInDatabase(1), qint64(1700007200));
    QCOMPARE(fx.stampInDatabase(2), qint64(1798209000));
    QCOMPARE(vesktest::scalar(fx.items(), "SELECT COUNT(*) FROM item WHERE CV_itemid = 3 AND "
                                          "auction_until_unix = 0")
                 .toInt(),
             2);
    QCOMPARE(fx.stampInDatabase(4), qint64(1700007200));
    QCOMPARE(fx.end(1), QStringLiteral("1700007200 Nov-14-2023 19:13:00"));
    QVERIFY(fx.end(3).startsWith("0 "));
}

} // namespace endtoend
