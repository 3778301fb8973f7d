#include "data/MySqlTlsBridge.h"
#include "data/DataError.h"

#include <QFile>
#include <QMutex>
#include <QSslConfiguration>
#include <QSslKey>
#include <QSslSocket>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <utility>
#include <vector>

using Tls = ConnectionConfig::Target::Tls;

struct MySqlTlsBridge::Shared
{
    mutable QMutex mutex;
    QString failure;
    std::atomic<bool> encrypted{false};
};

namespace {
constexpr quint32 kClientCompress = 0x20;
constexpr quint32 kClientProtocol41 = 0x200;
constexpr quint32 kClientSsl = 0x800;
constexpr quint32 kClientSecureConnection = 0x8000;
constexpr quint32 kClientPluginAuth = 0x80000;
constexpr int kHeader = 4;           // 3-byte little-endian length, 1-byte sequence id
constexpr int kSslRequestSize = 32;  // capabilities, max packet, charset, 23 filler bytes
constexpr qint64 kChunk = 64 * 1024; // bytes copied at a time once authenticated

quint32 le16(const QByteArray& p, int at)
{
    return quint32(quint8(p[at])) | quint32(quint8(p[at + 1])) << 8;
}

void setLe16(QByteArray& p, int at, quint32 v)
{
    p[at] = char(v & 0xff);
    p[at + 1] = char((v >> 8) & 0xff);
}

quint32 le32(const QByteArray& p, int at)
{
    return le16(p, at) | le16(p, at + 2) << 16;
}

// Takes one whole packet off the front of `buffer`; false while it is incomplete.
bool takePacket(QByteArray& buffer, QByteArray* payload, quint8* seq)
{
    if (buffer.size() < kHeader)
        return false;
    const int length = int(le16(buffer, 0) | quint32(quint8(buffer[2])) << 16);
    if (buffer.size() < kHeader + length)
        return false;
    *seq = quint8(buffer[3]);
    *payload = buffer.mid(kHeader, length);
    buffer.remove(0, kHeader + length);
    return true;
}

QByteArray packet(const QByteArray& payload, quint8 seq)
{
    QByteArray out(kHeader, '\0');
    setLe16(out, 0, quint32(payload.size()) & 0xffff);
    out[2] = char((payload.size() >> 16) & 0xff);
    out[3] = char(seq);
    return out + payload;
}

// What the bridge needs of the server's greeting (protocol 10).
struct Greeting
{
    bool valid = false;
    quint32 caps = 0;
    int lowAt = -1; // offsets of the lower and upper capability bytes
    int highAt = -1;
    QByteArray plugin; // the default authentication plugin
};

Greeting parseGreeting(const QByteArray& p)
{
    Greeting g;
    const int nul = p.isEmpty() || p[0] != 10 ? -1 : int(p.indexOf('\0', 1));
    if (nul < 0 || p.size() < nul + 1 + 4 + 8 + 1 + 2)
        return g;
    g.lowAt = nul + 1 + 4 + 8 + 1; // after the version, thread id, scramble and filler
    g.caps = le16(p, g.lowAt);
    g.valid = true;
    const int charsetAt = g.lowAt + 2;
    if (p.size() < charsetAt + 1 + 2 + 2 + 1 + 10)
        return g;
    g.highAt = charsetAt + 3;
    g.caps |= le16(p, g.highAt) << 16;
    const int authLength = quint8(p[g.highAt + 2]);
    int at = g.highAt + 2 + 1 + 10;
    if (g.caps & kClientSecureConnection)
        at += std::max(13, authLength - 8);
    if ((g.caps & kClientPluginAuth) && at < p.size()) {
        const int end = int(p.indexOf('\0', at));
        g.plugin = p.mid(at, end < 0 ? -1 : end - at);
    }
    return g;
}

bool isClearText(const QByteArray& plugin)
{
    return plugin == "mysql_clear_password" || plugin == "dialog";
}

QByteArray readFile(const QString& path, const char* what)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw DataError(QStringLiteral("%1 file %2 cannot be read: %3")
                            .arg(QLatin1String(what), path, file.errorString()));
    return file.readAll();
}

QSslKey readKey(const QString& path)
{
    const QByteArray pem = readFile(path, "key");
    for (const QSsl::KeyAlgorithm algorithm : {QSsl::Rsa, QSsl::Ec, QSsl::Dsa}) {
        const QSslKey key(pem, algorithm);
        if (!key.isNull())
            return key;
    }
    throw DataError(
        QStringLiteral("key file %1 holds no PEM private key without a pass phrase").arg(path));
}

