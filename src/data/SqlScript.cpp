#include "data/SqlScript.h"
#include "sqlconv/SqlTokens.h"

#include <QSqlError>
#include <QSqlQuery>

QString runSqlScript(QSqlDatabase db, const QString& script)
{
    for (const QString& statement : splitSqlScript(script)) {
        QSqlQuery query(db);
        if (!query.exec(statement))
            return QStringLiteral("%1\n  in: %2").arg(query.lastError().text(), statement);
    }
    return {};
}
