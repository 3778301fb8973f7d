#pragma once

#include <QHostAddress>
#include <QSemaphore>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <deque>
#include <memory>
#include <mutex>

namespace vesktest {

// A TCP relay on loopback between the program and a server, on a thread of
// its own. It can hold every chunk back for a while in each direction (a slow
// uplink), count the request/response turns, cut results off after a number
// of bytes, and drop the connection at a request that holds a given text.
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
    // Each chunk waits this long before it is passed on, in each direction.
    void setDelay(int toServerMs, int toClientMs)
    {
        m_state->delayToServer = toServerMs;
        m_state->delayToClient = toClientMs;
    }
    // Times the program spoke after the server had (or first): round trips.
    int turns() const { return m_state->turns; }
    void resetTurns() { m_state->turns = 0; }
    // The next request holding `text` drops that connection: before the
    // server gets it, or (`forwarded`) after, with its answer lost.
    void dropAtRequest(const QByteArray& text, bool forwarded)
    {
        std::lock_guard<std::mutex> lock(m_state->mutex);
        m_state->dropText = text;
        m_state->dropForwarded = forwarded;
    }

private:
    struct State
    {
        std::atomic<qint64> allowance{-1}; // bytes still forwarded; -1: no limit
        std::atomic<quint64> epoch{0};     // bumped at every cut
        std::atomic<int> delayToServer{0};
        std::atomic<int> delayToClient{0};
        std::atomic<int> turns{0};
        std::mutex mutex;
        QByteArray dropText; // empty: drop nothing
        bool dropForwarded = false;

        // Whether a request holding the text came: then it is forgotten.
        bool takeDrop(const QByteArray& data, bool* forwarded)
        {
            std::lock_guard<std::mutex> lock(mutex);
            if (dropText.isEmpty() || !data.contains(dropText))
                return false;
            dropText.clear();
            *forwarded = dropForwarded;
            return true;
        }
    };

    // Chunks held back until their time, passed on in order.
    class Delayed
    {
    public:
        template <class Send> void push(QObject* context, QByteArray data, int delayMs, Send send)
        {
            if (delayMs <= 0 && m_queue.empty()) {
                send(data);
                return;
            }
            // One timer per chunk, all of the same delay: they fire in order.
            m_queue.push_back(std::move(data));
            QTimer::singleShot(std::max(0, delayMs), Qt::PreciseTimer, context, [this, send] {
                send(m_queue.front());
                m_queue.pop_front();
            });
        }

    private:
        std::deque<QByteArray> m_queue;
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
                if (!m_deaf) // drop() ends the server's side itself
                    finish();
            });
            connect(&m_server, &QTcpSocket::disconnected, this, [this] { finish(); });
            m_server.connectToHost(host, port);
        }

    private:
        void toServer()
        {
            if (m_server.state() != QAbstractSocket::ConnectedState || m_deaf)
                return;
            const QByteArray data = m_client->readAll();
            if (data.isEmpty())
                return;
            if (!m_clientSpoke)
                ++m_state->turns;
            m_clientSpoke = true;
            bool forwarded = false;
            if (m_state->takeDrop(data, &forwarded)) {
                drop(forwarded ? data : QByteArray());
                return;
            }
            m_up.push(this, data, m_state->delayToServer, [this](const QByteArray& d) {
                if (!m_deaf)
                    m_server.write(d);
            });
        }
        void toClient()
        {
            if (m_state->epoch != m_epoch) { // cut since the last bytes: count from now
                m_epoch = m_state->epoch;
                m_allowance = m_state->allowance;
            }
            QByteArray data = m_server.readAll();
            if (m_deaf)
                return;
            m_clientSpoke = false;
            if (m_allowance >= 0) {
                data.truncate(std::min<qint64>(data.size(), m_allowance));
                m_allowance -= data.size();
            }
            const bool cut = m_allowance == 0;
            m_down.push(this, data, m_state->delayToClient, [this, cut](const QByteArray& d) {
                if (m_deaf)
                    return;
                m_client->write(d);
                if (cut) {
                    m_client->flush();
                    m_client->abort();
                }
            });
        }
        // The program's side goes at once; the server's after it had time
        // to act on what it was sent last.
        void drop(const QByteArray& lastRequest)
        {
            m_deaf = true;
            if (!lastRequest.isEmpty()) {
                m_server.write(lastRequest);
                m_server.flush();
            }
            m_client->abort();
            QTimer::singleShot(lastRequest.isEmpty() ? 0 : 500, this, [this] { finish(); });
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
        Delayed m_up;
        Delayed m_down;
        quint64 m_epoch = 0;
        qint64 m_allowance = -1;
        bool m_clientSpoke = false;
        bool m_deaf = false; // dropped: nothing more is passed on
    };

    std::shared_ptr<State> m_state = std::make_shared<State>();
    QThread m_thread;
    quint16 m_port = 0;
};

} // namespace vesktest