QList<QSslCertificate> readCertificates(const QString& path)
{
    const QList<QSslCertificate> certificates =
        QSslCertificate::fromData(readFile(path, "certificate"), QSsl::Pem);
    if (certificates.isEmpty())
        throw DataError(QStringLiteral("certificate file %1 holds no PEM certificate").arg(path));
    return certificates;
}

// The TLS settings of the upstream link; reading the files here reports them at once.
QSslConfiguration tlsConfiguration(const ConnectionConfig::Target& t)
{
    QSslConfiguration c = QSslConfiguration::defaultConfiguration();
    if (!t.tlsCa.isEmpty())
        c.setCaCertificates(readCertificates(t.tlsCa)); // these only, not the system's store
    if (!t.tlsCert.isEmpty()) {
        c.setLocalCertificateChain(readCertificates(t.tlsCert));
        c.setPrivateKey(readKey(t.tlsKey));
    }
    c.setPeerVerifyMode(t.tls >= Tls::VerifyCa ? QSslSocket::VerifyPeer : QSslSocket::QueryPeer);
    return c;
}

// One program connection and its server connection; lives on the bridge's thread.
class Link : public QObject
{
public:
    Link(ConnectionConfig::Target target, QSslConfiguration tls,
         std::shared_ptr<MySqlTlsBridge::Shared> shared)
        : m_target(std::move(target)), m_tlsConfig(std::move(tls)), m_shared(std::move(shared)),
          m_chunk(size_t(kChunk))
    {
        connect(&m_listener, &QTcpServer::newConnection, this, &Link::accept);
        // Small requests and answers go out at once, not held back to be joined.
        connect(&m_server, &QSslSocket::connected, this,
                [this] { m_server.setSocketOption(QAbstractSocket::LowDelayOption, 1); });
        connect(&m_server, &QSslSocket::readyRead, this, &Link::fromServer);
        connect(&m_server, &QSslSocket::encrypted, this, &Link::onEncrypted);
        connect(&m_server, &QSslSocket::sslErrors, this, &Link::onSslErrors);
        connect(&m_server, &QSslSocket::errorOccurred, this, &Link::onServerGone);
        connect(&m_server, &QSslSocket::disconnected, this, &Link::onServerGone);
        m_timer.setSingleShot(true);
        connect(&m_timer, &QTimer::timeout, this, [this] {
            fail(QStringLiteral("server %1 did not answer within %2 s")
                     .arg(server())
                     .arg(m_target.connectTimeout));
        });
    }

    quint16 listen()
    {
        m_listener.setMaxPendingConnections(1);
        return m_listener.listen(QHostAddress::LocalHost) ? m_listener.serverPort() : 0;
    }

    // The bridge is being closed: what the program sent last (its QUIT) still
    // reaches the server, which then ends the session as a normal one.
    void finish()
    {
        if (m_phase == Phase::Relay) {
            m_client->waitForReadyRead(0);
            copy(*m_client, m_server);
        }
        if (m_phase != Phase::Closed)
            m_server.disconnectFromHost();
        m_phase = Phase::Closed;
    }

private:
    enum class Phase
    {
        Waiting,  // for the program, then for the server's greeting
        Response, // for the program's handshake response
        Tls,      // for the TLS handshake with the server
        Auth,     // until the server says OK or ERR
        Relay,
        Closed
    };

    QString server() const { return QStringLiteral("%1:%2").arg(m_target.host).arg(m_target.port); }
    bool verified() const { return m_tls && m_target.tls >= Tls::VerifyCa; }

    void accept()
    {
        m_client = m_listener.nextPendingConnection();
        m_listener.close(); // one connection only
        if (!m_client)
            return;
        m_client->setParent(this);
        m_client->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        connect(m_client, &QTcpSocket::readyRead, this, &Link::fromClient);
        connect(m_client, &QTcpSocket::disconnected, this, &Link::onClientGone);
        m_timer.start(m_target.connectTimeout * 1000);
        m_server.connectToHost(m_target.host, quint16(m_target.port));
    }

    void fromServer()
    {
        if (m_phase == Phase::Relay)
            return copy(m_server, *m_client);
        m_fromServer += m_server.readAll();
        QByteArray payload;
        quint8 seq = 0;
        while (m_phase != Phase::Relay && m_phase != Phase::Closed &&
               takePacket(m_fromServer, &payload, &seq)) {
            if (m_phase == Phase::Waiting)
                onGreeting(payload);
            else if (m_phase == Phase::Auth)
                onServerAuth(payload, seq);
            else
                return fail(QStringLiteral("server %1 spoke out of turn during the handshake")
                                .arg(server()));
        }
        if (m_phase == Phase::Relay)
            flushBuffers();
    }

