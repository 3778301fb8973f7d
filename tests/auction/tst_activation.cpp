#include "StartupFixture.h"

#include <QApplication>
#include <QDateEdit>
#include <QRadioButton>

namespace {
enum class Interruption
{
    MessageBox,
    CalendarPopup,
    OtherApplication,
    AlwaysOnTopTicks,
    OtherProgramWindow,
};

// Waits until the program itself counts the window as active (the platform
// may say so before the program has been told).
bool activate(QWidget* window)
{
    window->activateWindow();
    return QTest::qWaitFor([window] { return QApplication::activeWindow() == window; });
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

class HideCounter : public QObject
{
public:
    explicit HideCounter(QWidget* window) { window->installEventFilter(this); }
    int count = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        count += event->type() == QEvent::Hide ? 1 : 0;
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
        // Start-up may show a message box before the window appears.
        QMessageBox box(QMessageBox::Warning, QString(), "progress");
        box.show();
        QVERIFY(activate(&box));
        box.accept();
        w.Option1->setChecked(true);

        w.show();
        QVERIFY(activate(&w));

        QTRY_COMPARE(w.listingRuns, 1);
        QVERIFY(w.optCurrent->isChecked());
        QCoreApplication::processEvents();
        QCOMPARE(w.listingRuns, 1);
    }

    void relistsOnlyWhenComingBackFromAnotherWindow_data()
    {
        QTest::addColumn<Interruption>("interruption");
        QTest::addColumn<bool>("relists");
        QTest::newRow("message box") << Interruption::MessageBox << false;
        QTest::newRow("date picker calendar") << Interruption::CalendarPopup << false;
        QTest::newRow("other application") << Interruption::OtherApplication << false;
        QTest::newRow("always-on-top ticks") << Interruption::AlwaysOnTopTicks << false;
        QTest::newRow("other program window") << Interruption::OtherProgramWindow << true;
    }
    void relistsOnlyWhenComingBackFromAnotherWindow()
    {
        QFETCH(Interruption, interruption);
        QFETCH(bool, relists);
        StartupFixture fx;
        QVERIFY(fx.showLoaded());
        frmVESKauction& w = fx.window();
        QVERIFY(activate(&w));
        QTRY_COMPARE(w.listingRuns, 1);
        // The clerk has picked another filter; a relist would reset it.
        w.Option1->setChecked(true);

        switch (interruption) {
        case Interruption::MessageBox: {
            QMessageBox box(QMessageBox::Information, QString(), "Saved.", QMessageBox::Ok, &w);
            box.show();
            QVERIFY(activate(&box));
            QTest::keyClick(&box, Qt::Key_Return);
            QVERIFY(!box.isVisible());
            break;
        }
        case Interruption::CalendarPopup: {
            w.dtDate->show();
            QTest::mouseClick(w.dtDate, Qt::LeftButton, {},
                              QPoint(w.dtDate->width() - 6, w.dtDate->height() / 2));
            QWidget* popup = QApplication::activePopupWidget();
            QVERIFY(popup && QTest::qWaitForWindowExposed(popup));
            QTest::keyClick(popup, Qt::Key_Escape);
            QTRY_VERIFY(!QApplication::activePopupWidget());
            break;
        }
        case Interruption::OtherApplication:
            // The program has no active window in between.
            programActivates(nullptr);
            programActivates(&w);
            break;
        case Interruption::AlwaysOnTopTicks: {
            QVERIFY(!Platform::isTopmost(&w)); // on top from the first tick, not before
            // The first tick re-shows the window with the new placement, and
            // the window system activates it again; later ticks must not flicker.
            w.timerx_Timer();
            QVERIFY(Platform::isTopmost(&w));
            programActivates(&w);
            HideCounter hides(&w);
            w.timerx_Timer();
            w.timerx_Timer();
            QCOMPARE(hides.count, 0);
            QVERIFY(w.isVisible() && w.timerx->isActive());
            break;
        }
        case Interruption::OtherProgramWindow: {
            QWidget other;
            other.show();
            QVERIFY(activate(&other));
            QVERIFY(activate(&w));
            break;
        }
        }
        if (QApplication::activeWindow() != &w)
            QVERIFY(activate(&w));
        QCoreApplication::processEvents();

        QCOMPARE(w.listingRuns, relists ? 2 : 1);
        QCOMPARE(w.optCurrent->isChecked(), relists);
        QCOMPARE(w.Option1->isChecked(), !relists);
    }
};

QTEST_MAIN(ActivationTest)
#include "tst_activation.moc"
