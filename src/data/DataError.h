#pragma once

#include <QString>
#include <stdexcept>

// The text of any error of this program: they all carry UTF-8 (QString::toStdString),
// so reading them as the local 8-bit code page would garble non-ASCII names.
inline QString errorText(const std::exception& error)
{
    return QString::fromUtf8(error.what());
}

// A failure the program reports to the clerk in words. Broken preconditions
// (a caller's mistake) stay std::logic_error and its kin.
class VeskError : public std::runtime_error
{
public:
    explicit VeskError(const QString& message)
        : std::runtime_error(message.toStdString()), m_message(message)
    {
    }
    QString message() const { return m_message; }

private:
    QString m_message;
};

// A database failure: no connection, a rejected statement, a time-out.
// The message names the data control and carries the server's own text,
// never a password.
class DataError : public VeskError
{
public:
    explicit DataError(const QString& message, bool connectionLost = false)
        : VeskError(message), m_connectionLost(connectionLost)
    {
    }
    // The connection broke down (or was never made), rather than the server
    // refusing the statement: what was not committed is gone with it.
    bool connectionLost() const { return m_connectionLost; }

private:
    bool m_connectionLost = false;
};

// Update() found the row changed or deleted by someone else since it was read;
// nothing was written.
class UpdateConflict : public DataError
{
public:
    using DataError::DataError;
};

// Masks every value that stands as a password in a text about to leave the data
// layer (a driver may echo its connection string): PASSWORD= and PWD= values,
// plain, {braced} or quoted, and the password of a URL's user info (user:pass@).
// Nothing else of the text changes, so a password that is also a word of the
// message ("on", "item") leaves the message intact. The known secret, when
// given, is masked whole where it stands as such a value, even if it holds a
// character that would otherwise end the value.
QString scrubSecret(const QString& text, const QString& secret = QString());
