// Ends changed in the grid and not saved yet: marked, counted, taken back,
// guarded against a relist or close, and set for many rows at once.

#include "EndToEndCases.h"
#include "WindowWaits.h"
#include "auction/SetEndsDialog.h"

#include <QContextMenuEvent>
#include <QDateEdit>
#include <QDialogButtonBox>
#include <QLabel>
#include <QMenu>
#include <QSpinBox>
#include <QTimeEdit>

using endtoend::Engine;

namespace {
QString unsavedText(frmVESKauction& w)
{
    const auto* label = w.findChild<QLabel*>("lblUnsaved");
    return label && label->isVisible() ? label->text() : QString();
}

QBrush stampBackground(frmVESKauction& w, int row)
{
    return w.Flex->item(row, 5)->background();
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

class PendingEditsTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }

    // Two edits of one row: Ctrl+Z steps back to the first, the menu's undo to
    // the listed end, and with it the mark and the count go.
    void editsAreMarkedCountedAndTakenBackNewestFirst()
    {
        SHOWN_WINDOW(fx, Engine::Sqlite, endtoend::kStoreItems);
        const int row = fx.rowOf(2);
        const QString listed = fx.end(2);
        const QBrush listedBackground = stampBackground(w, row);
        QCOMPARE(unsavedText(w), QString());

        fx.pickEnd(2, endtoend::kChristmasEve);
        const QString first = fx.end(2);
        QCOMPARE(unsavedText(w), QStringLiteral("1 unsaved"));
        QVERIFY(stampBackground(w, row) != listedBackground);
        fx.pickEnd(2, endtoend::kChristmasEve.addDays(1));
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

    void refreshAsksBeforeDiscarding()
    {
        SHOWN_WINDOW(fx, Engine::Sqlite, endtoend::kStoreItems);
        fx.pickEnd(2, endtoend::kChristmasEve);
        const QString picked = fx.end(2);
        const int runs = w.listingRuns;

        fx.answer = QMessageBox::No;
        QTest::mouseClick(w.Command2, Qt::LeftButton);
        QCOMPARE(fx.questions.size(), 1);
        QCOMPARE(fx.questions[0].text, QStringLiteral("Discard 1 unsaved ends?"));
        QCOMPARE(w.listingRuns, runs);
        QCOMPARE(fx.end(2), picked);
        QCOMPARE(unsavedText(w), QStringLiteral("1 unsaved"));

        fx.answer = QMessageBox::Yes;
        QVERIFY(vesktest::clickAndWait(w, w.Command2));
        QCOMPARE(w.listingRuns, runs + 1);
        QVERIFY(fx.end(2).startsWith("0 "));
        QCOMPARE(unsavedText(w), QString());
    }

    void closingOffersToSave_data()
    {
        QTest::addColumn<QMessageBox::StandardButton>("answer");
        QTest::addColumn<bool>("ends");
        QTest::addColumn<qint64>("stamp");
        QTest::newRow("save and close") << QMessageBox::Yes << true << qint64(1798153200);
        QTest::newRow("close without") << QMessageBox::No << true << qint64(0);
        QTest::newRow("stay") << QMessageBox::Cancel << false << qint64(0);
    }
    void closingOffersToSave()
    {
        QFETCH(QMessageBox::StandardButton, answer);
        QFETCH(bool, ends);
        QFETCH(qint64, stamp);
        SHOWN_WINDOW(fx, Engine::Sqlite, endtoend::kStoreItems);
        fx.pickEnd(2, endtoend::kChristmasEve);
        QSignalSpy ended(&w, &frmVESKauction::programEnded);

        fx.answer = answer;
        w.close();
        QVERIFY(vesktest::waitUntilIdle(w));

        QCOMPARE(fx.questions.size(), 1);
        QVERIFY(fx.questions[0].text.startsWith("Save 1 unsaved ends before closing?"));
        QCOMPARE(ended.size(), ends ? 1 : 0);
        QCOMPARE(fx.stampInDatabase(2), stamp);
        QVERIFY(fx.messages.isEmpty());
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
        QVector<endtoend::Item> items;
        for (int id = 1; id <= 6; ++id)
            items << endtoend::Item{id, "S1", 0};
        SHOWN_WINDOW(fx, Engine::Sqlite, items);
        w.chkDayLight->setChecked(daylight);
        fx.answer = answer;
        const QVector<int> picked = {0, 1, 2, 3, 5};
        fx.clickCell(0, 5);
        QTest::mouseClick(w.Flex->viewport(), Qt::LeftButton, Qt::ShiftModifier,
                          fx.corner(3, 5) + QPoint(3, 3));
        QVERIFY(!w.dtDate->isVisible());
        QTest::mouseClick(w.Flex->viewport(), Qt::LeftButton, Qt::ControlModifier,
                          fx.corner(5, 2) + QPoint(3, 3));

        QVERIFY(chooseFromGridMenu(fx, 5, QStringLiteral("Set ends\u2026")));
        auto* dialog = w.findChild<SetEndsDialog*>();
        QVERIFY(dialog);
        QCOMPARE(dialog->stepMinutes->value(), 2);
        dialog->startDate->setDate(QDate(2026, 12, 24));
        dialog->startTime->setTime(QTime(20, 0));
        QTest::mouseClick(dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok),
                          Qt::LeftButton);
        QCOMPARE(unsavedText(w), QStringLiteral("5 unsaved"));
        QVector<int> ids;
        for (int row = 0; row < 6; ++row)
            ids << w.Flex->item(row, 0)->text().toInt();

        QVERIFY(vesktest::clickAndWait(w, w.Command1));
        QVERIFY2(fx.messages.isEmpty(), qPrintable(fx.messages.value(0).text));
        QCOMPARE(fx.questions.size(), questions);
        qint64 expected = first; // Dec-24-2026 20:00
        for (int row = 0; row < 6; ++row) {
            const int id = ids.at(row);
            if (!picked.contains(row)) {
                QCOMPARE(fx.stampInDatabase(id), qint64(0));
                continue;
            }
            QCOMPARE(fx.stampInDatabase(id), expected);
            expected += 120;
        }
    }
};

QTEST_MAIN(PendingEditsTest)
#include "tst_pendingedits_sqlite.moc"
