#include "FuzzSupport.h"
#include "data/ConnectionConfig.h"

#include <QDir>

namespace {
using Kind = ConnectionConfig::Target::Kind;

// A usable server group comes back from its connection string unchanged;
// resolve() refuses the words an unconfigured group still holds.
void checkRemoteGroup(const ConnectionConfig& config, const QString& group)
{
    const ConnectionConfig::Target target = config.resolve(config.remoteConnectionString(group));
    target.key();
    target.describe();
    const QStringList keys{"server", "database", "user", "password", "port"};
    QStringList values;
    for (const QString& key : keys) {
        values << config.value(group, key);
        if (values.last() == (key == "port" ? "portnumber" : key + "name"))
            return;
    }
    if (target.kind != Kind::MySql)
        return;
    veskfuzz::check(QStringList({target.host, target.database, target.user, target.password}) ==
                            values.mid(0, 4) &&
                        target.options == ConnectionConfig::kDesignOptions,
                    "a server group comes back unchanged");
}
} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    veskfuzz::startApplication();
    return 0;
}

// The input is both the installation's cv_veskauction.ini and a connection string.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const QString iniPath = QDir(veskfuzz::scratchDir()).filePath("cv_veskauction.ini");
    veskfuzz::writeFile(iniPath, veskfuzz::bytes(data, size));
    const ConnectionConfig config = ConnectionConfig::load(iniPath);
    for (const char* group : {"itemdb", "catalogue", "directory"})
        checkRemoteGroup(config, QLatin1String(group));
    config.textFieldDefault(QStringLiteral("txtPortNumber"));
    config.resolve(QStringLiteral("DSN=ODBCCORVANDEL"));

    const QString text = veskfuzz::text(data, size);
    const ConnectionConfig::Target target = config.resolve(text);
    target.key();
    target.describe();
    veskfuzz::check(target.kind != Kind::Invalid || !target.error.isEmpty(),
                    "an unusable connection string says why");
    ConnectionConfig::parseOdbcString(text);
    const auto pairs =
        ConnectionConfig::parseOdbcString(QStringLiteral("K=") + ConnectionConfig::odbcValue(text));
    veskfuzz::check(pairs.value(QStringLiteral("K")) == text,
                    "a written value is read back unchanged");
    return 0;
}
