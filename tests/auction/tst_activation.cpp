#include "StartupFixture.h"

#include <QApplication>
#include <QDateEdit>
#include <QDialog>
#include <QMenu>
#include <QMessageBox>
#include <QRadioButton>
#include <QToolTip>

namespace {
enum class Interruption
{
    MessageBoxClosed,
    DialogClosed,
    CalendarPopupClosed,
    MenuClosed,
    ToolTipShown,
    OtherApplication,
    AlwaysOnTopTick,
    OtherProgramWindow,
    OtherProgramWindowClosed,
};

// Waits until the program itself counts the window as active (the platform
// may say so before the program has been told).
bool isProgramActive(QWidget* window)
{
    return QTest::qWaitFor([window] { return QApplication::activeWindow() == window; });
}

bool activate(QWidget* window)
{
    window->activateWindow();
    return isProgramActive(window);
}

// What the window system tells the program, without asking the platform.
void programActivates(QWidget* window)
{
    QT_WARNING_PUSH
    QT_WARNING_DISABLE_DEPRECATED
    QApplication::setActiveWindow(window);
    QT_WARNING_POP
    QCoreApplication::processEvents();
}

// Another application takes the focus and the clerk comes back: the program
// has no active window in between.
void leaveProgramAndComeBack(QWidget* window)
{
    programActivates(nullptr);
    programActivates(window);
}
class HideCounter : public QObject
{
public:
    explicit HideCounter(QWidget* window) { window->installEventFilter(this); }
    int count = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Hide)
            ++count;
        return false;
    }
};
} // namespace

Q_DECLARE_METATYPE(Interruption)

class ActivationTest : public QObject
{
    Q_OBJECT
private slots:
    void firstShowListsOnceWithCurrentPieces()
    {
        StartupFixture fx;
        frmVESKauction& w = fx.loadedWindow();
        w.Option1->setChecked(true);

        w.show();
        QVERIFY(activate(&w));

        QTRY_COMPARE(w.listingRuns, 1);
        QVERIFY(w.optCurrent->isChecked());
        QCoreApplication::processEvents();
        QCOMPARE(w.listingRuns, 1);
    }

    void refreshButtonLists()
    {
        StartupFixture fx;
        frmVESKauction& w = fx.loadedWindow();
        w.show();
        QVERIFY(activate(&w));
        QTRY_COMPARE(w.listingRuns, 1);
        w.optPast->setChecked(true);

        QTest::mouseClick(w.Command2, Qt::LeftButton);

        QCOMPARE(w.listingRuns, 2);
        QVERIFY(w.optPast->isChecked()); // the refresh keeps the clerk's filter
        QVERIFY(!w.Timer1->isActive());
    }

