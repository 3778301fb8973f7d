#pragma once

#include <QHostAddress>
#include <QSemaphore>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <memory>
#include <mutex>
#include <utility>

namespace vesktest {

// A TCP relay on loopback between the program and a server, on a thread of
// its own. It can hold every chunk back a while in each direction (a slow
// uplink), counts request/response turns, cuts results off after a number of
// bytes, and drops the connection at a request holding a given text.
// Intercepting, it is a man in the middle of MySQL handshakes instead (see
// interceptHandshakes()).
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
    void setDelay(int toServerMs, int toClientMs)
    {
        m_state->delay[0] = toServerMs;
        m_state->delay[1] = toClientMs;
    }
    // Times the program spoke after the server had (or first): round trips.
    int turns() const { return m_state->turns; }
    void resetTurns() { m_state->turns = 0; }
    // The next request holding `text` drops its connection: before the server
    // gets it, or (`forwarded`) after, with the answer lost.
    void dropAtRequest(const QByteArray& text, bool forwarded)
    {
        std::lock_guard<std::mutex> lock(m_state->mutex);
        m_state->dropText = text;
        m_state->dropForwarded = forwarded;
    }

    // From now on, new connections get the server's greeting without its TLS
    // offer, and the program's handshake response is answered by the relay with
    // a request for the password in clear; whatever the program sends is kept.
    void interceptHandshakes() { m_state->intercept = true; }
    QByteArray received() const
    {
        std::lock_guard<std::mutex> lock(m_state->mutex);
        return m_state->received;
    }

private:
    struct State
    {
        std::atomic<qint64> allowance{-1};      // bytes still forwarded; -1: no limit
        std::atomic<quint64> epoch{0};          // bumped at every cut
        std::atomic<int> delay[2] = {{0}, {0}}; // ms to the server, to the program
        std::atomic<int> turns{0};
        std::mutex mutex;
        QByteArray dropText; // empty: drop nothing
        bool dropForwarded = false;
        std::atomic<bool> intercept{false};
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
            connect(m_client, &QTcpSocket::disconnected, this, [this] {
                if (!m_dropped) // a drop ends the server's side itself
                    finish();
            });
            connect(&m_server, &QTcpSocket::disconnected, this, [this] { finish(); });
            m_server.connectToHost(host, port);
        }

    private:
        // Chunks of one direction all wait as long, so their timers fire in order.
        template <class Send> void later(int direction, Send send)
        {
            QTimer::singleShot(int(m_state->delay[direction]), Qt::PreciseTimer, this, send);
        }
        void toServer()
        {
            if (m_server.state() != QAbstractSocket::ConnectedState || m_dropped)
                return;
            if (m_state->intercept)
                return intercept();
            const QByteArray data = m_client->readAll();
            if (data.isEmpty())
                return;
            m_state->turns += m_clientSpoke ? 0 : 1;
            m_clientSpoke = true;
            std::unique_lock<std::mutex> lock(m_state->mutex);
            if (!m_state->dropText.isEmpty() && data.contains(m_state->dropText)) {
                m_state->dropText.clear();
                drop(m_state->dropForwarded ? data : QByteArray());
                return;
            }
            lock.unlock();
            later(0, [this, data] {
                if (!m_dropped)
                    m_server.write(data);
            });
        }
        // Keeps what the program sends and answers its handshake response with a
        // request for the password in clear.
        void intercept()
        {
            const QByteArray data = m_client->readAll();
            std::lock_guard<std::mutex> lock(m_state->mutex);
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
            if (m_dropped) // the answer to the request the drop still sent
                return finish();
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
            m_clientSpoke = false;
            if (m_allowance >= 0) {
                data.truncate(std::min<qint64>(data.size(), m_allowance));
                m_allowance -= data.size();
            }
            later(1, [this, data, cut = m_allowance == 0] {
                if (m_dropped)
                    return;
                m_client->write(data);
                if (cut) {
                    m_client->flush();
                    m_client->abort();
                }
            });
        }
        // Both sides go at once, or, when the server is still sent the request,
        // once it has answered it: the answer is what gets lost.
        void drop(const QByteArray& lastRequest)
        {
            m_dropped = true;
            if (lastRequest.isEmpty())
                return finish();
            m_server.write(lastRequest);
            m_server.flush();
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
        bool m_clientSpoke = false;
        bool m_dropped = false; // nothing more is passed on
        bool m_greeted = false;
        bool m_answered = false;
    };

    std::shared_ptr<State> m_state = std::make_shared<State>();
    QThread m_thread;
    quint16 m_port = 0;
};

} // namespace vesktest
