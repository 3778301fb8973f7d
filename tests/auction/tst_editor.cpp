// The in-place editor of auction ends: a real window offscreen, its grid
// filled as the listing leaves it, driven by mouse and keyboard.

#include "TestSupport.h"
#include "auction/frmVESKauction.h"
#include "data/frmadoHelper.h"
#include "timeconv/Clock.h"
#include "windows/MessageBox.h"

#include <QApplication>
#include <QScrollBar>
#include <QTableWidget>
#include <QtTest>

#include <memory>

namespace {
// Tuesday 2023-11-14 10:15:37 local.
class FixedClock : public Clock
{
public:
    QDateTime now() const override { return QDateTime(QDate(2023, 11, 14), QTime(10, 15, 37)); }
};

const QColor kGreen(0, 255, 0);

struct GridRow
{
    QString id;
    QString stamp;
    QString date;
    QString time;
};

class EditorFixture
{
public:
    EditorFixture()
    {
        items = std::make_unique<vesktest::TestSqliteDb>(
            install.path(QStringLiteral("items.sqlite")), QStringList{QStringLiteral("item")});
        suite = std::make_unique<vesktest::TestSqliteDb>(
            install.path(QStringLiteral("suite.sqlite")), QStringList{QStringLiteral("suite")});
        install.useSqlite(QStringLiteral("itemdb"), QStringLiteral("items.sqlite"));
        install.useSqlite(QStringLiteral("suite"), QStringLiteral("suite.sqlite"));
        install.writeConnections();
        helper = std::make_unique<frmadoHelper>(install.installation());
        window = std::make_unique<frmVESKauction>(*helper);
        window->setClock(&clock);
        MessageBox::setTestHandler([this](const MessageBox::Call& call) {
            messages << call;
            return QMessageBox::Ok;
        });
    }
    ~EditorFixture() { MessageBox::setTestHandler({}); }

    QString error() const { return items->error() + suite->error(); }

    // Shows the window and lets its first listing (of the empty table) pass, then
    // fills the grid as the listing would.
    bool showWith(const QVector<GridRow>& rows)
    {
        frmVESKauction& w = *window;
        w.show();
        if (!QTest::qWaitForWindowExposed(&w))
            return false;
        if (!QTest::qWaitFor([&] { return w.listingRuns > 0; }))
            return false;
        QCoreApplication::processEvents();
        QTableWidget* grid = w.Flex;
        grid->setRowCount(rows.size());
        for (int r = 0; r < rows.size(); ++r) {
            grid->setRowHeight(r, w.twipsToPixelsY(1000));
            const GridRow& row = rows[r];
            grid->setItem(r, 0, new QTableWidgetItem(row.id));
            auto* stamp = new QTableWidgetItem(row.stamp);
            stamp->setData(Qt::UserRole, row.stamp.isEmpty() ? QVariant() : row.stamp.toLongLong());
            stamp->setBackground(kGreen);
            grid->setItem(r, 5, stamp);
            if (!row.date.isEmpty()) {
                grid->setItem(r, 6, new QTableWidgetItem(row.date));
                grid->item(r, 6)->setBackground(kGreen);
            }
            if (!row.time.isEmpty()) {
                grid->setItem(r, 7, new QTableWidgetItem(row.time));
                grid->item(r, 7)->setBackground(kGreen);
            }
        }
        const int widths[] = {1200, 2000, 5500, 1440, 1000, 1200, 1200, 1200};
        for (int c = 0; c < 8; ++c)
            grid->setColumnWidth(c, w.twipsToPixelsX(widths[c]));
        QCoreApplication::processEvents();
        return true;
    }

    void clickCell(int row, int column)
    {
        QTableWidget* grid = window->Flex;
        const QRect rect = grid->visualRect(grid->model()->index(row, column));
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, rect.topLeft() + QPoint(3, 3));
    }
    QString text(int row, int column) const
    {
        const QTableWidgetItem* item = window->Flex->item(row, column);
        return item ? item->text() : QString();
    }
    QStringList cells(int row) const { return {text(row, 5), text(row, 6), text(row, 7)}; }
    bool editorShown() const
    {
        return window->dtDate->isVisible() && window->dtTime->isVisible() &&
               window->cmdSave->isVisible();
    }
    bool editorHidden() const
    {
        return !window->dtDate->isVisible() && !window->dtTime->isVisible() &&
               !window->cmdSave->isVisible();
    }
    // Where a cell's top left corner lies in the window, in pixels.
    QPoint cellCorner(int row, int column) const
    {
        QTableWidget* grid = window->Flex;
        const QRect rect = grid->visualRect(grid->model()->index(row, column));
        return grid->viewport()->mapTo(window.get(), rect.topLeft());
    }

