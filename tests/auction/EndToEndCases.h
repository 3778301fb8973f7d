#pragma once

// A whole editing pass as the clerk does it, on every item database: list,
// click a stamp cell, pick an end, apply, press "save this table --->>>", and
// see what reached the database and what the grid shows afterwards.

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

// 2023-11-14 17:13:20 local: stamp 1700000000 without daylight saving.
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
    explicit Fixture(Engine engine)
    {
        QDir(install.dir()).mkdir(QStringLiteral("pictures"));
        m_suite = std::make_unique<vesktest::TestSqliteDb>(
            install.path(QStringLiteral("suite.sqlite")), QStringList{QStringLiteral("suite")});
        m_error = m_suite->error();
        install.useSqlite(QStringLiteral("suite"), QStringLiteral("suite.sqlite"));
        if (engine == Engine::Sqlite) {
            m_sqlite = std::make_unique<vesktest::TestSqliteDb>(
                install.path(QStringLiteral("items.sqlite")), QStringList{QStringLiteral("item")});
            install.useSqlite(QStringLiteral("itemdb"), QStringLiteral("items.sqlite"));
            m_error += m_sqlite->error();
            return;
        }
        vesktest::MariaDbServer server;
        QString missing;
        if (!vesktest::MariaDbServer::fromEnvironment(&server, &missing)) {
            m_error = QStringLiteral("MariaDB test environment missing (%1)").arg(missing);
            return;
        }
        m_maria = std::make_unique<vesktest::TestMariaDb>(server);
        m_error += m_maria->error();
        if (m_error.isEmpty())
            m_error = m_maria->loadSchema(QStringLiteral("item"));
        install.useMariaDb(QStringLiteral("itemdb"), *m_maria);
    }
    ~Fixture()
    {
        m_window.reset();
        MessageBox::setTestHandler({});
    }

    QString error() const { return m_error; }
    QSqlDatabase items() const { return m_sqlite ? m_sqlite->db() : m_maria->db(); }

    QString addItem(int id, const QString& store, qint64 stamp)
    {
        return vesktest::exec(items(),
                              QStringLiteral("INSERT INTO item (CV_itemid, SKU, Description, "
                                             "Retail, auction_until_unix, storeid) VALUES "
                                             "(?, ?, 'ring', 120, ?, ?)"),
                              {id, QStringLiteral("R%1").arg(id), stamp, store});
    }
    qint64 stampInDatabase(int id, const QString& store) const
    {
        return vesktest::scalar(items(),
                                QStringLiteral("SELECT auction_until_unix FROM item WHERE "
                                               "CV_itemid = ? AND storeid = ?"),
                                {id, store})
            .toLongLong();
    }

    // The window of store S1 shown, after its first listing, listing every item.
    frmVESKauction& shownWindow()
    {
        install.writeConnections();
        m_helper = std::make_unique<frmadoHelper>(install.installation());
        m_helper->PictureServer = install.path(QStringLiteral("pictures")) + QLatin1Char('/');
        m_window = std::make_unique<frmVESKauction>(*m_helper);
        frmVESKauction& w = *m_window;
        w.setClock(&clock);
        w.txtStoreID->setText(QStringLiteral("S1"));
        MessageBox::setTestHandler([this](const MessageBox::Call& call) {
            messages << call;
            return QMessageBox::Ok;
        });
        w.show();
        if (!QTest::qWaitForWindowExposed(&w) ||
            !QTest::qWaitFor([&] { return w.listingRuns > 0; }))
            return w;
        QCoreApplication::processEvents();
        w.Option1->setChecked(true);
        QTest::mouseClick(w.Command2, Qt::LeftButton);
        return w;
    }

    int rowOf(int id) const
    {
        for (int r = 0; r < m_window->Flex->rowCount(); ++r)
            if (text(r, 0) == QString::number(id))
                return r;
        return -1;
    }
    QString text(int row, int column) const
    {
        const QTableWidgetItem* item = m_window->Flex->item(row, column);
        return item ? item->text() : QString();
    }
    // Columns 5, 6 and 7 of the item's row.
    QStringList end(int id) const
    {
        const int r = rowOf(id);
        return {text(r, 5), text(r, 6), text(r, 7)};
    }
    void clickStampCell(int id)
    {
        QTableWidget* grid = m_window->Flex;
        const QRect rect = grid->visualRect(grid->model()->index(rowOf(id), 5));
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, rect.center());
    }
    // Opens the editor on the item's row, picks the end and applies it.
    void pickEnd(int id, const QDate& date, const QTime& time)
    {
        clickStampCell(id);
        m_window->dtDate->setDate(date);
        m_window->dtTime->setTime(time);
        QTest::mouseClick(m_window->cmdSave, Qt::LeftButton);
    }
    void save() { QTest::mouseClick(m_window->Command1, Qt::LeftButton); }

    vesktest::TestInstallation install;
    FixedClock clock;
    QList<MessageBox::Call> messages;

