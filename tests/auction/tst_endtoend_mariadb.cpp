// Whole passes of the clerk's work on every item database: the listing (its
// statement, rows, colours and pictures, typed search text, a long fill), the
// in-place editor driven by mouse and keyboard, ends changed in the grid and
// not saved yet (marked, counted, taken back, guarded against a relist or
// close, set for many rows at once), saved, reported and undone.

#include "EndToEndCases.h"
#include "auction/SetEndsDialog.h"

#include <QContextMenuEvent>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QScopeGuard>
#include <QScrollBar>
#include <QSignalSpy>
#include <QSpinBox>

#include <ctime>

using endtoend::Engine;
using endtoend::Item;
using endtoend::kChristmasEve;
using endtoend::kStoreItems;

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

enum class Move
{
    Keyboard,
    Listing,
    Scroll
};

// Rows 0 to 2: items 11 (Dec-4-2026 14:30:00), 12 (no auction: Dec-31-1969
// 19:00:00) and 13 (no stamp: empty cells); then enough rows to scroll.
const QVector<Item> kItems = [] {
    QVector<Item> rows{{11, "S1", 1796412600}, {12, "S1", 0}, {13, "S1", QVariant()}};
    for (int id = 100; id < 127; ++id)
        rows << Item{id, "S1", 1796412600};
    return rows;
}();
const QString kRow0 = QStringLiteral("1796412600 Dec-4-2026 14:30:00");
const QString kChristmasEveCells = QStringLiteral("1798153200 Dec-24-2026 18:00:00");

// How many of the editor's date, time and apply controls show: 3 open, 0 closed.
int editorParts(const frmVESKauction& w)
{
    return int(w.dtDate->isVisible()) + int(w.dtTime->isVisible()) + int(w.cmdSave->isVisible());
}

QString unsavedText(frmVESKauction& w)
{
    const auto* label = w.findChild<QLabel*>("lblUnsaved");
    return label && label->isVisible() ? label->text() : QString();
}

QBrush stampBackground(frmVESKauction& w, int row)
{
    return w.Flex->model()->index(row, 5).data(Qt::BackgroundRole).value<QBrush>();
}

// Right-clicks the grid cell and picks the entry of the menu it opens.
bool chooseFromGridMenu(endtoend::Fixture& fx, int row, const QString& entry)
{
    frmVESKauction& w = fx.window();
    QWidget* viewport = w.Flex->viewport();
    const QPoint at = fx.corner(row, 1) + QPoint(3, 3);
    QTest::mouseClick(viewport, Qt::RightButton, {}, at);
    QContextMenuEvent event(QContextMenuEvent::Mouse, at, viewport->mapToGlobal(at));
    QApplication::sendEvent(viewport, &event);
    auto* menu = w.Flex->findChild<QMenu*>("gridMenu");
    if (!menu)
        return false;
    for (QAction* action : menu->actions()) {
        if (action->text() == entry && action->isEnabled()) {
            QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(action).center());
            return true;
        }
    }
    return false;
}
} // namespace

Q_DECLARE_METATYPE(Engine)
Q_DECLARE_METATYPE(Move)
Q_DECLARE_METATYPE(QMessageBox::StandardButton)

class EndToEndTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }

    // What cannot be saved is kept and reported in one message: an end someone
    // else moved since the listing, and another store's item, listed beside this
    // store's item of the same number. An untouched row of the stale grid does not
    // undo someone else's end either.
    void unsavableEndsAreKeptAndReportedOnce_data()
    {
        QTest::addColumn<Engine>("engine");
        addRowOnEach("two stores");
    }
    void unsavableEndsAreKeptAndReportedOnce()
    {
        QFETCH(Engine, engine);
        const QVector<Item> rows = kStoreItems + QVector<Item>{{4, "S1", 1700003600}, {3, "S1", 0}};
        SHOWN_WINDOW(fx, engine, rows);
        VESK_VERIFY_OK(vesktest::exec(fx.items(), "UPDATE item SET auction_until_unix = 1700007200 "
                                                  "WHERE CV_itemid IN (1, 4)"));
        fx.pickEnd(1, kChristmasEve);
        fx.pickEnd(2, QDateTime(QDate(2026, 12, 25), QTime(9, 30)));
        QCOMPARE(w.items().row(fx.rowOf(3)).store.value_or("-"), "S2");
        fx.pickEnd(3, kChristmasEve);

        QVERIFY(vesktest::clickAndWait(w, w.Command1));

        QCOMPARE(fx.messages.size(), 1);
        VESK_VERIFY_CONTAINS(fx.messages[0].text, "Saved: 1 row.", "someone else", "item 1 ",
                             "item 3 (row 3): it belongs to store \"S2\", not to store \"S1\"");
        QVERIFY2(!fx.messages[0].text.contains("item 4"), qPrintable(fx.messages[0].text));
        QCOMPARE(fx.stampInDatabase(1), qint64(1700007200));
        QCOMPARE(fx.stampInDatabase(2), qint64(1798209000));
        const QString both3 = "SELECT SUM(auction_until_unix) FROM item WHERE CV_itemid = 3";
        QCOMPARE(vesktest::scalar(fx.items(), both3).toLongLong(), 0); // both items 3
        QCOMPARE(fx.stampInDatabase(4), qint64(1700007200));
        QCOMPARE(fx.end(1), QStringLiteral("1700007200 Nov-14-2023 19:13:00"));
        QVERIFY(fx.end(3).startsWith("0 "));
    }

    // "Undo last save": the ends the last save wrote go back where nobody
    // changed them since, the rest are named. (Undoing an undo: the saver's tests.)
    void undoLeavesAloneWhatChangedSince()
    {
        const qint64 kOld = 1700003600, kTheirs = 1750000000;
        endtoend::Fixture fx(Engine::MariaDb);
        VESK_VERIFY_OK(fx.showWith({{1, "S1", kOld}, {2, "S1", kOld}, {3, "S1", kOld}}));
        frmVESKauction& w = fx.window();
        QVERIFY(!w.cmdUndoSave->isEnabled()); // nothing saved yet
        for (int id = 1; id <= 3; ++id)
            fx.pickEnd(id, kChristmasEve.addSecs(60 * id));
        QVERIFY(vesktest::clickAndWait(w, w.Command1));
        QVERIFY2(fx.messages.isEmpty(), qPrintable(fx.messages.value(0).text));
        QVERIFY(w.cmdUndoSave->isEnabled());
        VESK_VERIFY_OK(vesktest::exec(
            fx.items(), "UPDATE item SET auction_until_unix = ? WHERE CV_itemid = 2", {kTheirs}));

        const int runs = w.listingRuns;
        QVERIFY(vesktest::clickAndWait(w, w.cmdUndoSave));
        QCOMPARE(fx.messages.size(), 1);
        VESK_VERIFY_CONTAINS(fx.messages[0].text, "before that save: 2 rows",
                             QStringLiteral("item 2 now holds %1").arg(kTheirs));
        QCOMPARE(fx.stampInDatabase(1), kOld);
        QCOMPARE(fx.stampInDatabase(2), kTheirs);
        QCOMPARE(fx.stampInDatabase(3), kOld);
        QCOMPARE(w.listingRuns, runs + 1);
        QCOMPARE(fx.end(3).section(' ', 0, 0).toLongLong(), kOld);
    }

    // The shop's server keeps a store to its own rows: through the store's view,
    // over a verified TLS link with an account that requires one, the window
    // lists and saves as usual, and another store's id typed into the store box
    // reaches none of that store's rows.
    void storeViewListsAndSavesOnlyItsStore()
    {
        FIXTURE(fx, Engine::MariaDbTls);
        for (const Item& item : {Item{1, "S1", 0}, Item{2, "S1", 0}, Item{3, "S2", 0}})
            VESK_VERIFY_OK(fx.addItem(item.id, "R", 120, item.stamp, "ring", item.store));
        VESK_VERIFY_OK(fx.restrictToStore("S1"));
        frmVESKauction& w = fx.window();
        QVERIFY(fx.show() && fx.refresh());
        QCOMPARE(fx.column(0), QStringList({"1", "2"}));
        fx.pickEnd(1, kChristmasEve);
        QVERIFY(vesktest::clickAndWait(w, w.Command1));
        QVERIFY2(fx.messages.isEmpty(), qPrintable(fx.messages.value(0).text));
        QCOMPARE(fx.stampInDatabase(1), qint64(1798153200));

        w.txtStoreID->setText("S2");
        QVERIFY(fx.refresh());
        QCOMPARE(fx.column(0), QStringList({"1", "2"}));
        fx.pickEnd(2, kChristmasEve);
        QVERIFY(vesktest::clickAndWait(w, w.Command1));
        QCOMPARE(fx.messages.size(), 1);
        VESK_VERIFY_CONTAINS(fx.messages[0].text,
                             "item 2 (row 2): it belongs to store \"S1\", not to store \"S2\"");
        DataControl& control = fx.helper->adoKBvesk1;
        QCOMPARE(control.execute("UPDATE item SET auction_until_unix = 5 WHERE storeid = 'S2'", {}),
                 0);
        QVERIFY_THROWS_EXCEPTION(
            DataError, control.execute("UPDATE item SET storeid = 'S2' WHERE CV_itemid = 1", {}));
        QCOMPARE(fx.stampInDatabase(2), qint64(0));
        QCOMPARE(fx.stampInDatabase(3), qint64(0));

        // The server itself turns the account away on a link without TLS.
        fx.install.setKey("itemdb", "tls", "off");
        fx.install.writeConnections();
        const auto config = ConnectionConfig::load(fx.install.installation().connectionsFile());
        DataControl plain("adoKBvesk2", config.remoteConnectionString("itemdb"),
                          DataControl::kQueryText, "SELECT 1", &config);
        VESK_VERIFY_CONTAINS(vesktest::errorOf([&] { plain.Refresh(); }), "Access denied");
    }

    // Two edits of one row: Ctrl+Z steps back to the first, the menu's undo to
    // the listed end, and with it the mark and the count go.
    void editsAreMarkedCountedAndTakenBackNewestFirst()
    {
        SHOWN_WINDOW(fx, Engine::Sqlite, kStoreItems);
        const int row = fx.rowOf(2);
        const QString listed = fx.end(2);
        const QBrush listedBackground = stampBackground(w, row);
        QCOMPARE(unsavedText(w), QString());

        fx.pickEnd(2, kChristmasEve);
        const QString first = fx.end(2);
        QCOMPARE(unsavedText(w), QStringLiteral("1 unsaved"));
        QVERIFY(stampBackground(w, row) != listedBackground);
        fx.pickEnd(2, kChristmasEve.addDays(1));
        QCOMPARE(unsavedText(w), QStringLiteral("1 unsaved"));

        w.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        QTest::keyClick(w.Flex, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(fx.end(2), first);
        QVERIFY(chooseFromGridMenu(fx, row, "Undo end"));
        QCOMPARE(fx.end(2), listed);
        QCOMPARE(unsavedText(w), QString());
        QCOMPARE(stampBackground(w, row), listedBackground);
        QVERIFY(fx.questions.isEmpty());
    }

    // A refresh or a close asks before unsaved ends go; No keeps them for the
    // refresh, closes without them for the close.
    void unsavedEndsAreGuardedAtRefreshAndClose_data()
    {
        QTest::addColumn<bool>("close"); // else refresh
        QTest::addColumn<QMessageBox::StandardButton>("answer");
        QTest::addColumn<bool>("kept"); // the window keeps the unsaved end
        QTest::addColumn<qint64>("stamp");
        QTest::newRow("refresh, keep") << false << QMessageBox::No << true << qint64(0);
        QTest::newRow("refresh, discard") << false << QMessageBox::Yes << false << qint64(0);
        QTest::newRow("save and close") << true << QMessageBox::Yes << false << qint64(1798153200);
        QTest::newRow("close without") << true << QMessageBox::No << false << qint64(0);
        QTest::newRow("stay") << true << QMessageBox::Cancel << true << qint64(0);
    }
    void unsavedEndsAreGuardedAtRefreshAndClose()
    {
        QFETCH(bool, close);
        QFETCH(QMessageBox::StandardButton, answer);
        QFETCH(bool, kept);
        SHOWN_WINDOW(fx, Engine::Sqlite, kStoreItems);
        fx.pickEnd(2, kChristmasEve);
        const QString picked = fx.end(2);
        const int runs = w.listingRuns;
        QSignalSpy ended(&w, &frmVESKauction::programEnded);

        fx.answer = answer;
        close ? void(w.close()) : QTest::mouseClick(w.Command2, Qt::LeftButton);
        QVERIFY(vesktest::waitUntilIdle(w));

        QCOMPARE(fx.questions.size(), 1);
        QVERIFY(fx.questions[0].text.startsWith(close ? "Save 1 unsaved ends before closing?"
                                                      : "Discard 1 unsaved ends?"));
        QTEST(fx.stampInDatabase(2), "stamp");
        QVERIFY(fx.messages.isEmpty());
        QCOMPARE(ended.size(), close && answer != QMessageBox::Cancel ? 1 : 0);
        if (close)
            return;
        QCOMPARE(w.listingRuns, kept ? runs : runs + 1);
        QCOMPARE(fx.end(2), kept ? picked : "0 Dec-31-1969 19:00:00");
        QCOMPARE(unsavedText(w), QString(kept ? "1 unsaved" : ""));
    }

    void setEndsStaggersSelectedRows_data()
    {
        QTest::addColumn<bool>("daylight");
        QTest::addColumn<QMessageBox::StandardButton>("answer");
        QTest::addColumn<int>("questions");
        QTest::addColumn<qint64>("first");
        QTest::newRow("standard time") << false << QMessageBox::No << 0 << qint64(1798160400);
        QTest::newRow("box ticked, own offset")
            << true << QMessageBox::Yes << 1 << qint64(1798160400);
        QTest::newRow("box ticked, box offset")
            << true << QMessageBox::No << 1 << qint64(1798156800);
    }
    // Rows picked with a click, a shift click and a control click get ends two
    // minutes apart in grid order, with one daylight question for them all;
    // the row left out keeps its end.
    void setEndsStaggersSelectedRows()
    {
        QFETCH(bool, daylight);
        QFETCH(QMessageBox::StandardButton, answer);
        QFETCH(int, questions);
        QFETCH(qint64, first);
        QVector<Item> items;
        for (int id = 1; id <= 6; ++id)
            items << Item{id, "S1", 0};
        SHOWN_WINDOW(fx, Engine::Sqlite, items);
        w.chkDayLight->setChecked(daylight);
        fx.answer = answer;
        fx.clickCell(0, 5);
        fx.clickCell(3, 5, Qt::ShiftModifier);
        QVERIFY(!w.dtDate->isVisible());
        fx.clickCell(5, 2, Qt::ControlModifier);

        QVERIFY(chooseFromGridMenu(fx, 5, QStringLiteral("Set ends\u2026")));
        auto* dialog = w.findChild<SetEndsDialog*>();
        QVERIFY(dialog);
        QCOMPARE(dialog->stepMinutes->value(), 2);
        dialog->startDate->setDate(QDate(2026, 12, 24));
        dialog->startTime->setTime(QTime(20, 0));
        QTest::mouseClick(dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok),
                          Qt::LeftButton);
        QCOMPARE(unsavedText(w), QStringLiteral("5 unsaved"));
        const QStringList ids = fx.column(0);

        QVERIFY(vesktest::clickAndWait(w, w.Command1));
        QVERIFY2(fx.messages.isEmpty(), qPrintable(fx.messages.value(0).text));
        QCOMPARE(fx.questions.size(), questions);
        for (int row = 0; row < 6; ++row) // Dec-24-2026 20:00, then two minutes apart
            QCOMPARE(fx.stampInDatabase(ids[row].toInt()),
                     row == 4 ? 0 : first + 120 * (row - (row > 4 ? 1 : 0)));
    }

    void clickOnStampCellOpensOverItAtTheRowsEnd_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<QDateTime>("end");
        QTest::newRow("running auction") << 0 << QDateTime(QDate(2026, 12, 4), QTime(14, 30));
        QTest::newRow("empty cells: a week from today, now")
            << 2 << QDateTime(QDate(2023, 11, 21), QTime(10, 15, 37));
    }
    void clickOnStampCellOpensOverItAtTheRowsEnd()
    {
        QFETCH(int, row);
        QFETCH(QDateTime, end);
        SHOWN_WINDOW(fx, Engine::Sqlite, kItems);
        const QString before = fx.cells(row);

        fx.clickCell(row, 5);

        QCOMPARE(editorParts(w), 3);
        QCOMPARE(QDateTime(w.dtDate->date(), w.dtTime->time()), end);
        QCOMPARE(w.Flex->currentIndex().row(), row);
        QCOMPARE(w.Flex->currentIndex().column(), 7);
        QCOMPARE(w.focusWidget(), static_cast<QWidget*>(w.dtDate));
        QCOMPARE(fx.cells(row), before);
        // Over the cell, a column wide, within a pixel (twips are rounded on the way).
        const QPoint corner = w.Flex->viewport()->mapTo(&w, fx.corner(row, 5));
        const std::tuple<QWidget*, int, int> placed[] = {
            {w.dtDate, 100, 0}, {w.dtTime, 200, 350}, {w.cmdSave, 200, 750}};
        for (const auto& [control, dx, dy] : placed) {
            const QRect g = control->geometry();
            const QPoint offset =
                g.topLeft() - corner - QPoint(w.twips().toPixelsX(dx), w.twips().toPixelsY(dy));
            QVERIFY2(offset.manhattanLength() <= 2 && qAbs(g.width() - w.Flex->columnWidth(5)) <= 1,
                     qPrintable(control->objectName()));
        }
        // In front of the grid: a click there reaches the picker.
        const QPoint inDate = w.dtDate->geometry().center();
        QVERIFY(w.childAt(inDate) == w.dtDate || w.dtDate->isAncestorOf(w.childAt(inDate)));
    }

    void clickOnAnotherCellClosesOrMovesTheEditor()
    {
        SHOWN_WINDOW(fx, Engine::Sqlite, kItems);
        for (const int column : {0, 5, 7}) {
            fx.clickCell(0, 5);
            fx.clickCell(1, column);
            QCOMPARE(editorParts(w), column == 5 ? 3 : 0);
            QCOMPARE(w.Flex->currentIndex().column(), column == 5 ? 7 : column);
            QCOMPARE(w.dtDate->date(), column == 5 ? QDate(1969, 12, 31) : QDate(2026, 12, 4));
            QCOMPARE(fx.cells(0), kRow0);
        }
    }

    // Only a click closes the editor; applying writes into the row current then.
    void applyWritesTheRowCurrentAtThatMoment_data()
    {
        QTest::addColumn<Move>("move");
        QTest::addColumn<int>("row"); // -1: the last row
        QTest::newRow("keyboard moves down") << Move::Keyboard << 1;
        QTest::newRow("listing leaves its last row current") << Move::Listing << -1;
        QTest::newRow("scrolling hides the pickers only") << Move::Scroll << 0;
    }
    void applyWritesTheRowCurrentAtThatMoment()
    {
        QFETCH(Move, move);
        QFETCH(int, row);
        SHOWN_WINDOW(fx, Engine::Sqlite, kItems);
        fx.clickCell(0, 5);
        w.dtDate->setDate(QDate(2026, 12, 24));
        w.dtTime->setTime(QTime(18, 0));

        QScrollBar* bar = w.Flex->verticalScrollBar();
        if (move == Move::Keyboard) {
            w.Flex->setFocus();
            QTest::keyClick(w.Flex, Qt::Key_Down);
        } else if (move == Move::Listing) {
            QVERIFY(vesktest::clickAndWait(w, w.Command2));
        } else {
            QTest::mouseClick(bar, Qt::LeftButton, {},
                              QPoint(bar->width() / 2, bar->height() - 30));
            QVERIFY(bar->value() > 0);
            QCOMPARE(editorParts(w), 1);
        }
        QVERIFY(w.cmdSave->isVisible());

        QTest::mouseClick(w.cmdSave, Qt::LeftButton);

        QCOMPARE(editorParts(w), 0);
        row = row < 0 ? w.Flex->model()->rowCount() - 1 : row;
        QCOMPARE(w.Flex->currentIndex().row(), row);
        QCOMPARE(fx.cells(row), kChristmasEveCells);
        if (row != 0)
            QCOMPARE(fx.cells(0), kRow0);
    }

    // An applied end is saved and listed again on every engine; one past the
    // stamps is refused.
    void applyWritesThePickedEndOrRefusesIt_data()
    {
        QTest::addColumn<Engine>("engine");
        QTest::addColumn<int>("row");
        QTest::addColumn<QDateTime>("picked"); // invalid: the pickers as opened
        QTest::addColumn<bool>("daylight");
        QTest::addColumn<QString>("cells");   // empty: refused, the row as it was
        QTest::addColumn<QByteArray>("zone"); // the machine's; empty: as it is
        const auto row = [](const char* tag, Engine engine, int row, const QDateTime& picked,
                            bool daylight, const QString& cells, const QByteArray& zone = {}) {
            QTest::newRow(tag) << engine << row << picked << daylight << cells << zone;
        };
        const QDateTime none;
        const Engine sqlite = Engine::Sqlite, maria = Engine::MariaDb;
        row("standard time", sqlite, 1, QDateTime(QDate(2026, 12, 24), QTime(18, 0)), false,
            kChristmasEveCells);
        row("MariaDB, daylight saving: an hour less", maria, 2,
            QDateTime(QDate(2026, 12, 24), QTime(18, 0)), true, "1798149600 Dec-24-2026 18:00:00");
        row("before 1970", sqlite, 0, QDateTime(QDate(1969, 7, 20), QTime(16, 17)), false,
            "-14179380 Jul-20-1969 16:17:00");
        row("untouched whole-minute stamp comes back", sqlite, 0, none, false, kRow0);
        row("untouched stamp 0 becomes 0 again", sqlite, 1, none, false, "0 Dec-31-1969 19:00:00");
        row("refused: a second past the last stamp", sqlite, 0,
            QDateTime(QDate(2038, 1, 18), QTime(22, 14, 8)), false, "");
        row("refused: before 1901-12-13 20:45:52", sqlite, 0,
            QDateTime(QDate(1901, 12, 13), QTime(20, 45, 51)), false, "");
        // The store's clock is the daylight box's fixed offset: the machine's
        // zone, with its gaps (midnight of Sep-3-2023 in Santiago), changes no stamp.
        row("picked in a gap of the machine's zone", sqlite, 2,
            QDateTime(QDate(2023, 9, 3), QTime(0, 30)), false, "1693719000 Sep-3-2023 00:30:00",
            "America/Santiago");
        // The picker keeps the seconds of now although the cell shows :00.
        row("defaults in the machine's zone keep now's seconds", sqlite, 2, none, false,
            "1700579737 Nov-21-2023 10:15:00", "America/Santiago");
    }
    void applyWritesThePickedEndOrRefusesIt()
    {
        QFETCH(Engine, engine);
        QFETCH(int, row);
        QFETCH(QDateTime, picked);
        QFETCH(QString, cells);
        QFETCH(QByteArray, zone);
        // Qt's local time follows TZ after tzset().
        const bool wasSet = qEnvironmentVariableIsSet("TZ");
        const QByteArray previous = qgetenv("TZ");
        if (!zone.isEmpty())
            qputenv("TZ", zone);
        tzset();
        const auto restore = qScopeGuard([&] {
            wasSet ? qputenv("TZ", previous) : qunsetenv("TZ");
            tzset();
        });
        SHOWN_WINDOW(fx, engine, kItems);
        const QString before = fx.cells(row);
        QFETCH(bool, daylight);
        w.chkDayLight->setChecked(daylight);
        fx.clickCell(row, 5);
        if (picked.isValid()) {
            w.dtDate->setDate(picked.date());
            w.dtTime->setTime(picked.time());
        }

        QTest::mouseClick(w.cmdSave, Qt::LeftButton);

        const bool refused = cells.isEmpty();
        QCOMPARE(fx.cells(row), refused ? before : cells);
        QCOMPARE(fx.messages.size(), refused ? 1 : 0);
        QCOMPARE(editorParts(w), refused ? 3 : 0);
        if (refused) {
            VESK_VERIFY_CONTAINS(fx.messages[0].text, "cannot be stored");
            return;
        }
        QCOMPARE(w.Flex->currentIndex().row(), row);
        const int runs = w.listingRuns;
        QVERIFY(vesktest::clickAndWait(w, w.Command1));
        QVERIFY2(fx.messages.isEmpty(), qPrintable(fx.messages.value(0).text));
        QCOMPARE(w.listingRuns, runs + 1);
        QCOMPARE(fx.cells(row), cells);
        QCOMPARE(fx.stampInDatabase(11 + row), cells.section(' ', 0, 0).toLongLong());
        QCOMPARE(fx.stampInDatabase(row == 0 ? 100 : 11), qint64(1796412600)); // another row
    }

    // Typed on Tuesday 2023-11-14 10:15:37 into row 0 (Dec-4-2026 14:30:00) and
    // read as it is typed. An end on the other side of a daylight-saving change
    // than the box asks which offset it takes; Cancel changes nothing.
    void typedEndIsShownThenAppliedOrCancelled_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("key");
        QTest::addColumn<bool>("daylight");
        QTest::addColumn<QMessageBox::StandardButton>("answer"); // NoButton: not asked
        QTest::addColumn<QString>("shown");                      // under the text box
        QTest::addColumn<QString>("cells");
        QTest::addColumn<bool>("open"); // the editor afterwards
        const auto row = [](const char* tag, const char* text, bool daylight,
                            QMessageBox::StandardButton answer, const char* shown,
                            const QString& cells, bool open = false, int key = Qt::Key_Return) {
            QTest::newRow(tag) << QString(text) << key << daylight << answer << QString(shown)
                               << cells << open;
        };
        const auto none = QMessageBox::NoButton;
        row("date and time, Enter", "Dec-24-2026 18:00", false, none, "Thu Dec-24-2026 18:00",
            kChristmasEveCells);
        row("weekday keeps the row's time", "fri", false, none, "Fri Nov-17-2023 14:30",
            "1700249400 Nov-17-2023 14:30:00");
        row("Esc cancels", "Dec-24-2026 18:00", false, none, "Thu Dec-24-2026 18:00", kRow0, false,
            Qt::Key_Escape);
        row("no end: reason shown, nothing changed", "Dex-24-2026 18:00", false, none,
            "\"Dex\" is not a month", kRow0, true);
        row("March, before 2:00, ticked: Yes takes its own offset", "2026-03-08 01:30", true,
            QMessageBox::Yes, "Sun Mar-8-2026 01:30", "1772951400 Mar-8-2026 01:30:00");
        row("November, from 2:00, ticked: No keeps the box's", "2026-11-01 02:00", true,
            QMessageBox::No, "Sun Nov-1-2026 02:00", "1793512800 Nov-1-2026 02:00:00");
        row("box agrees: not asked", "2026-07-01 12:00", true, none, "Wed Jul-1-2026 12:00",
            "1782921600 Jul-1-2026 12:00:00");
        row("asked, Cancel: nothing changes", "2026-11-01 02:00", true, QMessageBox::Cancel,
            "Sun Nov-1-2026 02:00", kRow0, true);
    }
    void typedEndIsShownThenAppliedOrCancelled()
    {
        QFETCH(QString, text);
        QFETCH(int, key);
        QFETCH(bool, daylight);
        QFETCH(QMessageBox::StandardButton, answer);
        QFETCH(QString, cells);
        QFETCH(bool, open);
        const bool asked = answer != QMessageBox::NoButton;
        SHOWN_WINDOW(fx, Engine::Sqlite, kItems);
        w.chkDayLight->setChecked(daylight);
        fx.answer = answer;
        fx.clickCell(0, 5);
        auto* typed = w.findChild<QLineEdit*>("txtTypedEnd");
        auto* result = w.findChild<QLabel*>("lblTypedEnd");
        QVERIFY(typed && typed->isVisible() && result);
        // Below the three controls, covering none of them.
        for (const QWidget* control :
             std::initializer_list<const QWidget*>{w.dtDate, w.dtTime, w.cmdSave})
            QVERIFY(!typed->geometry().intersects(control->geometry()));
        QTest::mouseClick(typed, Qt::LeftButton);
        QTest::keyClicks(typed, text);
        QVERIFY(result->isVisible());
        QTEST(result->text(), "shown");

        QTest::keyClick(typed, Qt::Key(key));

        QCOMPARE(fx.questions.size(), asked ? 1 : 0);
        if (asked)
            VESK_VERIFY_CONTAINS(fx.questions[0].text, "an hour off");
        QVERIFY(fx.messages.isEmpty());
        QCOMPARE(fx.cells(0), cells);
        QCOMPARE(editorParts(w), open ? 3 : 0);
        if (!asked)
            QCOMPARE(typed->isVisible(), open);
        if (cells == kRow0)
            return;
        QVERIFY(vesktest::clickAndWait(w, w.Command1));
        QCOMPARE(fx.stampInDatabase(11), cells.section(' ', 0, 0).toLongLong());
    }

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
        const std::optional<qint64> listed = w.items().row(0).listed.stamp;
        QCOMPARE(listed ? QVariant(qlonglong(*listed)) : QVariant(),
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
    // The short listing starts at its top.
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
        QCOMPARE(w.Flex->model()->rowCount(), 150);
        QVERIFY(fx.listing().picturesPending() > 0);
        // The clerk scrolled down and picked a row: neither outlives the listing.
        w.Flex->scrollToBottom();
        fx.clickCell(w.Flex->rowAt(w.Flex->viewport()->height() / 2), 1);
        QVERIFY(w.Flex->verticalScrollBar()->value() > 0 &&
                w.Flex->selectionModel()->hasSelection());

        QTest::keyClicks(w.txtSearch, QStringLiteral("L-14"));
        w.chkLimit->setChecked(true);
        QVERIFY(fx.refresh());
        QCOMPARE(fx.listing().picturesPending(), 0);
        fx.helper->pictures().pipeline().waitForIdle();
        QCoreApplication::processEvents();         // no late picture of the long listing lands here
        QCOMPARE(w.Flex->model()->rowCount(), 11); // L-14, L-140 to L-149
        QVERIFY(w.Flex->verticalScrollBar()->value() == 0 && w.Flex->rowAt(0) == 0);
        QVERIFY(!w.Flex->selectionModel()->hasSelection());
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

    // A listing asked for while the grid still fills replaces that fill (on
    // MariaDB the rows stream in as they are read): the grid ends with exactly
    // the rows of the new listing, each one complete.
    void relistWhileFillingLeavesTheNewRowsOnly_data()
    {
        QTest::addColumn<Engine>("engine");
        addRowOnEach("5000 items");
    }
    void relistWhileFillingLeavesTheNewRowsOnly()
    {
        QFETCH(Engine, engine);
        constexpr int kItems = 5000;
        constexpr int kKept = 1234;
        FIXTURE(fx, engine);
        const QString numbers = engine == Engine::Sqlite
                                    ? "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 "
                                      "FROM n WHERE i < %1) SELECT i, 'R-' || i AS s FROM n"
                                    : "SELECT seq AS i, CONCAT('R-', seq) AS s FROM seq_1_to_%1";
        VESK_VERIFY_OK(vesktest::exec(
            fx.items(), QStringLiteral("INSERT INTO item (CV_itemid, SKU, Description, Retail, "
                                       "auction_until_unix, storeid) SELECT i, s, 'ring', i, "
                                       "1700000000 + i, 'S1' FROM (%1) AS n")
                            .arg(numbers.arg(kItems))));
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
        QVERIFY2(fx.listing().isRunning() && w.Flex->model()->rowCount() > 0 &&
                     w.Flex->model()->rowCount() < kItems,
                 "not in the fill");
        QVERIFY(!w.Flex->updatesEnabled() ||
                !fx.text(w.Flex->model()->rowCount() - 1, 5).isEmpty());
        VESK_VERIFY_OK(vesktest::exec(
            fx.items(), QStringLiteral("DELETE FROM item WHERE CV_itemid > %1").arg(kKept)));
        QVERIFY(vesktest::clickAndWait(w, w.Command2));

        QCOMPARE(listed.count(), 1);
        QCOMPARE(w.Flex->model()->rowCount(), kKept);
        const QStringList ids = fx.column(0);
        for (int i = 0; i < kKept; ++i)
            QCOMPARE(ids[i], QString::number(i + 1));
        QCOMPARE(fx.text(kKept - 1, 5), QString::number(1700000000 + kKept));
        QCOMPARE(w.Bar->value(), kKept);
        QCOMPARE(w.Flex->currentIndex().row(), kKept - 1);
        QVERIFY(w.Flex->updatesEnabled());
    }

    // Clicks on REFRESH that arrive while a listing runs make one more listing.
    void refreshDuringListingRunsOnceAfterIt()
    {
        FIXTURE(fx, Engine::Sqlite);
        VESK_VERIFY_OK(fx.addItem(1, "C-1", 1, 0));
        frmVESKauction& w = fx.window();
        QStringList events;
        connect(&fx.listing(), &ItemListing::statementAssembled, this, [&] { events << "start"; });
        connect(&fx.listing(), &ItemListing::listed, this, [&] { events << "end"; });
        QTimer::singleShot(0, w.Command2, [&] {
            QTest::mouseClick(w.Command2, Qt::LeftButton);
            QTest::mouseClick(w.Command2, Qt::LeftButton);
        });

        QVERIFY(fx.refresh() && vesktest::waitUntilIdle(w));

        QCOMPARE(events, (QStringList{"start", "end", "start", "end"}));
        QCOMPARE(w.listingRuns, 3);
        QCOMPARE(w.Flex->model()->rowCount(), 1);
    }
};

QTEST_MAIN(EndToEndTest)
#include "tst_endtoend_mariadb.moc"
