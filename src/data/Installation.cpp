#include "data/Installation.h"

#include <QDir>

Installation::Installation(QString dir) : m_dir(std::move(dir))
{
    if (m_dir.isEmpty())
        m_dir = defaultDir();
    if (!m_dir.endsWith(QLatin1Char('/')) && !m_dir.endsWith(QLatin1Char('\\')))
        m_dir += QLatin1Char('/');
}

QString Installation::defaultDir()
{
#ifdef Q_OS_WIN
    return QStringLiteral("c:\\corvandel\\");
#else
    return QStringLiteral("/opt/corvandel/");
#endif
}

QString Installation::filePath(const QString& fileName) const
{
    return m_dir + fileName;
}