private:
    QString m_error;
    std::unique_ptr<vesktest::TestSqliteDb> m_suite;
    std::unique_ptr<vesktest::TestSqliteDb> m_sqlite;
    std::unique_ptr<vesktest::TestMariaDb> m_maria;
    std::unique_ptr<frmadoHelper> m_helper;
    std::unique_ptr<frmVESKauction> m_window;
};

#define END_TO_END_FIXTURE(fx, engine)                                                             \
    endtoend::Fixture fx(engine);                                                                  \
    VESK_VERIFY_OK(fx.error());                                                                    \
    VESK_VERIFY_OK(fx.addItem(1, QStringLiteral("S1"), 1700003600));                               \
    VESK_VERIFY_OK(fx.addItem(2, QStringLiteral("S1"), 0));                                        \
    VESK_VERIFY_OK(fx.addItem(3, QStringLiteral("S2"), 0));                                        \
    frmVESKauction& w = fx.shownWindow();                                                          \
    QCOMPARE(w.Flex->rowCount(), 3);                                                               \
    QVERIFY(fx.messages.isEmpty())

inline void pickedEndCases()
{
    QTest::addColumn<bool>("daylight");
    QTest::addColumn<QDate>("date");
    QTest::addColumn<QTime>("time");
    QTest::addColumn<qint64>("stamp");
    QTest::addColumn<QStringList>("shown");
    QTest::newRow("standard time")
        << false << QDate(2026, 12, 24) << QTime(18, 0) << qint64(1798153200)
        << QStringList{"1798153200", "Dec-24-2026", "18:00:00"};
    QTest::newRow("daylight saving")
        << true << QDate(2026, 12, 24) << QTime(18, 0) << qint64(1798149600)
        << QStringList{"1798149600", "Dec-24-2026", "18:00:00"};
    QTest::newRow("seconds kept, not shown")
        << false << QDate(2026, 12, 24) << QTime(18, 0, 37) << qint64(1798153237)
        << QStringList{"1798153237", "Dec-24-2026", "18:00:00"};
}

// An item without auction gets an end: it reaches the database and the new
// listing shows it, while the untouched rows stay as they were.
inline void runPickedEndCase(Engine engine)
{
    QFETCH(bool, daylight);
    QFETCH(QDate, date);
    QFETCH(QTime, time);
    QFETCH(qint64, stamp);
    QFETCH(QStringList, shown);
    END_TO_END_FIXTURE(fx, engine);
    w.chkDayLight->setChecked(daylight);
    QTest::mouseClick(w.Command2, Qt::LeftButton);
    QCOMPARE(fx.end(2), (QStringList{"0", "Dec-31-1969", daylight ? "20:00:00" : "19:00:00"}));

    fx.clickStampCell(2);
    QVERIFY(w.dtDate->isVisible());
    QCOMPARE(w.dtDate->date(), QDate(1969, 12, 31));
    w.dtDate->setDate(date);
    w.dtTime->setTime(time);
    QTest::mouseClick(w.cmdSave, Qt::LeftButton);
    QCOMPARE(fx.end(2), shown);
    const int runs = w.listingRuns;

    fx.save();

    QVERIFY2(fx.messages.isEmpty(), qPrintable(fx.messages.value(0).text));
    QCOMPARE(w.listingRuns, runs + 1);
    QCOMPARE(fx.stampInDatabase(2, QStringLiteral("S1")), stamp);
    QCOMPARE(fx.stampInDatabase(1, QStringLiteral("S1")), qint64(1700003600));
    QCOMPARE(fx.stampInDatabase(3, QStringLiteral("S2")), qint64(0));
    QCOMPARE(fx.end(2), shown);
    // Running now: the new listing colours it green.
    QCOMPARE(w.Flex->item(fx.rowOf(2), 5)->background().color(), QColor(0, 255, 0));
}

