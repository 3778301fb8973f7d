#pragma once

#include <QString>
#include <QStringList>
#include <QVector>

// A statement's tokens outside parentheses, as the data controls and the script
// runner need them: literals, comments and bracketed groups are not looked into.
struct SqlToken
{
    QString text;
    bool word = false;
    bool quoted = false; // a quoted identifier
    qsizetype position = 0;
};

QVector<SqlToken> topLevelTokens(const QString& sql);

bool isKeyword(const SqlToken& token, const char* word);

// The statements of a script, split at the semicolons outside literals,
// comments and parentheses; comments before a statement and empty statements
// are left out.
QStringList splitSqlScript(const QString& script);