    void fromClient()
    {
        if (m_phase == Phase::Relay)
            return copy(*m_client, m_server);
        m_fromClient += m_client->readAll();
        QByteArray payload;
        quint8 seq = 0;
        while ((m_phase == Phase::Response || m_phase == Phase::Auth) &&
               takePacket(m_fromClient, &payload, &seq)) {
            if (m_phase == Phase::Response)
                onClientResponse(payload);
            else
                m_server.write(packet(payload, quint8(seq + (m_tls ? 1 : 0))));
        }
    }

    void onGreeting(QByteArray greeting)
    {
        m_timer.stop();
        const Greeting g = parseGreeting(greeting);
        if (!g.valid) { // an error packet (too many connections, ...) or another protocol
            m_client->write(packet(greeting, 0));
            return startRelay();
        }
        const bool offered = g.caps & kClientSsl;
        if (!offered && m_target.tls >= Tls::Required)
            return fail(
                QStringLiteral("server %1 offers no TLS (%2)").arg(server(), m_target.tlsOrigin));
        m_tls = offered && m_target.tls != Tls::Off;
        if (isClearText(g.plugin) && !verified())
            return refuseClearText();
        setLe16(greeting, g.lowAt, (g.caps & 0xffff) & ~(kClientSsl | kClientCompress));
        m_client->write(packet(greeting, 0));
        m_phase = Phase::Response;
        fromClient(); // a response already buffered
    }

    void onClientResponse(const QByteArray& response)
    {
        const quint32 caps = response.size() >= kSslRequestSize ? le32(response, 0) : 0;
        if (!(caps & kClientProtocol41) || (caps & kClientSsl))
            return fail(QStringLiteral("the database driver answered server %1 in a form the "
                                       "program does not know")
                            .arg(server()));
        if (!m_tls) {
            m_server.write(packet(response, 1));
            m_phase = Phase::Auth;
            return;
        }
        m_response = response;
        setLe16(m_response, 0, (caps | kClientSsl) & 0xffff);
        m_server.write(packet(m_response.left(kSslRequestSize), 1));
        m_phase = Phase::Tls;
        m_server.setSslConfiguration(m_tlsConfig);
        m_server.setPeerVerifyName(m_target.host);
        m_server.startClientEncryption();
    }

    void onEncrypted()
    {
        m_shared->encrypted = true;
        m_server.write(packet(m_response, 2));
        m_response.clear();
        m_phase = Phase::Auth;
        fromClient();
    }

    void onSslErrors(const QList<QSslError>& errors)
    {
        for (const QSslError& e : errors) {
            const bool nameOnly = e.error() == QSslError::HostNameMismatch;
            if (m_target.tls == Tls::VerifyIdentity || (m_target.tls == Tls::VerifyCa && !nameOnly))
                return fail(describe(e));
        }
        m_server.ignoreSslErrors(errors);
    }

    QString describe(const QSslError& e) const
    {
        switch (e.error()) {
        case QSslError::HostNameMismatch: {
            QStringList names = e.certificate().subjectInfo(QSslCertificate::CommonName);
            for (const QString& n : e.certificate().subjectAlternativeNames().values())
                if (!names.contains(n))
                    names << n;
            return QStringLiteral("the certificate of server %1 is for another name (%2)")
                .arg(server(), names.join(QStringLiteral(", ")));
        }
        case QSslError::UnableToGetIssuerCertificate:
        case QSslError::UnableToGetLocalIssuerCertificate:
        case QSslError::UnableToVerifyFirstCertificate:
        case QSslError::SelfSignedCertificate:
        case QSslError::SelfSignedCertificateInChain:
        case QSslError::CertificateUntrusted:
        case QSslError::CertificateSignatureFailed:
        case QSslError::InvalidCaCertificate:
            return QStringLiteral(
                       "the certificate of server %1 is not signed by the authority in %2")
                .arg(server(), m_target.tlsCa);
        default:
            return QStringLiteral("the certificate of server %1 is refused: %2")
                .arg(server(), e.errorString());
        }
    }

    void onServerAuth(const QByteArray& payload, quint8 seq)
    {
        const char first = payload.isEmpty() ? '\0' : payload[0];
        if (first == char(0xfe)) { // auth switch request: plugin name, then its data
            const int end = int(payload.indexOf('\0', 1));
            if (isClearText(payload.mid(1, end < 0 ? -1 : end - 1)) && !verified())
                return refuseClearText();
        }
        m_client->write(packet(payload, quint8(seq - (m_tls ? 1 : 0))));
        if (first == 0x00 || first == char(0xff))
            startRelay();
    }

