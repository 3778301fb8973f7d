#pragma once

// What the libFuzzer targets share: turning the input into the program's types,
// the application object, a scratch folder and the property check.

#include <QByteArray>
#include <QCoreApplication>
#include <QFile>
#include <QSqlDatabase>
#include <QString>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace veskfuzz {

inline QByteArray bytes(const uint8_t* data, size_t size)
{
    return QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
}

// Any bytes give a text: invalid UTF-8 becomes U+FFFD.
inline QString text(const uint8_t* data, size_t size)
{
    return QString::fromUtf8(bytes(data, size));
}

// A broken property is a crash: libFuzzer keeps the input that broke it.
inline void check(bool holds, const char* property)
{
    if (!holds) {
        std::fprintf(stderr, "property broken: %s\n", property);
        std::abort();
    }
}

// Database drivers, picture decoders and thread pools expect one. Warnings
// about broken input (a decoder's complaints) would flood the log; only a
// fatal message still ends the run.
inline void startApplication()
{
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& message) {
        check(type != QtFatalMsg, qPrintable(message));
    });
    static int argc = 1;
    static char name[] = "vesk_fuzz";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    // Qt's connection registry is made now, so it outlives the targets' static
    // data controls at the end of the run.
    QSqlDatabase::contains(QString());
}

// A folder for the run's files; removed when the run ends normally.
inline QString scratchDir()
{
    static QTemporaryDir dir;
    check(dir.isValid(), "a scratch folder can be made");
    return dir.path();
}

inline void writeFile(const QString& path, const QByteArray& content)
{
    QFile file(path);
    check(file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
              file.write(content) == content.size(),
          "the input file can be written");
}

} // namespace veskfuzz
