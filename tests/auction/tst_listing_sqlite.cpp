#include "ListingCases.h"

#include <QMessageBox>

using listingcases::Engine;

class ListingSqliteTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }

    void assemblesAndTranslatesStatement_data() { listingcases::statementCases(); }
    void assemblesAndTranslatesStatement()
    {
        LISTING_FIXTURE(fx, Engine::Sqlite);
        listingcases::runStatementCase(fx);
    }
    void showsEachItemInItsRow_data() { listingcases::rowCases(); }
    void showsEachItemInItsRow()
    {
        LISTING_FIXTURE(fx, Engine::Sqlite);
        listingcases::runRowCase(fx);
    }
    void listsTenRecordsWithScaledColumns_data()
    {
        QTest::addColumn<float>("multiplier");
        QTest::addColumn<QList<int>>("widths"); // pixels, column 3 left out
        QTest::newRow("1024 pixels") << 1.0f << QList<int>{80, 133, 367, 67, 80, 80, 80};
        QTest::newRow("1280 pixels") << 1.25f << QList<int>{100, 167, 458, 83, 100, 100, 100};
    }
    void listsTenRecordsWithScaledColumns()
    {
        QFETCH(float, multiplier);
        QFETCH(QList<int>, widths);
        LISTING_FIXTURE(fx, Engine::Sqlite);
        listingcases::runTenRecordsCase(fx, multiplier, widths);
    }
    void typedTextListsTheRightRows_data() { listingcases::hostileCases(); }
    void typedTextListsTheRightRows()
    {
        LISTING_FIXTURE(fx, Engine::Sqlite);
        listingcases::runHostileCase(fx);
    }
    void showsFoundPicturesAndBlankForUnreadable()
    {
        LISTING_FIXTURE(fx, Engine::Sqlite);
        listingcases::runPictureCase(fx);
    }
    void longListingGetsPicturesVisibleRowsFirst()
    {
        LISTING_FIXTURE(fx, Engine::Sqlite);
        listingcases::runLargeCase(fx);
    }
    void refreshDuringListingRunsOnceAfterIt()
    {
        LISTING_FIXTURE(fx, Engine::Sqlite);
        listingcases::runCoalesceCase(fx);
    }

    void unreachableServerGivesOneMessageAndUsableGrid()
    {
        LISTING_FIXTURE(fx, Engine::Sqlite);
        fx.install.setGroup("itemdb", {{"server", "127.0.0.1"},
                                       {"port", "1"},
                                       {"database", "items"},
                                       {"user", "clerk"},
                                       {"password", "secret"}});
        frmVESKauction& w = fx.window();
        // A real box, closed by the clerk: coming back from it must not list again.
        MessageBox::setTestHandler([&](const MessageBox::Call& call) {
            fx.messages.append(call);
            QMessageBox box(call.icon, call.title, call.text, QMessageBox::Ok, &w);
            QTimer::singleShot(0, &box, [&box] {
                if (QTest::qWaitForWindowActive(&box))
                    QTest::keyClick(&box, Qt::Key_Return);
                box.done(QMessageBox::Ok);
            });
            return QMessageBox::StandardButton(box.exec());
        });

        w.show();
        QTRY_COMPARE(fx.messages.size(), 1);
        QTRY_VERIFY(w.isActiveWindow());
        QCoreApplication::processEvents();

        QCOMPARE(w.listingRuns, 1);
        QCOMPARE(fx.messages.size(), 1);
        const QString text = fx.messages.first().text;
        QVERIFY2(text.contains("database items on server 127.0.0.1:1") && !text.contains("secret"),
                 qPrintable(text));
        QCOMPARE(fx.messages.first().icon, QMessageBox::Warning);
        QCOMPARE(w.Flex->rowCount(), 0);
        QVERIFY(w.Flex->updatesEnabled() && w.shpWait->isHidden());
        // The grid stays usable: the next refresh tries again and says so again.
        fx.refresh();
        QCOMPARE(fx.messages.size(), 2);
    }
};

QTEST_MAIN(ListingSqliteTest)
#include "tst_listing_sqlite.moc"