    void relistsOnlyWhenComingBackFromAnotherWindow_data()
    {
        QTest::addColumn<Interruption>("interruption");
        QTest::addColumn<bool>("relists");
        QTest::newRow("message box") << Interruption::MessageBoxClosed << false;
        QTest::newRow("dialog") << Interruption::DialogClosed << false;
        QTest::newRow("date picker calendar") << Interruption::CalendarPopupClosed << false;
        QTest::newRow("menu") << Interruption::MenuClosed << false;
        QTest::newRow("tooltip") << Interruption::ToolTipShown << false;
        QTest::newRow("other application") << Interruption::OtherApplication << false;
        QTest::newRow("always-on-top tick") << Interruption::AlwaysOnTopTick << false;
        QTest::newRow("other program window") << Interruption::OtherProgramWindow << true;
        QTest::newRow("other program window closed")
            << Interruption::OtherProgramWindowClosed << true;
    }
    void relistsOnlyWhenComingBackFromAnotherWindow()
    {
        QFETCH(Interruption, interruption);
        QFETCH(bool, relists);
        StartupFixture fx;
        frmVESKauction& w = fx.loadedWindow();
        w.show();
        QVERIFY(activate(&w));
        QTRY_COMPARE(w.listingRuns, 1);
        // The clerk has picked another filter; a relist would reset it.
        w.Option1->setChecked(true);

        switch (interruption) {
        case Interruption::MessageBoxClosed: {
            QMessageBox box(QMessageBox::Information, QString(), QStringLiteral("Saved."),
                            QMessageBox::Ok, &w);
            box.show();
            QVERIFY(activate(&box));
            QTest::keyClick(&box, Qt::Key_Return);
            QVERIFY(!box.isVisible());
            break;
        }
        case Interruption::DialogClosed: {
            QDialog dialog(&w);
            dialog.show();
            QVERIFY(activate(&dialog));
            dialog.reject();
            break;
        }
        case Interruption::CalendarPopupClosed: {
            w.dtDate->show();
            const QPoint arrow(w.dtDate->width() - 6, w.dtDate->height() / 2);
            QTest::mouseClick(w.dtDate, Qt::LeftButton, {}, arrow);
            QWidget* popup = QApplication::activePopupWidget();
            QVERIFY(popup);
            QVERIFY(QTest::qWaitForWindowExposed(popup));
            QTest::keyClick(popup, Qt::Key_Escape);
            QTRY_VERIFY(!QApplication::activePopupWidget());
            break;
        }
        case Interruption::MenuClosed: {
            QMenu menu(&w);
            menu.addAction(QStringLiteral("Copy"));
            menu.popup(w.mapToGlobal(QPoint(100, 100)));
            QVERIFY(QTest::qWaitForWindowExposed(&menu));
            QTest::keyClick(&menu, Qt::Key_Escape);
            QTRY_VERIFY(!menu.isVisible());
            break;
        }
        case Interruption::ToolTipShown:
            QToolTip::showText(w.mapToGlobal(QPoint(100, 100)), QStringLiteral("tip"), &w);
            QCoreApplication::processEvents();
            QToolTip::hideText();
            break;
        case Interruption::OtherApplication:
            leaveProgramAndComeBack(&w);
            break;
        case Interruption::AlwaysOnTopTick:
            // The first tick re-shows the window with the new placement, and
            // the window system activates it again.
            w.timerx_Timer();
            w.timerx_Timer();
            QVERIFY(Platform::isTopmost(&w));
            programActivates(&w);
            break;
        case Interruption::OtherProgramWindow: {
            QWidget other;
            other.show();
            QVERIFY(activate(&other));
            QVERIFY(activate(&w));
            break;
        }
        case Interruption::OtherProgramWindowClosed: {
            auto* other = new QWidget;
            other->setAttribute(Qt::WA_DeleteOnClose);
            other->show();
            QVERIFY(activate(other));
            other->close();
            break;
        }
        }
        // The window system hands the activation back to the window.
        if (QApplication::activeWindow() != &w)
            QVERIFY(activate(&w));
        QCoreApplication::processEvents();

        QCOMPARE(w.listingRuns, relists ? 2 : 1);
        QCOMPARE(w.optCurrent->isChecked(), relists);
        QCOMPARE(w.Option1->isChecked(), !relists);
    }

    void firstActivationListsEvenAfterStartupMessage()
    {
        StartupFixture fx;
        frmVESKauction& w = fx.loadedWindow();
        // A message box shown by start-up, before the window appears.
        QMessageBox box(QMessageBox::Warning, QString(), QStringLiteral("progress"));
        box.show();
        QVERIFY(activate(&box));
        box.accept();

        w.show();
        QVERIFY(activate(&w));

        QTRY_COMPARE(w.listingRuns, 1);
    }

    void alwaysOnTopTickKeepsWindowShown()
    {
        StartupFixture fx;
        frmVESKauction& w = fx.loadedWindow();
        w.show();
        QVERIFY(activate(&w));
        QVERIFY(!Platform::isTopmost(&w)); // on top from the first tick, not before

        w.timerx_Timer();
        QVERIFY(Platform::isTopmost(&w));
        QVERIFY(w.isVisible());

        HideCounter hides(&w);
        w.timerx_Timer();
        w.timerx_Timer();
        QCOMPARE(hides.count, 0); // re-asserting must not flicker the window
        QVERIFY(w.isVisible());
        QVERIFY(w.timerx->isActive());
    }
};

QTEST_MAIN(ActivationTest)
#include "tst_activation.moc"
