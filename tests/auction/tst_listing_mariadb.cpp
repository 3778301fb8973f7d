#include "ListingCases.h"

using listingcases::Engine;

class ListingMariaDbTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }

    void assemblesAndTranslatesStatement_data() { listingcases::statementCases(); }
    void assemblesAndTranslatesStatement()
    {
        LISTING_FIXTURE(fx, Engine::MariaDb);
        listingcases::runStatementCase(fx);
    }
    void showsEachItemInItsRow_data() { listingcases::rowCases(); }
    void showsEachItemInItsRow()
    {
        LISTING_FIXTURE(fx, Engine::MariaDb);
        listingcases::runRowCase(fx);
    }
    void listsTenRecords()
    {
        LISTING_FIXTURE(fx, Engine::MariaDb);
        listingcases::runTenRecordsCase(fx, 1.0f, {80, 133, 367, 67, 80, 80, 80});
    }
    void typedTextListsTheRightRows_data() { listingcases::hostileCases(); }
    void typedTextListsTheRightRows()
    {
        LISTING_FIXTURE(fx, Engine::MariaDb);
        listingcases::runHostileCase(fx);
    }
    void showsFoundPicturesAndBlankForUnreadable()
    {
        LISTING_FIXTURE(fx, Engine::MariaDb);
        listingcases::runPictureCase(fx);
    }
    void longListingGetsPicturesVisibleRowsFirst()
    {
        LISTING_FIXTURE(fx, Engine::MariaDb);
        listingcases::runLargeCase(fx);
    }
    void refreshDuringListingRunsOnceAfterIt()
    {
        LISTING_FIXTURE(fx, Engine::MariaDb);
        listingcases::runCoalesceCase(fx);
    }
};

QTEST_MAIN(ListingMariaDbTest)
#include "tst_listing_mariadb.moc"
