#include "sqlconv/SqlTokens.h"

namespace {
// The position after the text literal opening at `open`: a backslash escapes the
// next character and a doubled quote stands for one.
qsizetype afterQuotedText(const QString& sql, qsizetype open)
{
    const qsizetype n = sql.size();
    qsizetype i = open + 1;
    while (i < n) {
        if (sql[i] == QLatin1Char('\\')) {
            i += 2;
        } else if (sql[i] == QLatin1Char('\'')) {
            ++i;
            if (i < n && sql[i] == QLatin1Char('\''))
                ++i;
            else
                break;
        } else {
            ++i;
        }
    }
    return i;
}

// The position after the parenthesis that closes the one at `open`.
qsizetype afterParentheses(const QString& sql, qsizetype open)
{
    const qsizetype n = sql.size();
    qsizetype i = open;
    int depth = 0;
    while (i < n) {
        if (sql[i] == QLatin1Char('('))
            ++depth;
        else if (sql[i] == QLatin1Char(')') && --depth == 0)
            break;
        ++i;
    }
    return i + 1;
}
} // namespace

QVector<SqlToken> topLevelTokens(const QString& sql)
{
    QVector<SqlToken> out;
    const qsizetype n = sql.size();
    qsizetype i = 0;
    const auto isWordChar = [](QChar c) {
        return c.isLetterOrNumber() || c == QLatin1Char('_') || c == QLatin1Char('$') ||
               c == QLatin1Char('.');
    };
    while (i < n) {
        const QChar c = sql[i];
        const qsizetype start = i;
        if (c.isSpace()) {
            ++i;
        } else if (c == QLatin1Char('-') && i + 1 < n && sql[i + 1] == QLatin1Char('-')) {
            while (i < n && sql[i] != QLatin1Char('\n'))
                ++i;
        } else if (c == QLatin1Char('/') && i + 1 < n && sql[i + 1] == QLatin1Char('*')) {
            const qsizetype end = sql.indexOf(QStringLiteral("*/"), i + 2);
            i = end < 0 ? n : end + 2;
        } else if (c == QLatin1Char('\'')) {
            i = afterQuotedText(sql, i);
            out.append({QStringLiteral("'"), false, false, start});
        } else if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('[')) {
            const QChar close = c == QLatin1Char('[') ? QLatin1Char(']') : c;
            const qsizetype end = sql.indexOf(close, i + 1);
            const qsizetype stop = end < 0 ? n : end;
            out.append({sql.mid(i + 1, stop - i - 1), false, true, start});
            i = stop + 1;
        } else if (c == QLatin1Char('(')) {
            i = afterParentheses(sql, i);
            out.append({QStringLiteral("()"), false, false, start});
        } else if (isWordChar(c)) {
            while (i < n && isWordChar(sql[i]))
                ++i;
            out.append({sql.mid(start, i - start), true, false, start});
        } else {
            out.append({QString(c), false, false, start});
            ++i;
        }
    }
    return out;
}

bool isKeyword(const SqlToken& token, const char* word)
{
    return token.word && token.text.compare(QLatin1String(word), Qt::CaseInsensitive) == 0;
}

QStringList splitSqlScript(const QString& script)
{
    QStringList statements;
    qsizetype begin = -1;
    for (const SqlToken& token : topLevelTokens(script)) {
        if (token.text == QLatin1String(";")) {
            if (begin >= 0)
                statements << script.mid(begin, token.position - begin);
            begin = -1;
        } else if (begin < 0) {
            begin = token.position;
        }
    }
    if (begin >= 0)
        statements << script.mid(begin).trimmed();
    return statements;
}