    void refuseClearText()
    {
        fail(QStringLiteral("server %1 asked for the password in clear over a link that is not "
                            "verified; refused (%2)")
                 .arg(server(), m_target.tlsOrigin));
    }

    void startRelay()
    {
        m_phase = Phase::Relay;
        flushBuffers();
    }

    void flushBuffers()
    {
        m_client->write(std::exchange(m_fromServer, {}));
        m_server.write(std::exchange(m_fromClient, {}));
        copy(m_server, *m_client);
        copy(*m_client, m_server);
    }

    void copy(QAbstractSocket& from, QAbstractSocket& to)
    {
        qint64 n = 0;
        while ((n = from.read(m_chunk.data(), kChunk)) > 0)
            to.write(m_chunk.data(), n);
        to.flush(); // now rather than on the next turn of the event loop
    }

    // Before the greeting or during TLS the driver would only see a lost
    // connection: the bridge says what happened.
    void onServerGone()
    {
        if (m_phase == Phase::Waiting || m_phase == Phase::Tls) {
            const QString step = m_phase == Phase::Tls ? QStringLiteral("TLS with server %1 failed")
                                                       : QStringLiteral("cannot reach server %1");
            return fail(step.arg(server()) + QStringLiteral(": ") + m_server.errorString());
        }
        closeAfterServer();
    }

    // The server's last words still reach the program (an error packet, say).
    void closeAfterServer()
    {
        if (m_phase == Phase::Closed)
            return;
        if (m_phase == Phase::Relay)
            copy(m_server, *m_client);
        m_phase = Phase::Closed;
        if (m_client)
            m_client->disconnectFromHost();
        m_server.abort();
    }

    void onClientGone()
    {
        if (m_phase == Phase::Closed)
            return;
        m_phase = Phase::Closed;
        m_server.disconnectFromHost();
    }

    void fail(const QString& why)
    {
        if (m_phase == Phase::Closed)
            return;
        {
            QMutexLocker lock(&m_shared->mutex);
            if (m_shared->failure.isEmpty())
                m_shared->failure = why;
        }
        m_phase = Phase::Closed;
        m_timer.stop();
        if (m_client)
            m_client->abort();
        m_server.abort();
    }

    ConnectionConfig::Target m_target;
    QSslConfiguration m_tlsConfig;
    std::shared_ptr<MySqlTlsBridge::Shared> m_shared;
    QTcpServer m_listener{this};
    QSslSocket m_server{this};
    QTimer m_timer{this};
    QTcpSocket* m_client = nullptr; // a child of this once accepted
    Phase m_phase = Phase::Waiting;
    bool m_tls = false; // TLS inserted between the program and the server
    QByteArray m_fromServer;
    QByteArray m_fromClient;
    QByteArray m_response; // the program's handshake response, while TLS starts
    std::vector<char> m_chunk;
};
} // namespace

MySqlTlsBridge::MySqlTlsBridge(const ConnectionConfig::Target& target)
    : m_target(target), m_shared(std::make_shared<Shared>())
{
}

MySqlTlsBridge::~MySqlTlsBridge()
{
    if (auto* link = static_cast<Link*>(m_link))
        QMetaObject::invokeMethod(
            link, [link] { link->finish(); }, Qt::BlockingQueuedConnection);
    m_thread.quit();
    m_thread.wait();
}

quint16 MySqlTlsBridge::start()
{
    QSslConfiguration tls = tlsConfiguration(m_target);
    if (m_target.tls != Tls::Off && !QSslSocket::supportsSsl())
        throw DataError(
            QStringLiteral("this computer offers the program no TLS (%1)").arg(m_target.tlsOrigin));
    auto* link = new Link(m_target, std::move(tls), m_shared);
    link->moveToThread(&m_thread);
    QObject::connect(&m_thread, &QThread::finished, link, &QObject::deleteLater);
    m_thread.start();
    m_link = link;
    quint16 port = 0;
    QMetaObject::invokeMethod(
        link, [&port, link] { port = link->listen(); }, Qt::BlockingQueuedConnection);
    if (port == 0)
        throw DataError(QStringLiteral("no loopback port is free for the link to server %1:%2")
                            .arg(m_target.host)
                            .arg(m_target.port));
    return port;
}

QString MySqlTlsBridge::failure() const
{
    QMutexLocker lock(&m_shared->mutex);
    return m_shared->failure;
}

bool MySqlTlsBridge::encrypted() const
{
    return m_shared->encrypted;
}
