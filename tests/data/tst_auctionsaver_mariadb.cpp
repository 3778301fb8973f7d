#include "AuctionSaverCases.h"

#include <memory>

// The shared cases on a server whose collation compares store ids without case.
class AuctionSaverMariaDbTest : public QObject
{
    Q_OBJECT

    vesktest::MariaDbServer m_server;
    std::unique_ptr<vesktest::TestMariaDb> m_db;

private slots:
    void initTestCase() { VESK_REQUIRE_MARIADB(m_server); }
    void init()
    {
        m_db = std::make_unique<vesktest::TestMariaDb>(m_server);
        VESK_VERIFY_OK(m_db->error());
        VESK_VERIFY_OK(m_db->loadSchema("item"));
    }
    void cleanup() { m_db.reset(); }

    void savesTheGridRows_data() { savercases::addSaveCases(); }
    void savesTheGridRows()
    {
        DataControl control("adoKBvesk1", m_db->connectionString(), 2, "item", nullptr);
        savercases::runSaveCase(control, m_db->db());
    }
};

QTEST_GUILESS_MAIN(AuctionSaverMariaDbTest)
#include "tst_auctionsaver_mariadb.moc"
