#include "EndToEndCases.h"

using endtoend::Engine;

class EndToEndSqliteTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }

    void pickedEndIsSavedAndListedAgain_data() { endtoend::pickedEndCases(); }
    void pickedEndIsSavedAndListedAgain() { endtoend::runPickedEndCase(Engine::Sqlite); }
    void listingLeavesTheEditorOnTheLastRow() { endtoend::runListingWhileOpenCase(Engine::Sqlite); }
    void concurrentChangeIsKeptAndReported() { endtoend::runConcurrentChangeCase(Engine::Sqlite); }
    void otherStoresItemIsReportedNotSaved() { endtoend::runOtherStoreCase(Engine::Sqlite); }
    void untouchedListingWritesNothing() { endtoend::runUntouchedCase(Engine::Sqlite); }
};

QTEST_MAIN(EndToEndSqliteTest)
#include "tst_endtoend_sqlite.moc"
