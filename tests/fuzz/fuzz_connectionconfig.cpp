#include "FuzzSupport.h"
#include "data/ConnectionConfig.h"

#include <QDir>

namespace {
using Kind = ConnectionConfig::Target::Kind;

const char* const kRemoteGroups[] = {"itemdb", "catalogue", "directory"};

// The words an unconfigured connection string still holds: resolve() refuses them.
bool isPlaceholder(const ConnectionConfig& config, const QString& group)
{
    const auto is = [&](const char* key, const char* word) {
        return config.value(group, QLatin1String(key)) == QLatin1String(word);
    };
    return is("database", "databasename") || is("server", "servername") || is("user", "username") ||
           is("password", "passwordname") || is("port", "portnumber");
}

// A usable server group comes back from its connection string unchanged.
void checkRemoteGroup(const ConnectionConfig& config, const QString& group)
{
    const ConnectionConfig::Target target = config.resolve(config.remoteConnectionString(group));
    target.key();
    target.describe();
    if (target.kind != Kind::MySql || isPlaceholder(config, group))
        return;
    veskfuzz::check(target.host == config.value(group, QStringLiteral("server")),
                    "the server comes back unchanged");
    veskfuzz::check(target.database == config.value(group, QStringLiteral("database")),
                    "the database comes back unchanged");
    veskfuzz::check(target.user == config.value(group, QStringLiteral("user")),
                    "the user comes back unchanged");
    veskfuzz::check(target.password == config.value(group, QStringLiteral("password")),
                    "the password comes back unchanged");
    veskfuzz::check(target.options == ConnectionConfig::kDesignOptions,
                    "the option bits come back unchanged");
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
    for (const char* group : kRemoteGroups)
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
