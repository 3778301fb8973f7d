#include "ListingCases.h"

using listingcases::Engine;

// The cases whose outcome rests on the item database: the statements it
// accepts, its LIKE escaping and its value types.
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
    void typedTextListsTheRightRows_data() { listingcases::hostileCases(); }
    void typedTextListsTheRightRows()
    {
        LISTING_FIXTURE(fx, Engine::MariaDb);
        listingcases::runHostileCase(fx);
    }
};

QTEST_MAIN(ListingMariaDbTest)
#include "tst_listing_mariadb.moc"
