#include "EndToEndCases.h"

using endtoend::Engine;

class EndToEndSqliteTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }
    void pickedEndIsSavedAndListedAgain_data() { endtoend::pickedEndCases(); }
    void pickedEndIsSavedAndListedAgain() { endtoend::runPickedEndCase(Engine::Sqlite); }
    void unsavableEndsAreKeptAndReportedOnce() { endtoend::runUnsavableCase(Engine::Sqlite); }
};

QTEST_MAIN(EndToEndSqliteTest)
#include "tst_endtoend_sqlite.moc"