// A new listing does not close an open editor; applying afterwards writes into
// the row the listing left current, its last one.
inline void runListingWhileOpenCase(Engine engine)
{
    END_TO_END_FIXTURE(fx, engine);
    fx.clickStampCell(1);
    w.dtDate->setDate(QDate(2026, 12, 24));
    w.dtTime->setTime(QTime(18, 0));

    QTest::mouseClick(w.Command2, Qt::LeftButton);

    QVERIFY(w.cmdSave->isVisible());
    QTest::mouseClick(w.cmdSave, Qt::LeftButton);
    QVERIFY(!w.cmdSave->isVisible());
    const int last = w.Flex->rowCount() - 1;
    QCOMPARE(w.Flex->currentRow(), last);
    QCOMPARE((QStringList{fx.text(last, 5), fx.text(last, 6), fx.text(last, 7)}),
             (QStringList{"1798153200", "Dec-24-2026", "18:00:00"}));
}

// Someone else moves the auction between this listing and the save: their end
// stays, the clerk is told, and the new listing shows what the database holds.
inline void runConcurrentChangeCase(Engine engine)
{
    END_TO_END_FIXTURE(fx, engine);
    VESK_VERIFY_OK(vesktest::exec(fx.items(), QStringLiteral("UPDATE item SET auction_until_unix "
                                                             "= 1700007200 WHERE CV_itemid = 1")));
    fx.pickEnd(1, QDate(2026, 12, 24), QTime(18, 0));
    fx.pickEnd(2, QDate(2026, 12, 25), QTime(9, 30));

    fx.save();

    QCOMPARE(fx.messages.size(), 1);
    const QString message = fx.messages[0].text;
    QVERIFY2(message.contains(QStringLiteral("Saved: 1 row.")), qPrintable(message));
    QVERIFY2(message.contains(QStringLiteral("someone else")), qPrintable(message));
    QVERIFY2(message.contains(QStringLiteral("item 1 ")), qPrintable(message));
    QCOMPARE(fx.stampInDatabase(1, QStringLiteral("S1")), qint64(1700007200));
    QCOMPARE(fx.end(1), (QStringList{"1700007200", "Nov-14-2023", "19:13:00"}));
    QCOMPARE(fx.stampInDatabase(2, QStringLiteral("S1")), qint64(1798209000));
}

// The listing shows every store's items; an end given to another store's item
// is not saved, and the clerk hears of it instead of losing it silently.
inline void runOtherStoreCase(Engine engine)
{
    END_TO_END_FIXTURE(fx, engine);
    fx.pickEnd(3, QDate(2026, 12, 24), QTime(18, 0));

    fx.save();

    QCOMPARE(fx.messages.size(), 1);
    QVERIFY2(fx.messages[0].text.contains(QStringLiteral("store \"S1\" has no item 3")),
             qPrintable(fx.messages[0].text));
    QCOMPARE(fx.stampInDatabase(3, QStringLiteral("S2")), qint64(0));
    QCOMPARE(fx.end(3).value(0), QStringLiteral("0"));
}

// Saving an untouched listing writes nothing and says nothing.
inline void runUntouchedCase(Engine engine)
{
    END_TO_END_FIXTURE(fx, engine);
    VESK_VERIFY_OK(vesktest::exec(fx.items(), QStringLiteral("UPDATE item SET auction_until_unix "
                                                             "= 1700007200 WHERE CV_itemid = 1")));
    fx.save();
    QVERIFY(fx.messages.isEmpty());
    // Someone else's later end is not undone by the stale grid.
    QCOMPARE(fx.stampInDatabase(1, QStringLiteral("S1")), qint64(1700007200));
    QCOMPARE(fx.end(1).value(0), QStringLiteral("1700007200"));
}

} // namespace endtoend
