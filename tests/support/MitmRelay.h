#pragma once

#include <QMutex>
#include <QSemaphore>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>

#include <memory>

namespace vesktest {

// A man in the middle between the program and a MySQL server, on loopback and
// a thread of its own: it passes on the server's greeting with the TLS offer
// taken out, answers the program's handshake response itself with a request
// for the password in clear (an auth switch to mysql_clear_password), and
// records every byte the program sends it.
class MitmRelay
{
public:
    MitmRelay(const QString& host, quint16 port)
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
    ~MitmRelay()
    {
        m_thread.quit();
        m_thread.wait();
    }

    quint16 port() const { return m_port; }
    // Everything the program sent so far.
    QByteArray received() const
    {
        QMutexLocker lock(&m_state->mutex);
        return m_state->received;
    }

private:
    struct State
    {
        QMutex mutex;
        QByteArray received;
    };

    class Pair : public QObject
    {
    public:
        Pair(QObject* parent, QTcpSocket* client, const QString& host, quint16 port,
             std::shared_ptr<State> state)
            : QObject(parent), m_client(client), m_state(std::move(state))
        {
            m_client->setParent(this);
            connect(&m_server, &QTcpSocket::readyRead, this, [this] { greeting(); });
            connect(m_client, &QTcpSocket::readyRead, this, [this] { fromClient(); });
            connect(m_client, &QTcpSocket::disconnected, this, [this] { deleteLater(); });
            m_server.connectToHost(host, port);
        }

    private:
        static int packetSize(const QByteArray& data)
        {
            return data.size() < 4
                       ? -1
                       : 4 + (quint8(data[0]) | quint8(data[1]) << 8 | quint8(data[2]) << 16);
        }
        void greeting()
        {
            m_fromServer += m_server.readAll();
            const int size = packetSize(m_fromServer);
            if (size < 0 || m_fromServer.size() < size)
                return;
            // The lower capability bytes follow the version, thread id, scramble and filler.
            const int lowAt = int(m_fromServer.indexOf('\0', 5)) + 1 + 4 + 8 + 1;
            m_fromServer[lowAt + 1] = char(m_fromServer[lowAt + 1] & ~0x08); // CLIENT_SSL
            m_client->write(m_fromServer.left(size));
            m_server.abort();
        }
        void fromClient()
        {
            const QByteArray data = m_client->readAll();
            {
                QMutexLocker lock(&m_state->mutex);
                m_state->received += data;
            }
            m_fromClient += data;
            const int size = packetSize(m_fromClient);
            if (m_switched) {
                if (size >= 0 && m_fromClient.size() >= size)
                    m_client->abort(); // what the program answered is recorded
                return;
            }
            if (size < 0 || m_fromClient.size() < size)
                return;
            m_fromClient.remove(0, size);
            const QByteArray request = QByteArray("\xfe"
                                                  "mysql_clear_password",
                                                  21) +
                                       '\0' + QByteArray(20, 'x') + '\0';
            m_client->write(QByteArray(1, char(request.size())) + QByteArray(2, '\0') + '\2' +
                            request);
            m_switched = true;
        }

        QTcpSocket* m_client;
        QTcpSocket m_server{this};
        std::shared_ptr<State> m_state;
        QByteArray m_fromServer;
        QByteArray m_fromClient;
        bool m_switched = false;
    };

    std::shared_ptr<State> m_state = std::make_shared<State>();
    QThread m_thread;
    quint16 m_port = 0;
};

} // namespace vesktest
