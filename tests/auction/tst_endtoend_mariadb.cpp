// Whole passes of the clerk's work on every item database: the listing (its
// statement, rows, colours and pictures, typed search text, a long fill), the
// in-place editor driven by mouse and keyboard, ends changed in the grid and
// not saved yet (marked, counted, taken back, guarded against a relist or
// close, set for many rows at once), saved, reported and undone.

#include "EndToEndCases.h"
#include "auction/SetEndsDialog.h"
#include "timeconv/TypedEnd.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QScopeGuard>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTimer>

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

QString statusText(frmVESKauction& w)
{
    const auto* label = w.findChild<QLabel*>("lblStatus");
    return label ? label->text() : "no status line";
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

// Sets the selected rows' ends from "Set ends\u2026" of the grid's menu on the row.
bool setEndsFromMenu(endtoend::Fixture& fx, int row, const QDateTime& start)
{
    auto* dialog = chooseFromGridMenu(fx, row, QStringLiteral("Set ends\u2026"))
                       ? fx.window().findChild<SetEndsDialog*>()
                       : nullptr;
    if (!dialog)
        return false;
    dialog->startDate->setDate(start.date());
    dialog->startTime->setTime(start.time());
    QTest::mouseClick(dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok),
                      Qt::LeftButton);
    return true;
}

// Shows the next question as a real box and presses the key on it, as the
// clerk would; `text` gets the box's text. Later questions go to the fixture.
void pressOnNextBox(endtoend::Fixture& fx, Qt::Key key, QString& text)
{
    MessageBox::setTestHandler({});
    auto* poll = new QTimer(qApp);
    QObject::connect(poll, &QTimer::timeout, poll, [poll, key, &text, &fx] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box)
            return;
        poll->stop();
        poll->deleteLater();
        text = box->text();
        QTest::keyClick(box, key);
        fx.answerQuestions();
    });
    poll->start(10);
    QTimer::singleShot(10000, poll, &QObject::deleteLater); // no box came
}
} // namespace

