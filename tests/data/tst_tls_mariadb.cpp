// The link to a MySQL server as tls= asks: against the test services' TLS
// server (certificate for "localhost" by their authority), their plaintext
// server, and a man in the middle who asks for the password in clear.

#include "TcpRelay.h"
#include "TestSupport.h"
#include "data/DataControl.h"

#include <QtTest>

namespace {
// [itemdb] of a fresh installation; `ca` is "right", "other", "missing" or
// empty; `client` "x509" (the account that needs a client certificate, without
// one), "x509 cert" (with it) or empty (the usual account).
void configure(vesktest::TestInstallation& inst, const vesktest::MariaDbServer& server,
               const QString& host, const QString& port, const QString& tls, const QString& ca,
               const QString& client = {})
{
    inst.setKey("itemdb", "server", host);
    inst.setKey("itemdb", "port", port);
    inst.setKey("itemdb", "database", "mysql");
    inst.setKey("itemdb", "user",
                client.isEmpty() ? server.user : qEnvironmentVariable("VESK_TEST_TLS_X509_USER"));
    if (client == "x509 cert") {
        inst.setKey("itemdb", "cert", qEnvironmentVariable("VESK_TEST_TLS_CLIENT_CERT"));
        inst.setKey("itemdb", "key", qEnvironmentVariable("VESK_TEST_TLS_CLIENT_KEY"));
    }
    inst.setKey("itemdb", "password", server.password);
    inst.setKey("itemdb", "tls", tls);
    if (!ca.isEmpty())
        inst.setKey("itemdb", "ca",
                    ca == "right"   ? qEnvironmentVariable("VESK_TEST_TLS_CA")
                    : ca == "other" ? qEnvironmentVariable("VESK_TEST_TLS_OTHER_CA")
                                    : inst.path("missing-ca.pem"));
    inst.setKey("timeouts", "connect", "5");
    inst.writeConnections();
}
} // namespace

class TlsTest : public QObject
{
    Q_OBJECT

    vesktest::MariaDbServer m_tls;
    vesktest::MariaDbServer m_plain;

private slots:
    void initTestCase()
    {
        VESK_VERIFY_OK(m_tls.fromEnvironment(true));
        VESK_VERIFY_OK(m_plain.fromEnvironment());
    }

    void linkIsEncryptedAndVerifiedAsConfigured_data()
    {
        QTest::addColumn<bool>("tlsServer");
        QTest::addColumn<QString>("host");
        QTest::addColumn<QString>("tls");
        QTest::addColumn<QString>("ca");
        QTest::addColumn<QString>("refusal"); // empty: the link works
        QTest::addColumn<bool>("encrypted");
        QTest::addColumn<QString>("client");
        const auto row = [](const char* tag, bool tls, const char* host, const char* mode,
                            const char* ca, const char* refusal, bool encrypted,
                            const char* client = "") {
            QTest::newRow(tag) << tls << QString(host) << QString(mode) << QString(ca)
                               << QString(refusal) << encrypted << QString(client);
        };
        row("right authority and name", true, "localhost", "verify-identity", "right", "", true);
        row("another name, authority checked", true, "127.0.0.1", "verify-ca", "right", "", true);
        row("another name, name checked", true, "127.0.0.1", "verify-identity", "right",
            "certificate of server 127.0.0.1:%1 is for another name (localhost)", false);
        row("another authority", true, "localhost", "verify-ca", "other",
            "certificate of server localhost:%1 is not signed by the authority in ", false);
        row("authority file missing", true, "localhost", "verify-ca", "missing",
            "missing-ca.pem cannot be read", false);
        row("required, nothing checked", true, "127.0.0.1", "required", "", "", true);
        row("said off", true, "localhost", "off", "", "", false);
        row("client certificate shown", true, "localhost", "verify-ca", "right", "", true,
            "x509 cert");
        row("client certificate asked for", true, "localhost", "verify-ca", "right",
            "Access denied", false, "x509");
        row("plaintext server, required", false, "127.0.0.1", "required", "",
            "server 127.0.0.1:%1 offers no TLS (tls=required in [itemdb] of ", false);
        row("plaintext server, preferred", false, "127.0.0.1", "preferred", "", "", false);
    }
    void linkIsEncryptedAndVerifiedAsConfigured()
    {
        QFETCH(bool, tlsServer);
        QFETCH(QString, host);
        QFETCH(QString, tls);
        QFETCH(QString, ca);
        QFETCH(QString, refusal);
        QFETCH(bool, encrypted);
        QFETCH(QString, client);
        const vesktest::MariaDbServer& server = tlsServer ? m_tls : m_plain;
        vesktest::TestInstallation inst;
        configure(inst, server, host, QString::number(server.port), tls, ca, client);
        const auto config = ConnectionConfig::load(inst.installation().connectionsFile());
        DataControl control("adoKBvesk2", config.remoteConnectionString("itemdb"),
                            DataControl::kQueryText, "SHOW SESSION STATUS LIKE 'Ssl_cipher'",
                            &config);
        const QString error = vesktest::errorOf([&] { control.Refresh(); });
        if (!refusal.isEmpty()) {
            VESK_VERIFY_CONTAINS(error, "adoKBvesk2",
                                 refusal.replace("%1", QString::number(server.port)));
            QVERIFY(!error.contains(server.password));
            return;
        }
        VESK_VERIFY_OK(error);
        QCOMPARE(!control.Recordset().Fields("Value").toString().isEmpty(), encrypted);
    }

    // The man in the middle takes the TLS offer out of the TLS server's greeting
    // and asks for the password in clear.
    void passwordNeverReachesAManInTheMiddle_data()
    {
        QTest::addColumn<QString>("tls");
        QTest::addColumn<QString>("refusal");
        const QString inClear = "asked for the password in clear over a link that is not verified";
        const QString noTls = "offers no TLS";
        QTest::newRow("off") << "off" << inClear;
        QTest::newRow("preferred") << "preferred" << inClear;
        QTest::newRow("required") << "required" << noTls;
        QTest::newRow("verify-ca") << "verify-ca" << noTls;
        QTest::newRow("verify-identity") << "verify-identity" << noTls;
    }
    void passwordNeverReachesAManInTheMiddle()
    {
        QFETCH(QString, tls);
        QFETCH(QString, refusal);
        const vesktest::MariaDbServer& server = m_tls;
        vesktest::TcpRelay relay("127.0.0.1", quint16(server.port));
        relay.interceptHandshakes();
        QVERIFY(relay.port() != 0);
        vesktest::TestInstallation inst;
        configure(inst, server, "localhost", QString::number(relay.port()), tls,
                  tls.startsWith("verify") ? "right" : "");
        const auto config = ConnectionConfig::load(inst.installation().connectionsFile());
        DataControl control("adoKBvesk2", config.remoteConnectionString("itemdb"),
                            DataControl::kQueryText, "SELECT 1", &config);
        VESK_VERIFY_CONTAINS(vesktest::errorOf([&] { control.Refresh(); }), refusal);
        QVERIFY(!relay.received().contains(server.password.toUtf8()));
    }
};

QTEST_GUILESS_MAIN(TlsTest)
#include "tst_tls_mariadb.moc"
