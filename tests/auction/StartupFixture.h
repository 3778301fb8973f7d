#pragma once

// Shared by the start-up window's tests: a fresh installation folder, a helper
// on it, and the messages the window would have shown.

#include "auction/frmVESKauction.h"
#include "data/Installation.h"
#include "data/frmadoHelper.h"
#include "windows/MessageBox.h"
#include "windows/Platform.h"

#include <QFile>
#include <QList>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

class MessageRecorder
{
public:
    MessageRecorder()
    {
        MessageBox::setTestHandler([this](const MessageBox::Call& call) {
            calls.append(call);
            return QMessageBox::Ok;
        });
    }
    ~MessageRecorder() { MessageBox::setTestHandler({}); }
    MessageRecorder(const MessageRecorder&) = delete;
    MessageRecorder& operator=(const MessageRecorder&) = delete;

    QList<MessageBox::Call> calls;
};

class StartupFixture
{
public:
    explicit StartupFixture(int screenWidth = 1024)
    {
        Platform::setScreenWidthForTesting(screenWidth);
    }
    ~StartupFixture() { Platform::setScreenWidthForTesting(0); }
    StartupFixture(const StartupFixture&) = delete;
    StartupFixture& operator=(const StartupFixture&) = delete;

    QString path(const QString& fileName) const { return installation.filePath(fileName); }

    void writeFile(const QString& fileName, const QByteArray& content) const
    {
        QFile file(path(fileName));
        QVERIFY2(file.open(QIODevice::WriteOnly | QIODevice::Truncate), qPrintable(fileName));
        file.write(content);
    }

    // The file's bytes; a null array when it does not exist.
    QByteArray readFile(const QString& fileName) const
    {
        QFile file(path(fileName));
        if (!file.open(QIODevice::ReadOnly))
            return QByteArray();
        QByteArray bytes = file.readAll();
        if (bytes.isNull())
            bytes = QByteArray("");
        return bytes;
    }

    // A window on this installation; the store identifier file is left to the test.
    frmVESKauction& window()
    {
        if (!m_window) {
            m_helper = std::make_unique<frmadoHelper>(installation);
            m_window = std::make_unique<frmVESKauction>(*m_helper);
        }
        return *m_window;
    }

    // A window that has loaded with a store identifier.
    frmVESKauction& loadedWindow()
    {
        writeFile(QStringLiteral("userid.ini"), "S042\r\n");
        frmVESKauction& w = window();
        const bool loaded = w.Form_Load();
        if (!loaded)
            qWarning("Form_Load ended the program");
        return w;
    }

    MessageRecorder messages;
    QTemporaryDir dir;
    Installation installation{dir.path()};

private:
    std::unique_ptr<frmadoHelper> m_helper;
    std::unique_ptr<frmVESKauction> m_window;
};