Q_DECLARE_METATYPE(Engine)
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

    // "Undo last save" names the journal's last save on the store's clock and
    // asks: Esc and Return (No is the default) change nothing. Yes puts the ends
    // back where nobody changed them since and names the rest; the button then
    // offers to redo that save, which sets its ends again.
    void undoAsksThenPutsBackAndOffersRedo_data()
    {
        QTest::addColumn<int>("key"); // pressed on the real question; 0: Yes
        QTest::addColumn<QString>("savedAt");
        QTest::addColumn<QString>("named");
        QTest::newRow("Esc, summer time") << int(Qt::Key_Escape) << "2026-07-04T16:22:05Z"
                                          << "Jul-4-2026 12:22";
        QTest::newRow("Return, standard time") << int(Qt::Key_Return) << "2026-12-07T17:22:05Z"
                                               << "Dec-7-2026 12:22";
        QTest::newRow("Yes, then redo") << 0 << "2026-12-07T17:22:05Z"
                                        << "Dec-7-2026 12:22";
    }
    void undoAsksThenPutsBackAndOffersRedo()
    {
        QFETCH(int, key);
        QFETCH(QString, savedAt);
        QFETCH(QString, named);
        const qint64 kOld = 1700003600, kNew = 1798153200, kTheirs = 1750000000;
        FIXTURE(fx, Engine::MariaDb);
        for (int id = 1; id <= 4; ++id)
            VESK_VERIFY_OK(
                fx.addItem(id, "R-" + QString::number(id), 120, id == 2 ? kTheirs : kNew));
        QByteArray journal = "save,time,store,item,sku,old_stamp,new_stamp,record\n";
        for (const char* record : {"intent", "written"})
            for (int id = 1; id <= 4; ++id)
                journal += QString("s,%1,S1,%2,R-%2,%3,%4,%5\n")
                               .arg(savedAt, QString::number(id), QString::number(kOld),
                                    QString::number(kNew), record)
                               .toUtf8();
        fx.install.writeFile("auction_journal.csv", journal);
        frmVESKauction& w = fx.window();
        QVERIFY(fx.show() && fx.refresh());
        const auto stamps = [&] {
            return QList<qint64>{fx.stampInDatabase(1), fx.stampInDatabase(2),
                                 fx.stampInDatabase(3), fx.stampInDatabase(4)};
        };
        const int runs = w.listingRuns;
        QString asked;
        if (key)
            pressOnNextBox(fx, Qt::Key(key), asked);
        fx.answer = QMessageBox::Yes;
        QVERIFY(vesktest::clickAndWait(w, w.cmdUndoSave));
        if (key) {
            QCOMPARE(asked, "Undo the save of " + named +
                                " for store S1: 4 items (R-1, R-2, R-3, "
                                "\u2026)?\n\nTheir ends go back to what "
                                "they were before it.");
            QCOMPARE(stamps(), QList<qint64>({kNew, kTheirs, kNew, kNew}));
            QCOMPARE(w.listingRuns, runs);
            QCOMPARE(QFileInfo(fx.install.path("auction_journal.csv")).size(), journal.size());
            return;
        }
        QCOMPARE(stamps(), QList<qint64>({kOld, kTheirs, kOld, kOld}));
        QCOMPARE(fx.messages.size(), 1);
        VESK_VERIFY_CONTAINS(fx.messages[0].text, "before that save: 3 rows",
                             QStringLiteral("item 2 now holds %1").arg(kTheirs));
        QCOMPARE(w.listingRuns, runs + 1);
        QCOMPARE(statusText(w), "3 ends put back at 10:15");
        QCOMPARE(w.cmdUndoSave->text(), "Redo last save");

        QVERIFY(vesktest::clickAndWait(w, w.cmdUndoSave));
        QCOMPARE(fx.questions.last().text, "Redo the save of " + named +
                                               " for store S1: 3 items (R-1, R-3, R-4)?\n\nTheir "
                                               "ends go back to what that save set.");
        QCOMPARE(stamps(), QList<qint64>({kNew, kTheirs, kNew, kNew}));
        QCOMPARE(w.cmdUndoSave->text(), "Undo last save");
    }

    // The line over the grid answers every action: a save's count until the
    // next edit, an empty or cut listing, a filter not listed yet (also after
    // No to the discard question). Items 1 to `items`, none in auction.
    void statusLineAnswersEachAction_data()
    {
        QTest::addColumn<int>("items");
        QTest::addColumn<QString>("actions");
        QTest::addColumn<QString>("status");
        const QString refresh =
            "Press REFRESH (F5) to apply the new filter: the table still shows the one before.";
        const QString cut = "Only the first 50 items are shown: untick (limit to 50) and press "
                            "REFRESH to see all.";
        const auto row = [](const char* tag, int items, const char* actions, QString status) {
            QTest::newRow(tag) << items << QString(actions) << status;
        };
        row("one end saved", 3, "end:1 save", "1 end saved at 10:15");
        row("then an edit", 3, "end:1 save end:2", "");
        row("then a listing", 3, "end:1 save refresh", "");
        row("nothing to save", 3, "save", "No changed end to save");
        row("saved ends leave the auction-free list", 1, "free refresh end:1 save",
            "1 end saved at 10:15   No items match.");
        row("no match", 3, "search:X refresh", "No items match.");
        row("50 rows back", 50, "", cut);
        row("50 rows, no limit", 50, "limit refresh", "");
        row("filter chosen", 3, "free", refresh);
        row("search typed", 3, "search:R", refresh);
        row("limit unticked", 50, "limit", refresh);
        row("filter chosen back", 3, "free any", "");
        row("discard answered No", 3, "end:1 free refresh", refresh);
    }
    void statusLineAnswersEachAction()
    {
        QFETCH(int, items);
        QFETCH(QString, actions);
        QVector<Item> rows;
        for (int id = 1; id <= items; ++id)
            rows << Item{id, "S1", 0};
        SHOWN_WINDOW(fx, Engine::Sqlite, rows);
        for (const QString& action : actions.split(' ', Qt::SkipEmptyParts)) {
            const QString arg = action.section(':', 1);
            if (action.startsWith("end:"))
                fx.pickEnd(arg.toInt(), kChristmasEve);
            else if (action.startsWith("search:"))
                w.txtSearch->setText(arg);
            else if (action == "free" || action == "any")
                QTest::mouseClick(action == "free" ? w.optFree : w.Option1, Qt::LeftButton);
            else if (action == "limit")
                QTest::mouseClick(w.chkLimit, Qt::LeftButton);
            else
                QVERIFY(vesktest::clickAndWait(w, action == "save" ? w.Command1 : w.Command2));
        }
        QTEST(statusText(w), "status");
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
        QCOMPARE(fx.stampInDatabase(2), qint64(0));
        QCOMPARE(fx.stampInDatabase(3), qint64(0));
    }

    // The clerk's keys, each pressed where the focus is or on the control
    // named. Steps: "key CONTROL|focus KEYS", "click CONTROL", "row ID" (a
    // click on the item's SKU), "pick ID [DAYS]" (its end set with the mouse,
    // DAYS after Christmas Eve), "menu ID" (its "Undo end"), "end" (the open
    // editor's pickers set), "fill" (items 1 and 2 set at once), "wait",
    // "count N" (pending ends now). Then: listings run, questions asked, the
    // unsaved count shown, item 2's stamp in the database, editor parts
    // shown, the focused control, the daylight box, the current row's item.
    void keysDoTheClerksJobs_data()
    {
        QTest::addColumn<QString>("steps");
        QTest::addColumn<QString>("expected");
        QTest::newRow("Space and Return after an applied end save nothing")
            << "row 2; key Flex F2; end; key focus Return; key focus Space; key focus Return; "
               "key focus Esc"
            << "0|0|1 unsaved|0|0|Flex|0|2";
        QTest::newRow("Ctrl+S saves; Space during and after it ticks nothing")
            << "pick 2; key txtSearch Ctrl+S; key focus Space; key focus Ctrl+S; key focus F5; "
               "wait; key focus Space; click chkDayLight; key focus Space"
            << "1|0||1798153200|0|Flex|1|2";
        QTest::newRow("Enter in the SKU box and F5 list, asking first")
            << "row 1; key txtSearch Return; wait; key chkLimit F5; wait; pick 2; "
               "key txtSearch Return"
            << "2|1|1 unsaved|0|0|Flex|0|2";
        QTest::newRow("Ctrl+Z anywhere takes a fill-down back at once, Ctrl+Y redoes")
            << "fill; key txtSearch Ctrl+Z; count 0; key txtStoreID Ctrl+Y; count 2; "
               "key focus Ctrl+Z; key Command2 Ctrl+Shift+Z"
            << "0|0|2 unsaved|0|0|Flex|0|2";
        QTest::newRow("Enter opens the editor, Esc closes it, Tab leaves the grid")
            << "row 1; key Flex Return; key focus Esc; key focus Tab"
            << "0|0||0|0|txtSearch|0|1";
        QTest::newRow("an end set twice steps back by Ctrl+Z, then by the menu's undo")
            << "pick 2; pick 2 1; key focus Ctrl+Z; count 1; menu 2"
            << "0|0||0|0|Flex|0|2";
    }
    void keysDoTheClerksJobs()
    {
        QFETCH(QString, steps);
        SHOWN_WINDOW(fx, Engine::Sqlite, kStoreItems);
        w.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        const int runs = w.listingRuns;
        for (const QString& step : steps.split("; ")) {
            const QString verb = step.section(' ', 0, 0), what = step.section(' ', 1, 1);
            QWidget* target = what == "focus" ? w.focusWidget() : w.findChild<QWidget*>(what);
            if (verb == "key" || verb == "click") {
                QVERIFY2(target, qPrintable(step));
                verb == "click" ? QTest::mouseClick(target, Qt::LeftButton)
                                : QTest::keySequence(target, QKeySequence(step.section(' ', 2)));
            } else if (verb == "row") {
                fx.clickCell(fx.rowOf(what.toInt()), 1);
            } else if (verb == "pick") {
                fx.pickEnd(what.toInt(), kChristmasEve.addDays(step.section(' ', 2).toInt()));
            } else if (verb == "menu") {
                QVERIFY(chooseFromGridMenu(fx, fx.rowOf(what.toInt()), "Undo end"));
            } else if (verb == "end") {
                QCOMPARE(editorParts(w), 3);
                w.dtDate->setDate(kChristmasEve.date());
                w.dtTime->setTime(kChristmasEve.time());
            } else if (verb == "fill") {
                fx.clickCell(0, 1);
                fx.clickCell(1, 1, Qt::ShiftModifier);
                QVERIFY(setEndsFromMenu(fx, 1, kChristmasEve));
            } else if (verb == "wait") {
                QVERIFY(vesktest::waitUntilIdle(w));
            } else {
                QCOMPARE(w.items().pendingCount(), what.toInt());
            }
        }
        const QWidget* focus = w.focusWidget();
        QTEST(QStringList({QString::number(w.listingRuns - runs),
                           QString::number(fx.questions.size()), unsavedText(w),
                           QString::number(fx.stampInDatabase(2)), QString::number(editorParts(w)),
                           focus ? focus->objectName() : "-", QString::number(w.daylightSaving()),
                           fx.text(w.Flex->currentIndex().row(), 0)})
                  .join('|'),
              "expected");
        QVERIFY(fx.messages.isEmpty());
    }

    // A refresh or a close asks before unsaved ends go; No keeps them for the
    // refresh, closes without them for the close. A reflexive Return on the
    // real question keeps them.
    void unsavedEndsAreGuardedAtRefreshAndClose_data()
    {
        QTest::addColumn<bool>("close");                         // else refresh
        QTest::addColumn<QMessageBox::StandardButton>("answer"); // NoButton: Return on the box
        QTest::addColumn<bool>("kept");                          // the window keeps the unsaved end
        QTest::addColumn<qint64>("stamp");
        QTest::newRow("refresh, Return") << false << QMessageBox::NoButton << true << qint64(0);
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
        QString asked;
        if (answer == QMessageBox::NoButton)
            pressOnNextBox(fx, Qt::Key_Return, asked);
        close ? void(w.close()) : QTest::mouseClick(w.Command2, Qt::LeftButton);
        QVERIFY(vesktest::waitUntilIdle(w));

        QCOMPARE(fx.questions.size(), asked.isEmpty() ? 1 : 0);
        asked = asked.isEmpty() ? fx.questions[0].text : asked;
        QVERIFY(asked.startsWith(close ? "Save 1 unsaved end before closing?"
                                       : "Discard 1 unsaved end?"));
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

        QVERIFY(setEndsFromMenu(fx, 5, kChristmasEve.addSecs(7200)));
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
        // Over the cell, a column wide, within a pixel (twips are rounded on the way);
        // the date wider where the column would cut its year.
        const QPoint corner = w.Flex->viewport()->mapTo(&w, fx.corner(row, 5));
        const std::tuple<QWidget*, int, int> placed[] = {
            {w.dtDate, 100, 0}, {w.dtTime, 200, 350}, {w.cmdSave, 200, 750}};
        for (const auto& [control, dx, dy] : placed) {
            const QRect g = control->geometry();
            const QPoint offset =
                g.topLeft() - corner - QPoint(w.twips().toPixelsX(dx), w.twips().toPixelsY(dy));
            const int wide = std::max(w.Flex->columnWidth(5),
                                      control == w.dtDate ? control->sizeHint().width() : 0);
            QVERIFY2(offset.manhattanLength() <= 2 && qAbs(g.width() - wide) <= 1,
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
        QTest::addColumn<QString>("move"); // the keyboard, a listing or the scroll bar
        QTest::addColumn<int>("row");      // -1: the last row
        QTest::newRow("keyboard moves down") << "keyboard" << 1;
        QTest::newRow("listing leaves its last row current") << "listing" << -1;
        QTest::newRow("scrolling hides the pickers only") << "scroll" << 0;
    }
    void applyWritesTheRowCurrentAtThatMoment()
    {
        QFETCH(QString, move);
        QFETCH(int, row);
        SHOWN_WINDOW(fx, Engine::Sqlite, kItems);
        fx.clickCell(0, 5);
        w.dtDate->setDate(QDate(2026, 12, 24));
        w.dtTime->setTime(QTime(18, 0));

        QScrollBar* bar = w.Flex->verticalScrollBar();
        if (move == "keyboard") {
            w.Flex->setFocus();
            QTest::keyClick(w.Flex, Qt::Key_Down);
        } else if (move == "listing") {
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
        QTest::addColumn<QString>("refusal"); // what the last message or question says
        const auto row = [](const char* tag, Engine engine, int row, const QDateTime& picked,
                            bool daylight, const QString& cells, const QByteArray& zone = {},
                            const char* refusal = "cannot be stored") {
            QTest::newRow(tag) << engine << row << picked << daylight << cells << zone
                               << QString(refusal);
        };
        const QDateTime none;
        const Engine sqlite = Engine::Sqlite, maria = Engine::MariaDb;
        row("standard time", sqlite, 1, QDateTime(QDate(2026, 12, 24), QTime(18, 0)), false,
            kChristmasEveCells);
        row("MariaDB, daylight saving: an hour less", maria, 2,
            QDateTime(QDate(2026, 12, 24), QTime(18, 0)), true,
            "1798149600 Dec-24-2026 18:00:00 \u2744");
        row("refused: in the past, No", sqlite, 0, QDateTime(QDate(1969, 7, 20), QTime(16, 17)),
            false, "", {}, "is in the past: the auction would end at once");
        row("untouched whole-minute stamp comes back", sqlite, 0, none, false, kRow0);
        row("untouched stamp 0 becomes 0 again", sqlite, 1, none, false, "0 Dec-31-1969 19:00:00");
        row("refused: a second past the last stamp", sqlite, 0,
            QDateTime(QDate(2038, 1, 18), QTime(22, 14, 8)), false, "");
        // The store's clock is the daylight box's fixed offset: the machine's
        // zone, with its gaps (midnight of Sep-8-2024 in Santiago), changes no stamp.
        row("picked in a gap of the machine's zone", sqlite, 2,
            QDateTime(QDate(2024, 9, 8), QTime(0, 30)), false,
            "1725773400 Sep-8-2024 00:30:00 \u2600", "America/Santiago");
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
        QCOMPARE(editorParts(w), refused ? 3 : 0);
        if (refused) {
            const QList<MessageBox::Call> said = fx.questions + fx.messages;
            QVERIFY(!said.isEmpty());
            QFETCH(QString, refusal);
            VESK_VERIFY_CONTAINS(said.last().text, refusal);
            return;
        }
        QVERIFY(fx.messages.isEmpty());
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
    // than the box asks which clock it takes; Cancel changes nothing. The grid
    // shows the box's clock, the same before and after the save, and marks an
    // end on the other clock.
    void typedEndIsShownThenAppliedOrCancelled_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("key");
        QTest::addColumn<bool>("daylight");
        QTest::addColumn<QMessageBox::StandardButton>("answer"); // NoButton: not asked
        QTest::addColumn<QString>("asks");
        QTest::addColumn<QString>("shown"); // under the text box
        QTest::addColumn<QString>("cells");
        QTest::addColumn<bool>("open"); // the editor afterwards
        const auto row = [](const char* tag, const char* text, bool daylight,
                            QMessageBox::StandardButton answer, const char* shown,
                            const QString& cells, bool open = false, int key = Qt::Key_Return,
                            const char* asks = "an hour off") {
            QTest::newRow(tag) << QString(text) << key << daylight << answer << QString(asks)
                               << QString(shown) << cells << open;
        };
        const auto none = QMessageBox::NoButton;
        row("date and time, Enter", "Dec-24-2026 18:00", false, none, "Thu Dec-24-2026 18:00",
            kChristmasEveCells);
        row("weekday keeps the row's time", "fri", false, none, "Fri Nov-17-2023 14:30",
            "1700249400 Nov-17-2023 14:30:00");
        row("Esc cancels", "Dec-24-2026 18:00", false, none, "Thu Dec-24-2026 18:00", kRow0, false,
            Qt::Key_Escape);
        row("no end: reason shown, nothing changed", "24/12/2026 18:00", false, none,
            "\"24/12/2026\" is not a date: type e.g. Dec-24-2026, 24.12.2026, 2026-12-24, "
            "+7d or fri, then a time 20:00",
            kRow0, true);
        row("March, before 2:00, ticked: Yes takes winter time, marked", "2026-03-08 01:30", true,
            QMessageBox::Yes, "Sun Mar-8-2026 01:30", "1772951400 Mar-8-2026 02:30:00 \u2744");
        row("November, from 2:00, ticked: No keeps summer time", "2026-11-01 02:00", true,
            QMessageBox::No, "Sun Nov-1-2026 02:00", "1793512800 Nov-1-2026 02:00:00 \u2744");
        row("April, unticked: Yes takes summer time, an hour less", "Apr-10-2027 20:00", false,
            QMessageBox::Yes, "Sat Apr-10-2027 20:00", "1807401600 Apr-10-2027 19:00:00 \u2600",
            false, Qt::Key_Return,
            "Yes: the auction ends at 20:00 summer time, as picked; the grid shows it as 19:00, "
            "marked as summer time.\nNo: the auction ends at 20:00 winter time, that is 21:00 "
            "summer time: an hour off.");
        row("in the past, Yes sets it", "Nov-10-2023 12:00", false, QMessageBox::Yes,
            "Fri Nov-10-2023 12:00", "1699635600 Nov-10-2023 12:00:00", false, Qt::Key_Return,
            "is in the past");
        row("box agrees: not asked", "2026-07-01 12:00", true, none, "Wed Jul-1-2026 12:00",
            "1782921600 Jul-1-2026 12:00:00");
        row("asked, Cancel: nothing changes", "2026-11-01 02:00", true, QMessageBox::Cancel,
            "Sun Nov-1-2026 02:00", "1796412600 Dec-4-2026 15:30:00 \u2744", true);
    }
    void typedEndIsShownThenAppliedOrCancelled()
    {
        QFETCH(QString, text);
        QFETCH(int, key);
        QFETCH(bool, daylight);
        QFETCH(QMessageBox::StandardButton, answer);
        QFETCH(QString, asks);
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
        // A long reason wraps inside the window; "--->>>" takes only an end.
        QVERIFY(w.rect().contains(result->geometry()));
        QCOMPARE(w.cmdSave->isEnabled(), parseTypedEnd(text, fx.clock.at).isValid());

        QTest::keyClick(typed, Qt::Key(key));

        QCOMPARE(fx.questions.size(), asked ? 1 : 0);
        if (asked)
            VESK_VERIFY_CONTAINS(fx.questions[0].text, asks);
        QVERIFY(fx.messages.isEmpty());
        QCOMPARE(fx.cells(0), cells);
        QCOMPARE(editorParts(w), open ? 3 : 0);
        if (!asked)
            QCOMPARE(typed->isVisible(), open);
        if (cells.startsWith("1796412600 ")) // the row's end as listed
            return;
        QVERIFY(vesktest::clickAndWait(w, w.Command1));
        QCOMPARE(fx.stampInDatabase(11), cells.section(' ', 0, 0).toLongLong());
        QCOMPARE(fx.cells(fx.rowOf(11)), cells);
    }

    // An end set in summer time while the box is unticked keeps its mark and
    // tip as the box goes and comes back; reopened, it shows the time it was
    // set to, and applied unchanged it keeps its stamp without a question.
    void summerTimeEndKeepsItsStampWhenReopened()
    {
        SHOWN_WINDOW(fx, Engine::Sqlite, kItems);
        fx.answer = QMessageBox::Yes;
        const QDateTime picked(QDate(2027, 4, 10), QTime(20, 0));
        fx.pickEnd(11, picked);
        const QString marked = QStringLiteral("1807401600 Apr-10-2027 19:00:00 \u2600");
        QCOMPARE(fx.cells(0), marked);
        VESK_VERIFY_CONTAINS(fx.cell(0, 7, Qt::ToolTipRole).toString(), "Ends 20:00 summer time");
        w.chkDayLight->setChecked(true);
        QCOMPARE(fx.cells(0), QStringLiteral("1807401600 Apr-10-2027 20:00:00"));
        QVERIFY(!fx.cell(0, 7, Qt::ToolTipRole).toString().contains("summer time"));
        w.chkDayLight->setChecked(false);

        fx.clickCell(0, 5);
        QCOMPARE(QDateTime(w.dtDate->date(), w.dtTime->time()), picked);
        QTest::mouseClick(w.cmdSave, Qt::LeftButton);

        QCOMPARE(fx.questions.size(), 1);
        QCOMPARE(fx.cells(0), marked);
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
        addRowOnEach("daylight saving moves now, marks winter time",
                     QString("7|R-7|1|1700000000|ring"), true,
                     QString("7|R-7|ring||1.00|1700000000|Nov-14-2023|18:13:00 \u2744"), green);
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
        // The grid has the focus and marks its current cell: the colours are read beside it.
        w.Flex->selectionModel()->setCurrentIndex(w.Flex->model()->index(0, 1),
                                                  QItemSelectionModel::NoUpdate);
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
