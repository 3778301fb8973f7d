#pragma once

// A fresh installation folder, a window on it, a chosen screen width and the
// messages the window would have shown.

#include "auction/frmVESKauction.h"
#include "data/Installation.h"
#include "data/frmadoHelper.h"
#include "windows/MessageBox.h"
#include "windows/Platform.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

class StartupFixture
{
public:
    explicit StartupFixture(int screenWidth = 1024)
    {
        Platform::setScreenWidthForTesting(screenWidth);
        MessageBox::setTestHandler([this](const MessageBox::Call& call) {
            messages << call;
            return QMessageBox::Ok;
        });
    }
    ~StartupFixture()
    {
        m_window.reset();
        MessageBox::setTestHandler({});
        Platform::setScreenWidthForTesting(0);
    }
    void writeFile(const QString& name, const QByteArray& content) const
    {
        QFile file(installation.filePath(name));
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(content) < 0)
            qFatal("cannot write %s", qPrintable(name));
    }
    QByteArray readFile(const QString& name) const
    {
        QFile file(installation.filePath(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    frmVESKauction& window()
    {
        if (!m_window) {
            m_helper = std::make_unique<frmadoHelper>(installation);
            m_window = std::make_unique<frmVESKauction>(*m_helper);
        }
        return *m_window;
    }
    // A window that has loaded with store S042.
    frmVESKauction& loadedWindow()
    {
        writeFile(QStringLiteral("userid.ini"), "S042\r\n");
        if (!window().Form_Load())
            qWarning("Form_Load ended the program");
        return *m_window;
    }
    bool showLoaded()
    {
        loadedWindow().show();
        return QTest::qWaitForWindowExposed(m_window.get());
    }

    QList<MessageBox::Call> messages;
    QTemporaryDir dir;
    Installation installation{dir.path()};

private:
    std::unique_ptr<frmadoHelper> m_helper;
    std::unique_ptr<frmVESKauction> m_window;
};
