// The in-place editor of auction ends on a listed grid, driven by mouse and keyboard.

#include "EndToEndCases.h"
#include "WindowWaits.h"

#include <QLabel>
#include <QLineEdit>
#include <QScopeGuard>
#include <QScrollBar>

#include <ctime>

using endtoend::Engine;
using endtoend::Item;

namespace {
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
const QString kChristmasEve = QStringLiteral("1798153200 Dec-24-2026 18:00:00");

// Within a pixel: twips are rounded to whole pixels on the way.
bool near(int a, int b)
{
    return qAbs(a - b) <= 1;
}
bool editorShown(const frmVESKauction& w)
{
    return w.dtDate->isVisible() && w.dtTime->isVisible() && w.cmdSave->isVisible();
}
bool editorHidden(const frmVESKauction& w)
{
    return !w.dtDate->isVisible() && !w.dtTime->isVisible() && !w.cmdSave->isVisible();
}

} // namespace

Q_DECLARE_METATYPE(Move)
Q_DECLARE_METATYPE(QMessageBox::StandardButton)

class EditorTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }

    void clickOnStampCellOpensOverItAtTheRowsEnd_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<QDateTime>("end");
        const QDateTime row0(QDate(2026, 12, 4), QTime(14, 30));
        QTest::newRow("running auction") << 0 << row0;
        QTest::newRow("empty cells: a week from today, now")
            << 2 << QDateTime(QDate(2023, 11, 21), QTime(10, 15, 37));
    }
    void clickOnStampCellOpensOverItAtTheRowsEnd()
    {
        QFETCH(int, row);
        QFETCH(QDateTime, end);
        SHOWN_WINDOW(fx, Engine::Sqlite, kItems);
        QTableWidget* grid = w.Flex;
        const int width = grid->columnWidth(5);
        const QString before = fx.cells(row);

        fx.clickCell(row, 5);

        QVERIFY(editorShown(w));
        QCOMPARE(QDateTime(w.dtDate->date(), w.dtTime->time()), end);
        QCOMPARE(grid->currentRow(), row);
        QCOMPARE(grid->currentColumn(), 7);
        QCOMPARE(w.focusWidget(), static_cast<QWidget*>(w.dtDate));
        QCOMPARE(fx.cells(row), before);
        const QPoint corner = grid->viewport()->mapTo(&w, fx.corner(row, 5));
        const std::tuple<QWidget*, int, int> placed[] = {
            {w.dtDate, 100, 0}, {w.dtTime, 200, 350}, {w.cmdSave, 200, 750}};
        for (const auto& [control, dx, dy] : placed) {
            const QRect g = control->geometry();
            QVERIFY2(near(g.x(), corner.x() + w.twips().toPixelsX(dx)) &&
                         near(g.y(), corner.y() + w.twips().toPixelsY(dy)) &&
                         near(g.width(), width),
                     qPrintable(control->objectName()));
        }
        // In front of the grid: a click there reaches the picker.
        const QPoint inDate = w.dtDate->geometry().center();
        QVERIFY(w.childAt(inDate) == w.dtDate || w.dtDate->isAncestorOf(w.childAt(inDate)));
    }

    void clickOnAnotherCellClosesOrMovesTheEditor_data()
    {
        QTest::addColumn<int>("column");
        for (int column : {0, 5, 7})
            QTest::addRow("column %d", column) << column;
    }
    void clickOnAnotherCellClosesOrMovesTheEditor()
    {
        QFETCH(int, column);
        SHOWN_WINDOW(fx, Engine::Sqlite, kItems);
        fx.clickCell(0, 5);

        fx.clickCell(1, column);

        QCOMPARE(editorShown(w), column == 5);
        QCOMPARE(editorHidden(w), column != 5);
        QCOMPARE(w.Flex->currentColumn(), column == 5 ? 7 : column);
        if (column == 5)
            QCOMPARE(w.dtDate->date(), QDate(1969, 12, 31));
        QCOMPARE(fx.cells(0), kRow0);
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
        switch (move) {
        case Move::Keyboard:
            w.Flex->setFocus();
            QTest::keyClick(w.Flex, Qt::Key_Down);
            break;
        case Move::Listing:
            QVERIFY(vesktest::clickAndWait(w, w.Command2));
            break;
        case Move::Scroll:
            QTest::mouseClick(bar, Qt::LeftButton, {},
                              QPoint(bar->width() / 2, bar->height() - 30));
            QVERIFY(bar->value() > 0);
            QVERIFY(!w.dtDate->isVisible() && !w.dtTime->isVisible());
            break;
        }
        QVERIFY(w.cmdSave->isVisible());

        QTest::mouseClick(w.cmdSave, Qt::LeftButton);

        QVERIFY(editorHidden(w));
        row = row < 0 ? w.Flex->rowCount() - 1 : row;
        QCOMPARE(w.Flex->currentRow(), row);
        QCOMPARE(fx.cells(row), kChristmasEve);
        if (row != 0)
            QCOMPARE(fx.cells(0), kRow0);
    }

    void applyWritesThePickedEndOrRefusesIt_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<QDateTime>("picked"); // invalid: the pickers as opened
        QTest::addColumn<bool>("daylight");
        QTest::addColumn<QString>("cells");
        QTest::addColumn<bool>("refused");
        QTest::addColumn<QByteArray>("zone"); // the machine's; empty: as it is
        const QDateTime christmasEve(QDate(2026, 12, 24), QTime(18, 0));
        const QDate lastDay(2038, 1, 18);
        QTest::newRow("daylight saving: an hour less")
            << 2 << christmasEve << true << "1798149600 Dec-24-2026 18:00:00" << false
            << QByteArray();
        QTest::newRow("before 1970") << 0 << QDateTime(QDate(1969, 7, 20), QTime(16, 17)) << false
                                     << "-14179380 Jul-20-1969 16:17:00" << false << QByteArray();
        QTest::newRow("untouched whole-minute stamp comes back")
            << 0 << QDateTime() << false << kRow0 << false << QByteArray();
        QTest::newRow("untouched stamp 0 becomes 0 again")
            << 1 << QDateTime() << false << "0 Dec-31-1969 19:00:00" << false << QByteArray();
        QTest::newRow("refused: a second past the last stamp")
            << 0 << QDateTime(lastDay, QTime(22, 14, 8)) << false << kRow0 << true << QByteArray();
        QTest::newRow("refused: before 1901-12-13 20:45:52")
            << 0 << QDateTime(QDate(1901, 12, 13), QTime(20, 45, 51)) << false << kRow0 << true
            << QByteArray();
        // The store's clock is the daylight box's fixed offset: the machine's
        // zone, with its gaps (midnight of Sep-3-2023 in Santiago), changes no stamp.
        QTest::newRow("picked in a gap of the machine's zone")
            << 2 << QDateTime(QDate(2023, 9, 3), QTime(0, 30)) << false
            << "1693719000 Sep-3-2023 00:30:00" << false << QByteArray("America/Santiago");
        // The picker keeps the seconds of now although the cell shows :00.
        QTest::newRow("defaults in the machine's zone keep now's seconds")
            << 2 << QDateTime() << false << "1700579737 Nov-21-2023 10:15:00" << false
            << QByteArray("America/Santiago");
    }
    void applyWritesThePickedEndOrRefusesIt()
    {
        QFETCH(int, row);
        QFETCH(QDateTime, picked);
        QFETCH(bool, daylight);
        QFETCH(QString, cells);
        QFETCH(bool, refused);
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
        SHOWN_WINDOW(fx, Engine::Sqlite, kItems);
        fx.clickCell(row, 5);
        if (picked.isValid()) {
            w.dtDate->setDate(picked.date());
            w.dtTime->setTime(picked.time());
        }
        w.chkDayLight->setChecked(daylight);

        QTest::mouseClick(w.cmdSave, Qt::LeftButton);

        QCOMPARE(fx.cells(row), cells);
        QCOMPARE(fx.messages.size(), refused ? 1 : 0);
        QCOMPARE(editorShown(w), refused);
        if (refused) {
            QVERIFY2(fx.messages[0].text.contains("cannot be stored"),
                     qPrintable(fx.messages[0].text));
            return;
        }
        QVERIFY(editorHidden(w));
        QCOMPARE(w.Flex->currentRow(), row);
        QVERIFY(vesktest::clickAndWait(w, w.Command1));
        QCOMPARE(fx.stampInDatabase(11 + row), cells.section(' ', 0, 0).toLongLong());
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
        const int enter = Qt::Key_Return;
        const auto none = QMessageBox::NoButton;
        QTest::newRow("date and time, Enter") << "Dec-24-2026 18:00" << enter << false << none
                                              << "Thu Dec-24-2026 18:00" << kChristmasEve << false;
        QTest::newRow("weekday keeps the row's time")
            << "fri" << enter << false << none << "Fri Nov-17-2023 14:30"
            << "1700249400 Nov-17-2023 14:30:00" << false;
        QTest::newRow("Esc cancels") << "Dec-24-2026 18:00" << int(Qt::Key_Escape) << false << none
                                     << "Thu Dec-24-2026 18:00" << kRow0 << false;
        QTest::newRow("no end: reason shown, nothing changed")
            << "Dex-24-2026 18:00" << enter << false << none << "\"Dex\" is not a month" << kRow0
            << true;
        QTest::newRow("March, before 2:00, ticked: Yes takes its own offset")
            << "2026-03-08 01:30" << enter << true << QMessageBox::Yes << "Sun Mar-8-2026 01:30"
            << "1772951400 Mar-8-2026 01:30:00" << false;
        QTest::newRow("November, from 2:00, ticked: No keeps the box's")
            << "2026-11-01 02:00" << enter << true << QMessageBox::No << "Sun Nov-1-2026 02:00"
            << "1793512800 Nov-1-2026 02:00:00" << false;
        QTest::newRow("box agrees: not asked")
            << "2026-07-01 12:00" << enter << true << none << "Wed Jul-1-2026 12:00"
            << "1782921600 Jul-1-2026 12:00:00" << false;
        QTest::newRow("asked, Cancel: nothing changes")
            << "2026-11-01 02:00" << enter << true << QMessageBox::Cancel << "Sun Nov-1-2026 02:00"
            << kRow0 << true;
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
        for (QWidget* control : {static_cast<QWidget*>(w.dtDate), static_cast<QWidget*>(w.dtTime),
                                 static_cast<QWidget*>(w.cmdSave)})
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
        QCOMPARE(editorShown(w), open);
        if (!asked)
            QCOMPARE(typed->isVisible(), open);
        if (cells == kRow0)
            return;
        QVERIFY(vesktest::clickAndWait(w, w.Command1));
        QCOMPARE(fx.stampInDatabase(11), cells.section(' ', 0, 0).toLongLong());
    }
};

QTEST_MAIN(EditorTest)
#include "tst_editor.moc"
