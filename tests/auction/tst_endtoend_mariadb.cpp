#include "EndToEndCases.h"

using endtoend::Engine;

class EndToEndMariaDbTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }

    void pickedEndIsSavedAndListedAgain_data() { endtoend::pickedEndCases(); }
    void pickedEndIsSavedAndListedAgain() { endtoend::runPickedEndCase(Engine::MariaDb); }
    void listingLeavesTheEditorOnTheLastRow()
    {
        endtoend::runListingWhileOpenCase(Engine::MariaDb);
    }
    void concurrentChangeIsKeptAndReported() { endtoend::runConcurrentChangeCase(Engine::MariaDb); }
    void otherStoresItemIsReportedNotSaved() { endtoend::runOtherStoreCase(Engine::MariaDb); }
    void untouchedListingWritesNothing() { endtoend::runUntouchedCase(Engine::MariaDb); }
};

QTEST_MAIN(EndToEndMariaDbTest)
#include "tst_endtoend_mariadb.moc"
