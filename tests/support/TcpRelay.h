#pragma once

#include <QHostAddress>
#include <QMutex>
#include <QSemaphore>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>

#include <algorithm>
#include <atomic>
#include <memory>
#include <utility>

namespace vesktest {

// A TCP relay on loopback between the program and a server, on a thread of
// its own. Once cut, every connection forwards at most a given number of
// further bytes from the server and then drops the program's side: a result
// cut off in transfer. Intercepting, it is a man in the middle of MySQL
// handshakes instead (see interceptHandshakes()).
class TcpRelay
{
public:
    TcpRelay(const QString& host, quint16 port)
    {
        m_thread.start();
        QSemaphore listening;
        auto* server = new QTcpServer;
        server->moveToThread(&m_thread);
        QObject::connect(&m_thread, &QThread::finished, server, &QObject::deleteLater);
        QMetaObject::invokeMethod(server, [&, server, state = m_state, host, port] {
            QObject::connect(server, &QTcpServer::newConnection, server, [=] {
                while (QTcpSocket* client = server->nextPendingConnection())
                    new Pair(server, client, host, port, state);
            });
            if (server->listen(QHostAddress::LocalHost))
                m_port = server->serverPort();
            listening.release();
        });
        listening.acquire();
    }
    ~TcpRelay()
    {
        m_thread.quit();
        m_thread.wait();
    }

    // The loopback port the program connects to; 0 when listening failed.
    quint16 port() const { return m_port; }
    // From now on, each connection forwards at most `bytes` more from the server;
    // -1: everything again.
    void cutAfter(qint64 bytes)
    {
        m_state->allowance = bytes;
        ++m_state->epoch;
    }
    void heal() { cutAfter(-1); }
    // From now on, new connections get the server's greeting without its TLS
    // offer, and the program's handshake response is answered by the relay with
    // a request for the password in clear; whatever the program sends is kept.
    void interceptHandshakes() { m_state->intercept = true; }
    QByteArray received() const
    {
        QMutexLocker lock(&m_state->mutex);
        return m_state->received;
    }

private:
    struct State
    {
        std::atomic<qint64> allowance{-1}; // bytes still forwarded; -1: no limit
        std::atomic<quint64> epoch{0};     // bumped at every cut
        std::atomic<bool> intercept{false};
        QMutex mutex;
        QByteArray received; // from the program, while intercepting
    };

    // One program connection and its server connection.
    class Pair : public QObject
    {
    public:
        Pair(QObject* parent, QTcpSocket* client, const QString& host, quint16 port,
             std::shared_ptr<State> state)
            : QObject(parent), m_client(client), m_state(std::move(state))
        {
            m_client->setParent(this);
            connect(&m_server, &QTcpSocket::connected, this, [this] { toServer(); });
            connect(m_client, &QTcpSocket::readyRead, this, [this] { toServer(); });
            connect(&m_server, &QTcpSocket::readyRead, this, [this] { toClient(); });
            connect(m_client, &QTcpSocket::disconnected, this, [this] { finish(); });
            connect(&m_server, &QTcpSocket::disconnected, this, [this] { finish(); });
            m_server.connectToHost(host, port);
        }

    private:
        void toServer()
        {
            if (m_server.state() != QAbstractSocket::ConnectedState)
                return;
            if (!m_state->intercept)
                return (void)m_server.write(m_client->readAll());
            const QByteArray data = m_client->readAll();
            QMutexLocker lock(&m_state->mutex);
            m_state->received += data;
            if (data.isEmpty())
                return;
            if (std::exchange(m_answered, true)) // the answer to the request is kept
                return m_client->abort();
            const QByteArray request("\x2b\0\0\x02\xfemysql_clear_password", 25);
            m_client->write(request + '\0' + QByteArray(20, 'x') + '\0');
        }
        void toClient()
        {
            if (m_state->intercept) { // the greeting only, CLIENT_SSL taken out
                QByteArray data = m_server.readAll();
                const int lowAt = int(data.indexOf('\0', 5)) + 1 + 4 + 8 + 1;
                if (std::exchange(m_greeted, true) || lowAt >= data.size() - 1)
                    return;
                data[lowAt + 1] = char(data[lowAt + 1] & ~0x08);
                return (void)m_client->write(data);
            }
            if (m_state->epoch != m_epoch) { // cut since the last bytes: count from now
                m_epoch = m_state->epoch;
                m_allowance = m_state->allowance;
            }
            QByteArray data = m_server.readAll();
            if (m_allowance >= 0) {
                data.truncate(std::min<qint64>(data.size(), m_allowance));
                m_allowance -= data.size();
            }
            m_client->write(data);
            if (m_allowance == 0) {
                m_client->flush();
                m_client->abort();
            }
        }
        void finish()
        {
            m_client->abort();
            m_server.abort();
            deleteLater();
        }

        QTcpSocket* m_client;
        QTcpSocket m_server{this};
        std::shared_ptr<State> m_state;
        quint64 m_epoch = 0;
        qint64 m_allowance = -1;
        bool m_greeted = false;
        bool m_answered = false;
    };

    std::shared_ptr<State> m_state = std::make_shared<State>();
    QThread m_thread;
    quint16 m_port = 0;
};

} // namespace vesktest
