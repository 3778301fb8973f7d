// The window's start-up, its controls stretched to the screen, its boxes,
// when it lists again on coming back from another window, and the unsaved
// ends a killed run left behind.

#include "EndToEndCases.h"
#include "windows/Platform.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QLineEdit>
#include <QLockFile>
#include <QProcess>
#include <QRadioButton>
#include <QSignalSpy>

#include <cstdio>

// The window of the end-to-end cases on a screen of a chosen width.
class StartupFixture : public endtoend::Fixture
{
public:
    explicit StartupFixture(int screenWidth = 1024)
    {
        Platform::setScreenWidthForTesting(screenWidth);
    }
    ~StartupFixture() { Platform::setScreenWidthForTesting(0); }
    QByteArray daylightFile() const
    {
        QFile file(install.path("veskdaylightsavings.ini"));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    // A window that has loaded with store S042.
    frmVESKauction& loadedWindow()
    {
        install.writeFile("userid.ini", "S042\r\n");
        if (!window().Form_Load())
            qWarning("Form_Load ended the program");
        return window();
    }
    bool showLoaded()
    {
        loadedWindow().show();
        return QTest::qWaitForWindowExposed(&window());
    }
};

namespace {
// Waits until the program itself counts the window as active (the platform
// may say so before the program has been told).
bool activate(QWidget* window)
{
    window->activateWindow();
    return QTest::qWaitFor([window] { return QApplication::activeWindow() == window; });
}

const char* const kChildVariable = "VESK_TEST_KILLED_CHILD";
// The end the killed child sets on an item, and its wall time.
qint32 childEnd(qint64 itemId)
{
    return qint32(1800000000 + 600 * itemId);
}

QStringList unsavedFiles(const endtoend::Fixture& fx, const QString& suffix = ".txt")
{
    return QDir(fx.install.dir()).entryList({"unsaved_ends_*" + suffix});
}

// The child process of the crash test: its window on the parent's installation
// sets an end on every listed row, says so once the ends are on the disk and
// waits to be killed.
int runKilledChild(const QString& dir)
{
    frmadoHelper helper{Installation(dir)};
    endtoend::FixedClock clock;
    MessageBox::setTestHandler([](const MessageBox::Call&) { return QMessageBox::No; });
    frmVESKauction w(helper);
    w.setClock(&clock);
    w.txtStoreID->setText("S1");
    w.show();
    if (!QTest::qWaitFor([&] { return w.listingRuns > 0 && !w.isBusy(); }))
        return 1;
    for (int row = 0; row < w.items().rowCount(); ++row) {
        const qint32 end = childEnd(*w.items().row(row).itemId);
        w.items().setEnd(row, end, QDateTime::fromSecsSinceEpoch(end - 5 * 3600, Qt::UTC));
    }
    const QDir folder(dir);
    if (!QTest::qWaitFor([&] { return !folder.entryList({"unsaved_ends_*.txt"}).isEmpty(); }))
        return 2;
    std::puts("ready");
    std::fflush(stdout);
    QTimer::singleShot(60000, qApp, &QCoreApplication::quit); // should the test not kill it
    return QApplication::exec();
}
} // namespace

class StartupTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }

    // Without a store identifier the program ends, with one message; a missing
    // installation folder adds one word about the progress file before it.
    void startsOnlyWithStoreId_data()
    {
        QTest::addColumn<QByteArray>("content"); // null: no file
        QTest::addColumn<bool>("folder");
        QTest::addColumn<QString>("storeId"); // empty: the program ends
        QTest::newRow("plain line") << QByteArray("S042\r\n") << true << "S042";
        QTest::newRow("no file") << QByteArray() << true << "";
        QTest::newRow("empty first field") << QByteArray(",S042\r\n") << true << "";
        QTest::newRow("no installation folder") << QByteArray() << false << "";
    }
    void startsOnlyWithStoreId()
    {
        QFETCH(QByteArray, content);
        QFETCH(bool, folder);
        QFETCH(QString, storeId);
        StartupFixture fx;
        if (!content.isNull())
            fx.install.writeFile("userid.ini", content);
        frmadoHelper helper(Installation(folder ? fx.install.dir() : fx.install.path("none")));
        frmVESKauction w(helper);
        QSignalSpy ended(&w, &frmVESKauction::programEnded);
        const bool starts = !storeId.isEmpty();

        QCOMPARE(w.Form_Load(), starts);
        QCoreApplication::processEvents();

        QCOMPARE(w.txtStoreID->text(), storeId);
        QCOMPARE(w.listingRuns, 0);
        QCOMPARE(ended.count(), starts ? 0 : 1);
        QCOMPARE(w.timerx->isActive(), starts);
        QCOMPARE(fx.messages.size(), starts ? 0 : folder ? 1 : 2);
        if (!folder)
            VESK_VERIFY_CONTAINS(fx.messages.takeFirst().text, "vesk_error.ini");
        if (!starts) // a blank title: an empty one would show the program's name
            QVERIFY(fx.messages[0].text.startsWith("The store indentifier has not been setup") &&
                    fx.messages[0].title == " ");
    }

    // Typed or pasted into the search box, control characters and text over the
    // limit are refused with a message and the box keeps what it held.
    void searchBoxRefusesControlCharactersAndOverlongText_data()
    {
        QTest::addColumn<bool>("pasted"); // else typed
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("refusal"); // empty: taken
        const QString control = "SKU# search box does not take control characters";
        QTest::newRow("NUL typed") << false << QString(QChar(0)) << control;
        QTest::newRow("tab pasted") << true << "C\tD" << control;
        QTest::newRow("pasted over 255")
            << true << QString(254, 'x') << "box takes at most 255 characters; this text has 256.";
        QTest::newRow("pasted up to 255") << true << QString(253, 'x') << "";
    }
    void searchBoxRefusesControlCharactersAndOverlongText()
    {
        QFETCH(bool, pasted);
        QFETCH(QString, input);
        QFETCH(QString, refusal);
        StartupFixture fx;
        QLineEdit* box = fx.window().txtSearch;
        box->setText("AB");

        if (pasted) {
            QGuiApplication::clipboard()->setText(input);
            QTest::keyClick(box, Qt::Key_V, Qt::ControlModifier);
        } else {
            QTest::sendKeyEvent(QTest::Click, box, Qt::Key_unknown, input, {});
        }

        QCOMPARE(box->text(), refusal.isEmpty() ? "AB" + input : "AB");
        QCOMPARE(fx.messages.size(), refusal.isEmpty() ? 0 : 1);
        if (!refusal.isEmpty())
            VESK_VERIFY_CONTAINS(fx.messages[0].text, refusal);
    }

    // Only "true" ticks the box; a click writes the file the next start reads.
    void daylightSettingRoundTripsThroughTheBox()
    {
        StartupFixture fx;
        fx.install.writeFile("veskdaylightsavings.ini", "True\r\n");
        QVERIFY(fx.showLoaded());
        QCheckBox* box = fx.window().chkDayLight;
        QVERIFY(!box->isChecked() && !fx.window().daylightSaving());

        QTest::mouseClick(box, Qt::LeftButton);
        QCOMPARE(fx.daylightFile(), QByteArray("true\r\n"));
        frmadoHelper helper(fx.install.installation());
        frmVESKauction next(helper);
        QVERIFY(next.Form_Load());
        QVERIFY(next.chkDayLight->isChecked() && next.daylightSaving());
        QTest::mouseClick(box, Qt::LeftButton);
        QCOMPARE(fx.daylightFile(), QByteArray("false\r\n"));
        QVERIFY(fx.messages.isEmpty());

        // A folder in the file's place cannot be written as a file.
        QVERIFY(QFile::remove(fx.install.path("veskdaylightsavings.ini")));
        QVERIFY(QDir(fx.install.dir()).mkdir("veskdaylightsavings.ini"));
        QTest::mouseClick(box, Qt::LeftButton);
        QVERIFY(box->isChecked());
        QCOMPARE(fx.messages.size(), 1);
        QCOMPARE(fx.messages[0].icon, QMessageBox::Warning);
        VESK_VERIFY_CONTAINS(fx.messages[0].text, "veskdaylightsavings.ini");
    }

    // A double click on a free spot toggles always-on-top; the close icon ends the program.
    void doubleClickTogglesAlwaysOnTopAndCloseIconEnds()
    {
        StartupFixture fx;
        QVERIFY(fx.showLoaded());
        frmVESKauction& w = fx.window();
        QSignalSpy ended(&w, &frmVESKauction::programEnded);
        QMetaObject::invokeMethod(w.timerx, "timeout"); // the first tick puts the window on top
        const QPoint freeSpot(600, 20);
        QVERIFY(Platform::isTopmost(&w) && !w.childAt(freeSpot));

        for (const bool onTop : {false, true}) {
            QTest::mouseDClick(&w, Qt::LeftButton, {}, freeSpot);
            QCOMPARE(w.Check4->isChecked(), onTop);
            QCOMPARE(w.timerx->isActive(), onTop);
            QCOMPARE(Platform::isTopmost(&w), onTop);
        }
        QVERIFY(w.isVisible() && ended.isEmpty());
        QTest::mouseClick(w.Image1, Qt::LeftButton, {}, QPoint(16, 16));
        QCOMPARE(ended.count(), 1);
        QVERIFY(fx.messages.isEmpty());
    }

    // The first show lists once with the current pieces, even after a message
    // box of the start-up. Coming back from a message box does not list again
    // (it would reset the clerk's filter); coming back from another window does.
    void relistsOnlyWhenComingBackFromAnotherWindow_data()
    {
        QTest::addColumn<bool>("relists");
        QTest::newRow("message box") << false;
        QTest::newRow("other program window") << true;
    }
    void relistsOnlyWhenComingBackFromAnotherWindow()
    {
        QFETCH(bool, relists);
        StartupFixture fx;
        frmVESKauction& w = fx.loadedWindow();
        QMessageBox progress(QMessageBox::Warning, QString(), "progress");
        progress.show();
        QVERIFY(activate(&progress));
        progress.accept();
        w.Option1->setChecked(true);
        w.show();
        QVERIFY(activate(&w));
        QTRY_COMPARE(w.listingRuns, 1);
        QVERIFY(w.optCurrent->isChecked());
        QCoreApplication::processEvents();
        QCOMPARE(w.listingRuns, 1);
        w.Option1->setChecked(true);

        QWidget other;
        QMessageBox box(QMessageBox::Information, QString(), "Saved.", QMessageBox::Ok, &w);
        QWidget* away = relists ? &other : &box;
        away->show();
        QVERIFY(activate(away));
        if (!relists)
            QTest::keyClick(&box, Qt::Key_Return);
        QVERIFY(activate(&w));
        QCoreApplication::processEvents();

        QCOMPARE(w.listingRuns, relists ? 2 : 1);
        QCOMPARE(w.optCurrent->isChecked(), relists);
    }

    // Wider screens stretch the window up to its cap, which is then centred;
    // every control stays inside it and small fonts become Verdana 9.
    void sizesWindowToScreen_data()
    {
        QTest::addColumn<int>("screenWidth");
        QTest::addColumn<double>("leftTwips");
        QTest::addColumn<int>("widthPixels");
        QTest::addColumn<QString>("gridFont");
        QTest::addColumn<int>("gridLeft"); // pixels: lefts stretch too
        QTest::newRow("1024") << 1024 << 0.0 << 1017 << "MS Sans Serif" << 16;
        QTest::newRow("1280") << 1280 << 0.0 << 1273 << "Verdana" << 20;
        QTest::newRow("1920 capped") << 1920 << 4400.0 << 1326 << "Verdana" << 21;
    }
    void sizesWindowToScreen()
    {
        QFETCH(int, screenWidth);
        QFETCH(int, widthPixels);
        StartupFixture fx(screenWidth);
        frmVESKauction& w = fx.loadedWindow();

        QTEST(w.windowLeftTwips(), "leftTwips");
        QCOMPARE(w.size(), QSize(widthPixels, 712));
        for (const QWidget* control : w.findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
            QVERIFY2(w.rect().contains(control->geometry()), qPrintable(control->objectName()));
        QTEST(w.Flex->font().family(), "gridFont");
        QTEST(w.Flex->x(), "gridLeft");
    }

    // Ends set in a program killed outright come back at the next start when
    // the clerk says Yes (the default), and the save writes them.
    void unsavedEndsOutliveAKilledProgram()
    {
#ifndef Q_OS_LINUX
        QSKIP("kills the child with SIGKILL");
#endif
        FIXTURE(fx, endtoend::Engine::Sqlite);
        VESK_VERIFY_OK(fx.addItem(1, "R", 120, 1700003600));
        VESK_VERIFY_OK(fx.addItem(2, "R", 120, 1700007200));
        fx.install.writeConnections();
        QProcess child;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(kChildVariable, fx.install.dir());
        child.setProcessEnvironment(environment);
        child.start(QCoreApplication::applicationFilePath(), QStringList());
        QVERIFY(QTest::qWaitFor(
            [&] { return child.canReadLine() || child.state() == QProcess::NotRunning; }, 120000));
        QCOMPARE(child.readLine(), QByteArray("ready\n"));
        child.kill();
        QVERIFY(child.waitForFinished());

        fx.answer = QMessageBox::Yes;
        QVERIFY(fx.show());
        QTRY_COMPARE(fx.questions.size(), 1);
        VESK_VERIFY_CONTAINS(fx.questions[0].text, "2 unsaved ends from", "Restore them?");
        QCOMPARE(fx.questions[0].defaultButton, QMessageBox::Yes);
        QCOMPARE(fx.window().items().pendingCount(), 2);
        QVERIFY(vesktest::clickAndWait(fx.window(), fx.window().Command1));
        QCOMPARE(fx.stampInDatabase(1), childEnd(1));
        QCOMPARE(fx.stampInDatabase(2), childEnd(2));
        QTRY_VERIFY(unsavedFiles(fx).isEmpty());
    }

    // A restored end whose item someone else changed meanwhile is reported by
    // the save, not written; one whose item the first listing did not show
    // waits for a listing that does; one the database holds already is dropped.
    void restoredEndChangedElsewhereIsReportedNotWritten()
    {
        FIXTURE(fx, endtoend::Engine::Sqlite);
        VESK_VERIFY_OK(fx.addItem(1, "R", 120, 1700003600));
        VESK_VERIFY_OK(fx.addItem(3, "R", 120, 0));
        VESK_VERIFY_OK(fx.addItem(4, "R", 120, 1800001200)); // saved before the end
        fx.install.writeFile("unsaved_ends_gone.txt",
                             "veskauction-unsaved-ends 1\t2023-11-14T09:00:00Z\tS1\n"
                             "1\t1690000000\t1800000000\t2027-01-15T03:00:00Z\tS1\n"
                             "3\t0\t1800000600\t2027-01-15T03:10:00Z\tS1\n"
                             "4\t1700000000\t1800001200\t2027-01-15T04:20:00Z\tS1\n"
                             "end\t3\n");
        fx.answer = QMessageBox::Yes;
        QVERIFY(fx.show());
        QTRY_COMPARE(fx.window().items().pendingCount(), 1);
        VESK_VERIFY_CONTAINS(fx.window().findChild<QLabel*>("lblUnsaved")->text(), "2 unsaved");
        QVERIFY(vesktest::clickAndWait(fx.window(), fx.window().Command1));
        VESK_VERIFY_CONTAINS(fx.messages.value(0).text, "Changed by someone else",
                             "listed with 1690000000");
        QCOMPARE(fx.stampInDatabase(1), 1700003600);
        // The save listed every piece again, item 3 with them.
        QCOMPARE(fx.window().items().pendingCount(), 1);
        QVERIFY(vesktest::clickAndWait(fx.window(), fx.window().Command1));
        QCOMPARE(fx.stampInDatabase(3), 1800000600);
        QTRY_VERIFY(unsavedFiles(fx).isEmpty());
    }

    // Only a readable file whose program is gone is offered; a damaged or
    // foreign one is set aside with a word; No removes the file.
    void offersOnlyReadableFilesOfGonePrograms_data()
    {
        QTest::addColumn<QByteArray>("content"); // null: no file
        QTest::addColumn<bool>("locked");        // by this running program
        QTest::addColumn<int>("questions");
        QTest::addColumn<QString>("word"); // a message's part; empty: none
        QTest::addColumn<QString>("left"); // the file's suffix afterwards; empty: none
        const QByteArray head = "veskauction-unsaved-ends 1\t2023-11-14T09:00:00Z\tS1\n";
        const QByteArray line = "1\t\t1800000000\t2027-01-15T03:00:00Z\t\\N\n";
        const QString unread = "could not be read";
        QTest::newRow("clean start") << QByteArray() << false << 0 << ""
                                     << "";
        QTest::newRow("answered No") << head + line + "end\t1\n"
                                     << false << 1 << ""
                                     << "";
        QTest::newRow("running program") << head + line + "end\t1\n"
                                         << true << 0 << ""
                                         << ".txt";
        QTest::newRow("cut off") << head + line << false << 0 << unread << ".txt.damaged";
        QTest::newRow("bad stamp") << head + "1\t\tx\t\t\\N\nend\t1\n"
                                   << false << 0 << unread << ".txt.damaged";
        QTest::newRow("foreign") << QByteArray("item,stamp\n") << false << 0 << unread
                                 << ".txt.damaged";
    }
    void offersOnlyReadableFilesOfGonePrograms()
    {
        QFETCH(QByteArray, content);
        QFETCH(bool, locked);
        QFETCH(QString, left);
        FIXTURE(fx, endtoend::Engine::Sqlite);
        VESK_VERIFY_OK(fx.addItem(1, "R", 120, 1700003600));
        const QString file = fx.install.path("unsaved_ends_x.txt");
        if (!content.isNull())
            fx.install.writeFile("unsaved_ends_x.txt", content);
        QLockFile lock(file + ".lock");
        QVERIFY(!locked || lock.tryLock(0));

        QVERIFY(fx.show());
        QCoreApplication::processEvents();
        QTEST(int(fx.questions.size()), "questions");
        QFETCH(QString, word);
        QCOMPARE(fx.messages.size(), word.isEmpty() ? 0 : 1);
        if (!word.isEmpty())
            VESK_VERIFY_CONTAINS(fx.messages[0].text, word, "set aside");
        lock.unlock();
        QCOMPARE(unsavedFiles(fx, "*"),
                 left.isEmpty() ? QStringList() : QStringList{"unsaved_ends_x" + left});
        QCOMPARE(fx.window().items().pendingCount(), 0);
    }
};

// As QTEST_MAIN, except that the crash test runs this program as its child.
int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    app.setAttribute(Qt::AA_Use96Dpi, true);
    if (qEnvironmentVariableIsSet(kChildVariable))
        return runKilledChild(qEnvironmentVariable(kChildVariable));
    StartupTest test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}
#include "tst_startup.moc"
