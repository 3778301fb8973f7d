#include "AuctionSaverCases.h"

#include <memory>

// The shared cases through the ODBC data source: its driver's transactions and
// counts of changed rows.
class AuctionSaverOdbcTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<vesktest::TestOdbcSource> m_source;

private slots:
    void initTestCase() { VESK_REQUIRE_ODBC(); }
    void init()
    {
        m_source = std::make_unique<vesktest::TestOdbcSource>(QStringList{"item"});
        VESK_VERIFY_OK(m_source->error());
    }
    void cleanup() { m_source.reset(); }

    void savesTheGridRows_data() { savercases::addSaveCases(); }
    void savesTheGridRows()
    {
        DataControl control("adoKBvesk1", "DSN=ODBCCORVANDEL", 2, "item", nullptr);
        savercases::runSaveCase(control, m_source->db());
    }
};

QTEST_GUILESS_MAIN(AuctionSaverOdbcTest)
#include "tst_auctionsaver_odbc.moc"
