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
        QTest::addColumn<bool>("beyondEdge"); // the cell 30 pixels short of the grid's edge
        const QDateTime row0(QDate(2026, 12, 4), QTime(14, 30));
        QTest::newRow("running auction") << 0 << row0 << false;
        QTest::newRow("stamp 0 shows its own date and time")
            << 1 << QDateTime(QDate(1969, 12, 31), QTime(19, 0)) << false;
        QTest::newRow("empty cells: a week from today, now")
            << 2 << QDateTime(QDate(2023, 11, 21), QTime(10, 15, 37)) << false;
        QTest::newRow("cell partly beyond the edge: the visible part") << 0 << row0 << true;
    }
    void clickOnStampCellOpensOverItAtTheRowsEnd()
    {
        QFETCH(int, row);
        QFETCH(QDateTime, end);
        QFETCH(bool, beyondEdge);
        SHOWN_WINDOW(fx, Engine::Sqlite, kItems);
        QTableWidget* grid = w.Flex;
        int width = grid->columnWidth(5);
        if (beyondEdge) {
            width = 30;
            const int shift = grid->viewport()->width() - width - grid->columnViewportPosition(5);
            grid->setColumnWidth(2, grid->columnWidth(2) + shift);
            QCoreApplication::processEvents();
            QVERIFY(grid->columnWidth(5) > width);
        }
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
        const QDateTime christmasEve(QDate(2026, 12, 24), QTime(18, 0));
        const QDate lastDay(2038, 1, 18);
        QTest::newRow("daylight saving: an hour less")
            << 2 << christmasEve << true << "1798149600 Dec-24-2026 18:00:00" << false;
        QTest::newRow("before 1970") << 0 << QDateTime(QDate(1969, 7, 20), QTime(16, 17)) << false
                                     << "-14179380 Jul-20-1969 16:17:00" << false;
        QTest::newRow("untouched whole-minute stamp comes back")
            << 0 << QDateTime() << false << kRow0 << false;
        QTest::newRow("untouched stamp 0 becomes 0 again")
            << 1 << QDateTime() << false << "0 Dec-31-1969 19:00:00" << false;
        // The picker keeps the seconds of now although the cell shows :00.
        QTest::newRow("untouched defaults keep now's seconds")
            << 2 << QDateTime() << false << "1700579737 Nov-21-2023 10:15:00" << false;
        QTest::newRow("refused: a second past the last stamp")
            << 0 << QDateTime(lastDay, QTime(22, 14, 8)) << false << kRow0 << true;
        QTest::newRow("refused: a second past the last stamp, daylight saving")
            << 0 << QDateTime(lastDay, QTime(23, 14, 8)) << true << kRow0 << true;
        QTest::newRow("refused: before 1901-12-13 20:45:52")
            << 0 << QDateTime(QDate(1901, 12, 13), QTime(20, 45, 51)) << false << kRow0 << true;
    }
    void applyWritesThePickedEndOrRefusesIt()
    {
        QFETCH(int, row);
        QFETCH(QDateTime, picked);
        QFETCH(bool, daylight);
        QFETCH(QString, cells);
        QFETCH(bool, refused);
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
    }

    // The store's clock is the daylight box's fixed offset: the machine's zone,
    // with its daylight-saving gaps, changes no stored stamp.
    void storesTheSameStampInEveryTimeZone_data()
    {
        QTest::addColumn<QByteArray>("zone");
        QTest::addColumn<QDateTime>("picked"); // invalid: the pickers as opened
        QTest::addColumn<QString>("cells");
        for (const char* zone : {"UTC", "America/Santiago"}) {
            // Midnight of Sep-3-2023 does not exist in Santiago.
            QTest::addRow("%s, picked", zone)
                << QByteArray(zone) << QDateTime(QDate(2023, 9, 3), QTime(0, 30))
                << "1693719000 Sep-3-2023 00:30:00";
            QTest::addRow("%s, defaults", zone)
                << QByteArray(zone) << QDateTime() << "1700579737 Nov-21-2023 10:15:00";
        }
    }
    void storesTheSameStampInEveryTimeZone()
    {
        QFETCH(QByteArray, zone);
        QFETCH(QDateTime, picked);
        QFETCH(QString, cells);
        // The machine's time zone for this test: Qt's local time follows TZ after tzset().
        const bool wasSet = qEnvironmentVariableIsSet("TZ");
        const QByteArray previous = qgetenv("TZ");
        qputenv("TZ", zone);
        tzset();
        const auto restore = qScopeGuard([&] {
            wasSet ? qputenv("TZ", previous) : qunsetenv("TZ");
            tzset();
        });
        SHOWN_WINDOW(fx, Engine::Sqlite, kItems);
        fx.clickCell(2, 5);
        if (picked.isValid()) {
            w.dtDate->setDate(picked.date());
            w.dtTime->setTime(picked.time());
        }
        QTest::mouseClick(w.cmdSave, Qt::LeftButton);
        QCOMPARE(fx.cells(2), cells);

        QVERIFY(vesktest::clickAndWait(w, w.Command1));
        QCOMPARE(fx.stampInDatabase(13), cells.section(' ', 0, 0).toLongLong());
    }

    // Typed on Tuesday 2023-11-14 10:15:37 into row 0 (Dec-4-2026 14:30:00).
    void typedEndShowsParsedThenEnterAppliesEscCancels_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("shown"); // under the text box
        QTest::addColumn<QString>("cells");
        QTest::addColumn<bool>("open"); // the editor afterwards
        QTest::newRow("date and time, Enter") << "Dec-24-2026 18:00" << int(Qt::Key_Return)
                                              << "Thu Dec-24-2026 18:00" << kChristmasEve << false;
        QTest::newRow("relative with time, Enter")
            << "+3d 20:00" << int(Qt::Key_Enter) << "Fri Nov-17-2023 20:00"
            << "1700269200 Nov-17-2023 20:00:00" << false;
        QTest::newRow("weekday keeps the row's time")
            << "fri" << int(Qt::Key_Return) << "Fri Nov-17-2023 14:30"
            << "1700249400 Nov-17-2023 14:30:00" << false;
        QTest::newRow("Esc cancels") << "Dec-24-2026 18:00" << int(Qt::Key_Escape)
                                     << "Thu Dec-24-2026 18:00" << kRow0 << false;
        QTest::newRow("no end: reason shown, nothing changed")
            << "Dex-24-2026 18:00" << int(Qt::Key_Return) << "\"Dex\" is not a month" << kRow0
            << true;
    }
    void typedEndShowsParsedThenEnterAppliesEscCancels()
    {
        QFETCH(QString, text);
        QFETCH(int, key);
        QFETCH(QString, shown);
        QFETCH(QString, cells);
        QFETCH(bool, open);
        SHOWN_WINDOW(fx, Engine::Sqlite, kItems);
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
        QCOMPARE(result->text(), shown);

        QTest::keyClick(typed, Qt::Key(key));

        QCOMPARE(fx.cells(0), cells);
        QCOMPARE(editorShown(w), open);
        QCOMPARE(typed->isVisible(), open);
        QVERIFY(fx.messages.isEmpty() && fx.questions.isEmpty());
        if (open) {
            QTest::mouseClick(w.cmdSave, Qt::LeftButton);
            QCOMPARE(fx.cells(0), cells);
            QCOMPARE(result->text(), shown);
        }
    }

    // An end on the other side of a daylight-saving change than the box: the
    // clerk chooses its offset, or cancels and nothing changes.
    void daylightGuardLetsTheClerkChooseTheOffset_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("daylight");
        QTest::addColumn<QMessageBox::StandardButton>("answer");
        QTest::addColumn<bool>("asked");
        QTest::addColumn<QString>("cells");
        const auto row = [](const char* name, const char* text, bool daylight,
                            QMessageBox::StandardButton answer, bool asked, qint64 stamp) {
            const QDateTime end = QDateTime::fromString(text, "yyyy-MM-dd HH:mm");
            QTest::newRow(name) << QString::fromLatin1(text) << daylight << answer << asked
                                << QStringLiteral("%1 %2").arg(stamp).arg(
                                       QLocale().toString(end, "MMM-d-yyyy HH:mm:00"));
        };
        const auto yes = QMessageBox::Yes;
        const auto no = QMessageBox::No;
        row("March, before 2:00, ticked: Yes", "2026-03-08 01:30", true, yes, true, 1772951400);
        row("March, before 2:00, ticked: No", "2026-03-08 01:30", true, no, true, 1772947800);
        row("March, after, unticked: Yes", "2026-03-08 03:00", false, yes, true, 1772953200);
        row("November, from 2:00, ticked: Yes", "2026-11-01 02:00", true, yes, true, 1793516400);
        row("November, from 2:00, ticked: No", "2026-11-01 02:00", true, no, true, 1793512800);
        row("box agrees: not asked", "2026-07-01 12:00", true, QMessageBox::Cancel, false,
            1782921600);
        QTest::newRow("Cancel: nothing changes")
            << "2026-11-01 02:00" << true << QMessageBox::Cancel << true << kRow0;
    }
    void daylightGuardLetsTheClerkChooseTheOffset()
    {
        QFETCH(QString, text);
        QFETCH(bool, daylight);
        QFETCH(QMessageBox::StandardButton, answer);
        QFETCH(bool, asked);
        QFETCH(QString, cells);
        SHOWN_WINDOW(fx, Engine::Sqlite, kItems);
        w.chkDayLight->setChecked(daylight);
        fx.answer = answer;
        fx.clickCell(0, 5);
        auto* typed = w.findChild<QLineEdit*>("txtTypedEnd");
        QTest::mouseClick(typed, Qt::LeftButton);
        QTest::keyClicks(typed, text);

        QTest::keyClick(typed, Qt::Key_Return);

        QCOMPARE(fx.questions.size(), asked ? 1 : 0);
        if (asked)
            QVERIFY2(fx.questions[0].text.contains("an hour off"),
                     qPrintable(fx.questions[0].text));
        QCOMPARE(fx.cells(0), cells);
        QCOMPARE(editorShown(w), answer == QMessageBox::Cancel && asked);
        if (cells == kRow0)
            return;
        QVERIFY(vesktest::clickAndWait(w, w.Command1));
        QCOMPARE(fx.stampInDatabase(11), cells.section(' ', 0, 0).toLongLong());
    }
};

QTEST_MAIN(EditorTest)
#include "tst_editor.moc"
