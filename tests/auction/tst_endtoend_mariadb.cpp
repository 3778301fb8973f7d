#include "EndToEndCases.h"

using endtoend::Engine;

class EndToEndMariaDbTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }
    void pickedEndIsSavedAndListedAgain_data() { endtoend::pickedEndCases(); }
    void pickedEndIsSavedAndListedAgain() { endtoend::runPickedEndCase(Engine::MariaDb); }
    void unsavableEndsAreKeptAndReportedOnce() { endtoend::runUnsavableCase(Engine::MariaDb); }
};

QTEST_MAIN(EndToEndMariaDbTest)
#include "tst_endtoend_mariadb.moc"
