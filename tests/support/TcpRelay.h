#pragma once

#include <QHostAddress>
#include <QSemaphore>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>

#include <algorithm>
#include <atomic>
#include <memory>

namespace vesktest {

// A TCP relay on loopback between the program and a server, on a thread of
// its own. Once cut, every connection forwards at most a given number of
// further bytes from the server and then drops the program's side: a result
// cut off in transfer.
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

private:
    struct State
    {
        std::atomic<qint64> allowance{-1}; // bytes still forwarded; -1: no limit
        std::atomic<quint64> epoch{0};     // bumped at every cut
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
            if (m_server.state() == QAbstractSocket::ConnectedState)
                m_server.write(m_client->readAll());
        }
        void toClient()
        {
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
    };

    std::shared_ptr<State> m_state = std::make_shared<State>();
    QThread m_thread;
    quint16 m_port = 0;
};

} // namespace vesktest