    vesktest::TestInstallation install;
    std::unique_ptr<vesktest::TestSqliteDb> items;
    std::unique_ptr<vesktest::TestSqliteDb> suite;
    std::unique_ptr<frmadoHelper> helper;
    std::unique_ptr<frmVESKauction> window;
    FixedClock clock;
    QList<MessageBox::Call> messages;
};

const QVector<GridRow> kRows = {
    {"11", "1796412600", "Dec-4-2026", "14:30:00"},
    {"12", "0", "Dec-31-1969", "19:00:00"},
    {"13", "", "", ""},
    {"14", "", "Jul-1-2026", ""},
    {"15", "", "", "08:05:00"},
};

// Within a pixel: twips are rounded to whole pixels on the way.
bool near(int a, int b)
{
    return qAbs(a - b) <= 1;
}
} // namespace

#define EDITOR_FIXTURE(fx, rows)                                                                   \
    EditorFixture fx;                                                                              \
    VESK_VERIFY_OK(fx.error());                                                                    \
    QVERIFY(fx.showWith(rows))

class EditorTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }

    void clickOnStampCellOpensAtTheRowsEnd_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<QDate>("date");
        QTest::addColumn<QTime>("time");
        QTest::newRow("running auction") << 0 << QDate(2026, 12, 4) << QTime(14, 30);
        QTest::newRow("stamp 0 shows its own date and time")
            << 1 << QDate(1969, 12, 31) << QTime(19, 0);
        QTest::newRow("empty cells: a week from today, now")
            << 2 << QDate(2023, 11, 21) << QTime(10, 15, 37);
        QTest::newRow("only the date") << 3 << QDate(2026, 7, 1) << QTime(10, 15, 37);
        QTest::newRow("only the time") << 4 << QDate(2023, 11, 21) << QTime(8, 5);
    }
    void clickOnStampCellOpensAtTheRowsEnd()
    {
        QFETCH(int, row);
        QFETCH(QDate, date);
        QFETCH(QTime, time);
        EDITOR_FIXTURE(fx, kRows);
        frmVESKauction& w = *fx.window;

        fx.clickCell(row, 5);

        QVERIFY(fx.editorShown());
        QCOMPARE(w.dtDate->date(), date);
        QCOMPARE(w.dtTime->time(), time);
        QCOMPARE(w.Flex->currentRow(), row);
        QCOMPARE(w.Flex->currentColumn(), 7);
        QCOMPARE(w.focusWidget(), static_cast<QWidget*>(w.dtDate));
        QCOMPARE(fx.cells(row), (QStringList{kRows[row].stamp, kRows[row].date, kRows[row].time}));
    }

    void editorSitsOverTheClickedCell()
    {
        EDITOR_FIXTURE(fx, kRows);
        frmVESKauction& w = *fx.window;
        fx.clickCell(2, 5);

        const QPoint corner = fx.cellCorner(2, 5);
        const int cellWidth = w.Flex->columnWidth(5);
        const struct
        {
            QWidget* control;
            int dx;
            int dy;
        } expected[] = {{w.dtDate, 100, 0}, {w.dtTime, 200, 350}, {w.cmdSave, 200, 750}};
        for (const auto& e : expected) {
            const QRect g = e.control->geometry();
            QVERIFY2(near(g.x(), corner.x() + w.twipsToPixelsX(e.dx)),
                     qPrintable(e.control->objectName() + QString::number(g.x())));
            QVERIFY2(near(g.y(), corner.y() + w.twipsToPixelsY(e.dy)),
                     qPrintable(QString::number(g.y())));
            QVERIFY2(near(g.width(), cellWidth), qPrintable(QString::number(g.width())));
        }
        // In front of the grid: the pickers are what a click there reaches.
        const QPoint inDate = w.dtDate->geometry().center();
        QVERIFY(w.childAt(inDate) == w.dtDate || w.dtDate->isAncestorOf(w.childAt(inDate)));
    }

    void clickOnAnotherColumnOnlyCloses_data()
    {
        QTest::addColumn<int>("column");
        for (int column : {0, 1, 2, 3, 4, 6, 7})
            QTest::addRow("column %d", column) << column;
    }
    void clickOnAnotherColumnOnlyCloses()
    {
        QFETCH(int, column);
        EDITOR_FIXTURE(fx, kRows);
        fx.clickCell(0, 5);
        QVERIFY(fx.editorShown());

        fx.clickCell(1, column);

        QVERIFY(fx.editorHidden());
        QCOMPARE(fx.window->Flex->currentColumn(), column);
        QCOMPARE(fx.cells(0), (QStringList{"1796412600", "Dec-4-2026", "14:30:00"}));
        QCOMPARE(fx.cells(1), (QStringList{"0", "Dec-31-1969", "19:00:00"}));
    }

    void clickOnAnotherStampCellMovesTheEditor()
    {
        EDITOR_FIXTURE(fx, kRows);
        frmVESKauction& w = *fx.window;
        fx.clickCell(0, 5);
        fx.clickCell(1, 5);
        QVERIFY(fx.editorShown());
        QCOMPARE(w.dtDate->date(), QDate(1969, 12, 31));
        QVERIFY(near(w.dtDate->y(), fx.cellCorner(1, 5).y()));
    }

    void cellPartlyBeyondTheRightEdgeGivesTheVisiblePart()
    {
        EDITOR_FIXTURE(fx, kRows);
        frmVESKauction& w = *fx.window;
        QTableWidget* grid = w.Flex;
        // Widen the description so that the stamp column starts 30 pixels before the edge.
        const QRect viewport = grid->viewport()->geometry();
        const int shift = viewport.width() - 30 - grid->columnViewportPosition(5);
        grid->setColumnWidth(2, grid->columnWidth(2) + shift);
        QCoreApplication::processEvents();
        QVERIFY(grid->horizontalScrollBar()->maximum() > 0);
        QCOMPARE(grid->columnViewportPosition(5), viewport.width() - 30);
        QVERIFY(grid->columnWidth(5) > 30);

        fx.clickCell(0, 5);

        QVERIFY(fx.editorShown());
        for (QWidget* control : {static_cast<QWidget*>(w.dtDate), static_cast<QWidget*>(w.dtTime),
                                 static_cast<QWidget*>(w.cmdSave)})
            QVERIFY2(near(control->width(), 30), qPrintable(QString::number(control->width())));
        QVERIFY(near(w.dtDate->x(), fx.cellCorner(0, 5).x() + w.twipsToPixelsX(100)));
    }

    void scrollingHidesThePickersButNotTheApplyButton()
    {
        QVector<GridRow> rows;
        for (int i = 0; i < 30; ++i)
            rows << GridRow{QString::number(100 + i), "1796412600", "Dec-4-2026", "14:30:00"};
        EDITOR_FIXTURE(fx, rows);
        frmVESKauction& w = *fx.window;
        fx.clickCell(1, 5);
        w.dtDate->setDate(QDate(2026, 12, 24));
        w.dtTime->setTime(QTime(18, 0));

        QScrollBar* bar = w.Flex->verticalScrollBar();
        QVERIFY(bar->maximum() > 0);
        QTest::mouseClick(bar, Qt::LeftButton, {}, QPoint(bar->width() / 2, bar->height() - 30));
        QVERIFY(bar->value() > 0);

        QVERIFY(!w.dtDate->isVisible());
        QVERIFY(!w.dtTime->isVisible());
        QVERIFY(w.cmdSave->isVisible());

        QTest::mouseClick(w.cmdSave, Qt::LeftButton);
        QVERIFY(fx.editorHidden());
        QCOMPARE(fx.cells(1), (QStringList{"1798153200", "Dec-24-2026", "18:00:00"}));
        QCOMPARE(fx.cells(0), (QStringList{"1796412600", "Dec-4-2026", "14:30:00"}));
    }

    void keyboardMoveKeepsTheEditorAndApplyWritesTheNewRow()
    {
        EDITOR_FIXTURE(fx, kRows);
        frmVESKauction& w = *fx.window;
        fx.clickCell(0, 5);
        w.Flex->setFocus();
        QTest::keyClick(w.Flex, Qt::Key_Down);
        QCOMPARE(w.Flex->currentRow(), 1);
        QVERIFY(fx.editorShown());

        QTest::mouseClick(w.cmdSave, Qt::LeftButton);

        QVERIFY(fx.editorHidden());
        QCOMPARE(fx.cells(0), (QStringList{"1796412600", "Dec-4-2026", "14:30:00"}));
        QCOMPARE(fx.cells(1), (QStringList{"1796412600", "Dec-4-2026", "14:30:00"}));
    }

    void applyWritesThePickedEnd_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<QDate>("date");
        QTest::addColumn<QTime>("time");
        QTest::addColumn<bool>("daylight");
        QTest::addColumn<QStringList>("cells");
        QTest::newRow("picked date and time")
            << 2 << QDate(2026, 12, 24) << QTime(18, 0) << false
            << QStringList{"1798153200", "Dec-24-2026", "18:00:00"};
        QTest::newRow("daylight saving: an hour less")
            << 2 << QDate(2026, 12, 24) << QTime(18, 0) << true
            << QStringList{"1798149600", "Dec-24-2026", "18:00:00"};
        QTest::newRow("seconds of the picked time count, the cell shows :00")
            << 2 << QDate(2026, 12, 24) << QTime(18, 0, 59) << false
            << QStringList{"1798153259", "Dec-24-2026", "18:00:00"};
        QTest::newRow("last minute of a year")
            << 0 << QDate(2026, 12, 31) << QTime(23, 59) << false
            << QStringList{"1798779540", "Dec-31-2026", "23:59:00"};
        QTest::newRow("before 1970") << 0 << QDate(1969, 7, 20) << QTime(16, 17) << false
                                     << QStringList{"-14179380", "Jul-20-1969", "16:17:00"};
    }
    void applyWritesThePickedEnd()
    {
        QFETCH(int, row);
        QFETCH(QDate, date);
        QFETCH(QTime, time);
        QFETCH(bool, daylight);
        QFETCH(QStringList, cells);
        EDITOR_FIXTURE(fx, kRows);
        frmVESKauction& w = *fx.window;
        fx.clickCell(row, 5);
        w.dtDate->setDate(date);
        w.dtTime->setTime(time);
        w.chkDayLight->setChecked(daylight);

        QTest::mouseClick(w.cmdSave, Qt::LeftButton);

        QVERIFY(fx.editorHidden());
        QCOMPARE(fx.cells(row), cells);
        QCOMPARE(w.Flex->currentRow(), row);
        // The listing's colours stay; only the texts change.
        for (int column : {5, 6, 7}) {
            const QTableWidgetItem* item = w.Flex->item(row, column);
            if (column == 5 || !kRows[row].date.isEmpty())
                QCOMPARE(item->background().color(), kGreen);
        }
        QVERIFY(fx.messages.isEmpty());
    }

    void applyingUntouchedKeepsTheStampsMinute_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<QStringList>("cells");
        QTest::newRow("whole-minute stamp comes back")
            << 0 << QStringList{"1796412600", "Dec-4-2026", "14:30:00"};
        QTest::newRow("stamp 0 shows as an end in 1969 and becomes 0 again")
            << 1 << QStringList{"0", "Dec-31-1969", "19:00:00"};
        // The picker keeps the seconds of now although the cell shows :00.
        QTest::newRow("defaults keep now's seconds")
            << 2 << QStringList{"1700579737", "Nov-21-2023", "10:15:00"};
    }
    void applyingUntouchedKeepsTheStampsMinute()
    {
        QFETCH(int, row);
        QFETCH(QStringList, cells);
        EDITOR_FIXTURE(fx, kRows);
        fx.clickCell(row, 5);
        QTest::mouseClick(fx.window->cmdSave, Qt::LeftButton);
        QCOMPARE(fx.cells(row), cells);
    }

    void typedTimeKeepsTheSecondsOfNow()
    {
        EDITOR_FIXTURE(fx, kRows);
        frmVESKauction& w = *fx.window;
        fx.clickCell(2, 5);
        // The clerk types a new hour and minute; the picker shows no seconds.
        w.dtTime->setFocus();
        w.dtTime->setSelectedSection(QDateTimeEdit::HourSection);
        QTest::keyClicks(w.dtTime, QStringLiteral("1130"));
        QCOMPARE(w.dtTime->time(), QTime(11, 30, 37));
        QTest::mouseClick(w.cmdSave, Qt::LeftButton);
        QCOMPARE(fx.cells(2), (QStringList{"1700584237", "Nov-21-2023", "11:30:00"}));
    }

    void endWithoutUnixStampIsRefused_data()
    {
        QTest::addColumn<QDate>("date");
        QTest::addColumn<QTime>("time");
        QTest::addColumn<bool>("daylight");
        QTest::newRow("2040") << QDate(2040, 1, 1) << QTime(0, 0) << false;
        QTest::newRow("a second past the last stamp")
            << QDate(2038, 1, 18) << QTime(22, 14, 8) << false;
        QTest::newRow("a second past the last stamp, daylight saving")
            << QDate(2038, 1, 18) << QTime(23, 14, 8) << true;
        QTest::newRow("before 1901-12-13 20:45:52")
            << QDate(1901, 12, 13) << QTime(20, 45, 51) << false;
    }
    void endWithoutUnixStampIsRefused()
    {
        QFETCH(QDate, date);
        QFETCH(QTime, time);
        QFETCH(bool, daylight);
        EDITOR_FIXTURE(fx, kRows);
        frmVESKauction& w = *fx.window;
        w.chkDayLight->setChecked(daylight);
        fx.clickCell(0, 5);
        w.dtDate->setDate(date);
        w.dtTime->setTime(time);

        QTest::mouseClick(w.cmdSave, Qt::LeftButton);

        QCOMPARE(fx.messages.size(), 1);
        QVERIFY2(fx.messages[0].text.contains(QStringLiteral("cannot be stored")),
                 qPrintable(fx.messages[0].text));
        QCOMPARE(fx.cells(0), (QStringList{"1796412600", "Dec-4-2026", "14:30:00"}));
        QVERIFY(fx.editorShown());
    }
};

QTEST_MAIN(EditorTest)
#include "tst_editor.moc"
