#include "TcpRelay.h"

#include <QHostAddress>
#include <QSemaphore>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>

namespace vesktest {
namespace {

// One program connection and its server connection.
class RelayPair : public QObject
{
public:
    RelayPair(QObject* parent, QTcpSocket* client, const QString& host, quint16 port,
              std::shared_ptr<TcpRelay::State> state)
        : QObject(parent), m_client(client), m_server(new QTcpSocket(this)),
          m_state(std::move(state))
    {
        m_client->setParent(this);
        m_epoch = m_state->epoch.load();
        m_allowance = m_state->allowance.load();
        connect(m_server, &QTcpSocket::connected, this, [this] { toServer(); });
        connect(m_client, &QTcpSocket::readyRead, this, [this] { toServer(); });
        connect(m_server, &QTcpSocket::readyRead, this, [this] { toClient(); });
        connect(m_client, &QTcpSocket::disconnected, this, [this] { finish(); });
        connect(m_server, &QTcpSocket::disconnected, this, [this] { finish(); });
        m_server->connectToHost(host, port);
    }

private:
    void toServer()
    {
        if (m_server->state() == QAbstractSocket::ConnectedState)
            m_server->write(m_client->readAll());
    }
    void toClient()
    {
        const quint64 epoch = m_state->epoch.load();
        if (epoch != m_epoch) { // cut since the last bytes: count from now
            m_epoch = epoch;
            m_allowance = m_state->allowance.load();
        }
        QByteArray data = m_server->readAll();
        if (m_allowance >= 0) {
            if (data.size() > m_allowance)
                data.truncate(m_allowance);
            m_allowance -= data.size();
        }
        if (!data.isEmpty())
            m_client->write(data);
        if (m_allowance == 0) {
            m_client->flush();
            m_client->abort();
        }
    }
    void finish()
    {
        m_client->abort();
        m_server->abort();
        deleteLater();
    }

    QTcpSocket* m_client;
    QTcpSocket* m_server;
    std::shared_ptr<TcpRelay::State> m_state;
    quint64 m_epoch = 0;
    qint64 m_allowance = -1;
};

} // namespace

TcpRelay::TcpRelay(const QString& host, quint16 port) : m_state(std::make_shared<State>())
{
    m_thread = new QThread;
    m_thread->start();
    QSemaphore listening;
    QTcpServer* server = new QTcpServer;
    server->moveToThread(m_thread);
    QObject::connect(m_thread, &QThread::finished, server, &QObject::deleteLater);
    const std::shared_ptr<State> state = m_state;
    QMetaObject::invokeMethod(server, [&, server, state, host, port] {
        QObject::connect(server, &QTcpServer::newConnection, server, [server, state, host, port] {
            while (QTcpSocket* client = server->nextPendingConnection())
                new RelayPair(server, client, host, port, state);
        });
        if (server->listen(QHostAddress::LocalHost))
            m_port = server->serverPort();
        listening.release();
    });
    listening.acquire();
}

TcpRelay::~TcpRelay()
{
    m_thread->quit();
    m_thread->wait();
    delete m_thread;
}

void TcpRelay::cutAfter(qint64 bytes)
{
    m_state->allowance = bytes;
    ++m_state->epoch;
}

void TcpRelay::heal()
{
    m_state->allowance = -1;
    ++m_state->epoch;
}

} // namespace vesktest
