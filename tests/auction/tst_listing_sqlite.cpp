#include "ListingCases.h"

#include <QMessageBox>

using listingcases::Engine;

namespace {
bool near(const QColor& a, const QColor& b)
{
    return qAbs(a.red() - b.red()) + qAbs(a.green() - b.green()) + qAbs(a.blue() - b.blue()) < 24;
}
QColor middle(const QImage& image)
{
    return image.pixelColor(image.width() / 2, image.height() / 2);
}
} // namespace

// The shared cases, and those that do not depend on the item database's engine.
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
        for (int i = 1; i <= 10; ++i)
            VESK_VERIFY_OK(fx.addItem(i, QStringLiteral("R-%1").arg(i), i, 1700000000 + i));
        frmVESKauction& w = fx.window();
        w.ScreenMultiplier = multiplier;
        bool framed = false;
        connect(&fx.listing(), &ItemListing::statementAssembled, this,
                [&] { framed = !w.shpWait->isHidden(); });

        fx.refresh();

        QVERIFY(framed && w.shpWait->isHidden());
        QCOMPARE(w.Flex->rowCount(), 10);
        QCOMPARE(w.Bar->value(), 10);
        QCOMPARE(w.Bar->maximum(), 11);
        QCOMPARE(fx.column(3), QStringList(10, QString()));
        QList<int> actual;
        for (int column : {0, 1, 2, 4, 5, 6, 7})
            actual << w.Flex->columnWidth(column);
        QCOMPARE(actual, widths);
        QCOMPARE(w.Flex->rowHeight(9), 67);
        QCOMPARE(w.Flex->item(0, 0)->font().pointSizeF(), 6.0);
        QCOMPARE(w.Flex->item(0, 0)->textAlignment(), int(Qt::AlignHCenter | Qt::AlignBottom));
        // The editor works on the row the listing left current.
        QCOMPARE(w.Flex->currentRow(), 9);
        QCOMPARE(w.Flex->currentColumn(), 7);
    }
    void typedTextListsTheRightRows_data() { listingcases::hostileCases(); }
    void typedTextListsTheRightRows()
    {
        LISTING_FIXTURE(fx, Engine::Sqlite);
        listingcases::runHostileCase(fx);
    }

    // A long listing gets its pictures after its texts; a short one started
    // meanwhile gets its own at once: none for 141, a blank for the unreadable 142.
    void showsEachItemsPictureAndNoneOfAnEarlierListing()
    {
        LISTING_FIXTURE(fx, Engine::Sqlite);
        const auto colour = [](int id) { return QColor::fromHsv(id * 7 % 360, 200, 200); };
        for (int id = 1; id <= 150; ++id) {
            VESK_VERIFY_OK(fx.addItem(id, QStringLiteral("L-%1").arg(id), id, 0));
            if (id != 141)
                VESK_VERIFY_OK(fx.addPicture(id, QStringLiteral("p%1.png").arg(id),
                                             id == 142 ? QColor() : colour(id)));
        }
        frmVESKauction& w = fx.window();
        w.chkLimit->setChecked(false);
        fx.refresh();
        QCOMPARE(w.Flex->rowCount(), 150);
        QVERIFY(fx.listing().picturesPending() > 0);

        QTest::keyClicks(w.txtSearch, QStringLiteral("L-14"));
        w.chkLimit->setChecked(true);
        fx.refresh();
        QCOMPARE(fx.listing().picturesPending(), 0);
        fx.helper->pictures().pipeline().waitForIdle();
        QCoreApplication::processEvents(); // no late picture of the long listing lands here
        QCOMPARE(w.Flex->rowCount(), 11);  // L-14, L-140 to L-149
        for (int row = 0; row < 11; ++row) {
            const int id = fx.text(row, 0).toInt();
            const QImage picture = fx.picture(row);
            if (id == 141) {
                QVERIFY(picture.isNull());
            } else if (id == 142) {
                const QColor background = fx.helper->pictures().pipeline().settings().background;
                QCOMPARE(picture.pixelColor(0, 0), background);
            } else {
                QCOMPARE(picture.size(), QSize(87, 65)); // 1300 twips wide, at the top left
                QVERIFY(near(middle(picture), colour(id)));
            }
        }
    }

    void refreshDuringListingRunsOnceAfterIt()
    {
        LISTING_FIXTURE(fx, Engine::Sqlite);
        VESK_VERIFY_OK(fx.addItem(1, "C-1", 1, 0));
        frmVESKauction& w = fx.window();
        QStringList events;
        connect(&fx.listing(), &ItemListing::statementAssembled, this, [&] { events << "start"; });
        connect(&fx.listing(), &ItemListing::listed, this, [&] { events << "end"; });
        // Two clicks that arrive while the listing lets events through.
        QTimer::singleShot(0, w.Command2, [&] {
            QTest::mouseClick(w.Command2, Qt::LeftButton);
            QTest::mouseClick(w.Command2, Qt::LeftButton);
        });

        fx.refresh();

        QCOMPARE(events, (QStringList{"start", "end", "start", "end"}));
        QCOMPARE(w.listingRuns, 3);
        QCOMPARE(w.Flex->rowCount(), 1);
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
        w.activateWindow(); // focus back from the box, without waiting for a timer
        QVERIFY(QTest::qWaitForWindowActive(&w));
        QCoreApplication::processEvents();

        QCOMPARE(w.listingRuns, 1);
        QCOMPARE(fx.messages.size(), 1);
        const QString text = fx.messages.first().text;
        QVERIFY2(text.contains("database items on server 127.0.0.1:1") && !text.contains("secret"),
                 qPrintable(text));
        QCOMPARE(fx.messages.first().icon, QMessageBox::Warning);
        QCOMPARE(w.Flex->rowCount(), 0);
        QVERIFY(w.Flex->updatesEnabled() && w.shpWait->isHidden());
        fx.refresh(); // the grid stays usable and the next refresh tries again
        QCOMPARE(fx.messages.size(), 2);
    }
};

QTEST_MAIN(ListingSqliteTest)
#include "tst_listing_sqlite.moc"
