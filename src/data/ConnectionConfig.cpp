#include "data/ConnectionConfig.h"

ConnectionConfig ConnectionConfig::load(const QString& iniPath)
{
    ConnectionConfig c;
    c.m_filePath = iniPath;
    return c;
}
QString ConnectionConfig::remoteConnectionString(const QString&) const { return {}; }
QString ConnectionConfig::textFieldDefault(const QString&) const { return {}; }
ConnectionConfig::Target ConnectionConfig::resolve(const QString&) const { return {}; }
