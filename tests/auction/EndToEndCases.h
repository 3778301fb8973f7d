#pragma once

// A real window of store S1 offscreen on a test installation: the item
// database on SQLite or MariaDB, the suite's database on SQLite, a folder of
// item pictures, a fixed clock and the messages the window would have shown.

#include "TestSupport.h"
#include "auction/ItemListing.h"
#include "auction/frmVESKauction.h"
#include "auction_core/ItemTableModel.h"
#include "data/frmadoHelper.h"
#include "timeconv/Clock.h"
#include "windows/MessageBox.h"

#include <QDir>
#include <QImage>
#include <QTableView>
#include <QtTest>

#include <memory>

namespace vesktest {
// Waits until the window has no listing or save under way; false after `ms`.
inline bool waitUntilIdle(const frmVESKauction& window, int ms = 30000)
{
    return QTest::qWaitFor([&] { return !window.isBusy(); }, ms);
}

// Clicks a button of the window and waits until the database work it started is over.
inline bool clickAndWait(frmVESKauction& window, QWidget* button)
{
    QTest::mouseClick(button, Qt::LeftButton);
    return waitUntilIdle(window);
}
} // namespace vesktest

namespace endtoend {

using Engine = vesktest::Engine;

class FixedClock : public Clock
{
public:
    QDateTime now() const override { return at; }
    QDateTime at = QDateTime(QDate(2023, 11, 14), QTime(10, 15, 37)); // a Tuesday
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
    explicit Fixture(Engine engine = Engine::Sqlite) : m_items(engine, install)
    {
        answerQuestions();
        QDir(install.dir()).mkdir("pictures");
        install.useSqlite("suite", "suite.sqlite");
        error = m_items.error() + suite.error();
    }
    ~Fixture()
    {
        m_window.reset();
        MessageBox::setTestHandler({});
    }

    // Messages and questions are recorded, not shown; questions get `answer`.
    void answerQuestions()
    {
        MessageBox::setTestHandler([this](const MessageBox::Call& call) {
            (call.buttons == QMessageBox::Ok ? messages : questions) << call;
            return call.buttons == QMessageBox::Ok ? QMessageBox::Ok : answer;
        });
    }
    QSqlDatabase items() const { return m_items.db(); }
    // The program reaches the items through a view of store S1's rows only.
    QString restrictToStore(const QString& store)
    {
        return m_items.restrictToStore(install, store);
    }
    qint64 stampInDatabase(int id) const
    {
        return vesktest::scalar(items(), "SELECT auction_until_unix FROM item WHERE CV_itemid = ?",
                                {id})
            .toLongLong();
    }
    // "NULL" stands for NULL.
    QString addItem(const QVariant& id, const QVariant& sku, const QVariant& retail,
                    const QVariant& stamp, const QVariant& description = "ring",
                    const QString& store = "S1")
    {
        QVariantList values{id, sku, description, retail, stamp, store};
        for (QVariant& v : values)
            v = v == QVariant("NULL") ? QVariant() : v;
        return vesktest::insertRows(
            items(), "item",
            {"CV_itemid", "SKU", "Description", "Retail", "auction_until_unix", "storeid"},
            {values});
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
            suite.db(), "INSERT INTO item (internalitemnumber, Item_PictureName) VALUES (?, ?)",
            {itemId, file});
    }

    // Store S1, any end selected; made at the first call.
    frmVESKauction& window()
    {
        if (!m_window) {
            install.writeConnections();
            helper = std::make_unique<frmadoHelper>(install.installation());
            helper->PictureServer = install.path("pictures") + '/';
            m_window = std::make_unique<frmVESKauction>(*helper);
            m_window->setClock(&clock);
            m_window->txtStoreID->setText("S1");
            m_window->Option1->setChecked(true);
        }
        return *m_window;
    }
    ItemListing& listing() { return window().listing(); }
    // Shown and through its first listing (activation selects the current pieces).
    bool show()
    {
        frmVESKauction& w = window();
        w.show();
        if (!QTest::qWaitFor([&] { return w.listingRuns > 0; }) || !vesktest::waitUntilIdle(w))
            return false;
        QCoreApplication::processEvents();
        w.Option1->setChecked(true);
        return true;
    }
    // Lists through the refresh button, as the clerk does.
    bool refresh() { return vesktest::clickAndWait(window(), window().Command2); }

    // Adds the items, shows the window and lists every item; what went wrong.
    QString showWith(const QVector<Item>& rows)
    {
        for (const Item& item : rows)
            if (error.isEmpty())
                error = addItem(item.id, "R", 120, item.stamp, "ring", item.store);
        if (!error.isEmpty() || !show() || !refresh())
            return error + "the window was not listed";
        if (m_window->Flex->model()->rowCount() != rows.size() || !messages.isEmpty())
            return QString("listed %1 rows %2")
                .arg(m_window->Flex->model()->rowCount())
                .arg(messages.value(0).text);
        return QString();
    }

    QVariant cell(int row, int column, int role = Qt::DisplayRole) const
    {
        return m_window->Flex->model()->index(row, column).data(role);
    }
    QString text(int row, int column) const { return cell(row, column).toString(); }
    QStringList column(int column) const
    {
        QStringList out;
        for (int row = 0; row < m_window->Flex->model()->rowCount(); ++row)
            out << text(row, column);
        return out;
    }
    int rowOf(int id) const { return column(0).indexOf(QString::number(id)); }
    // Stamp, date and time of a grid row, or of an item's row.
    QString cells(int row) const { return text(row, 5) + ' ' + text(row, 6) + ' ' + text(row, 7); }
    QString end(int id) const { return cells(rowOf(id)); }
    // A cell's top left corner in the grid's viewport.
    QPoint corner(int row, int column) const
    {
        return m_window->Flex->visualRect(m_window->Flex->model()->index(row, column)).topLeft();
    }
    void clickCell(int row, int column, Qt::KeyboardModifiers modifiers = {})
    {
        QTest::mouseClick(m_window->Flex->viewport(), Qt::LeftButton, modifiers,
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
    vesktest::TestSqliteDb suite{install.path("suite.sqlite"), {"suite"}};
    std::unique_ptr<frmadoHelper> helper;
    FixedClock clock;
    QString error;
    QList<MessageBox::Call> messages;
    // Questions are answered with this: No keeps the daylight box's offset.
    QList<MessageBox::Call> questions;
    QMessageBox::StandardButton answer = QMessageBox::No;

private:
    vesktest::ItemDatabase m_items;
    std::unique_ptr<frmVESKauction> m_window;
};

// Item 1 of S1 in auction, 2 of S1 in none, 3 of another store.
inline const QVector<Item> kStoreItems = {{1, "S1", 1700003600}, {2, "S1", 0}, {3, "S2", 0}};
inline const QDateTime kChristmasEve(QDate(2026, 12, 24), QTime(18, 0));

#define SHOWN_WINDOW(fx, engine, rows)                                                             \
    endtoend::Fixture fx(engine);                                                                  \
    VESK_VERIFY_OK(fx.showWith(rows));                                                             \
    [[maybe_unused]] frmVESKauction& w = fx.window()

// A fixture whose databases are set up, for a test that fills them itself.
#define FIXTURE(fx, engine)                                                                        \
    endtoend::Fixture fx(engine);                                                                  \
    VESK_VERIFY_OK(fx.error)

} // namespace endtoend
