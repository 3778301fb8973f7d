#pragma once

#include "data/ConnectionConfig.h"

#include <QThread>
#include <memory>

// The program's side of one MySQL server connection, on a thread of its own.
//
// The MySQL driver is pointed at a loopback port of the bridge, with no TLS
// options: the driver cannot insist on TLS, check the server's name or refuse
// clear-text password plugins, so the bridge does. It reads the server's
// greeting, starts TLS with the server as the target's tls= asks (with the
// authority and name checks made by Qt's TLS), refuses clear-text password
// plugins on links that are not verified, and after authentication copies
// bytes both ways. When either side closes, so does the other, so the driver
// sees a lost connection just as when the server itself goes away.
class MySqlTlsBridge
{
public:
    explicit MySqlTlsBridge(const ConnectionConfig::Target& target);
    // Closes both sides and ends the thread.
    ~MySqlTlsBridge();
    MySqlTlsBridge(const MySqlTlsBridge&) = delete;
    MySqlTlsBridge& operator=(const MySqlTlsBridge&) = delete;

    // Reads the certificate files and listens on 127.0.0.1 for exactly one
    // connection; returns its port. Throws DataError when a file cannot be
    // used or no port can be had.
    quint16 start();
    // Why the bridge closed the link before authentication ended, in words
    // naming the server (never a password); empty when it did not. Any thread.
    QString failure() const;
    // Whether the link to the server is encrypted. Any thread.
    bool encrypted() const;

    struct Shared;

private:
    ConnectionConfig::Target m_target;
    std::shared_ptr<Shared> m_shared;
    QThread m_thread;
    QObject* m_link = nullptr; // lives on m_thread, deleted when it ends
};
