#pragma once

#include <QString>
#include <QtGlobal>

#include <atomic>
#include <memory>

class QThread;

namespace vesktest {

// A TCP relay on loopback between the program and a server, on a thread of
// its own. Once cut, every connection forwards at most a given number of
// further bytes from the server and then drops the program's side: a result
// cut off in transfer.
class TcpRelay
{
public:
    TcpRelay(const QString& host, quint16 port);
    ~TcpRelay();
    TcpRelay(const TcpRelay&) = delete;
    TcpRelay& operator=(const TcpRelay&) = delete;

    // The loopback port the program connects to; 0 when listening failed.
    quint16 port() const { return m_port; }
    // From now on, each connection forwards at most `bytes` more from the server.
    void cutAfter(qint64 bytes);
    // Forward everything again.
    void heal();

    struct State
    {
        std::atomic<qint64> allowance{-1}; // bytes still forwarded; -1: no limit
        std::atomic<quint64> epoch{0};     // bumped at every cut
    };

private:
    std::shared_ptr<State> m_state;
    QThread* m_thread = nullptr;
    quint16 m_port = 0;
};

} // namespace vesktest
