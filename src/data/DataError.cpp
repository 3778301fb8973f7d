#include "data/DataError.h"

#include <QRegularExpression>
#include <QStringList>
#include <QVector>

#include <algorithm>

namespace {
const QString kMask = QStringLiteral("****");

bool endsValue(const QString& text, qsizetype at)
{
    if (at >= text.size())
        return true;
    const QChar c = text[at];
    return c == QLatin1Char(';') || c == QLatin1Char('"') || c == QLatin1Char('\'') ||
           c == QLatin1Char('}') || c == QLatin1Char('@') || c.isSpace();
}

// The ways a connection string may hold the secret: as it is, in braces, in
// quotes, and each of these again with its double quotes doubled (inside the
// quoted Extended Properties of a provider string).
QStringList writtenForms(const QString& secret)
{
    QString braced = secret;
    braced.replace(QLatin1Char('}'), QStringLiteral("}}"));
    QString quoted = secret;
    quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    QString single = secret;
    single.replace(QLatin1Char('\''), QStringLiteral("''"));
    QStringList forms = {secret, QLatin1Char('{') + braced + QLatin1Char('}'),
                         QLatin1Char('"') + quoted + QLatin1Char('"'),
                         QLatin1Char('\'') + single + QLatin1Char('\'')};
    for (qsizetype i = 0, n = forms.size(); i < n; ++i) {
        QString doubled = forms[i];
        doubled.replace(QLatin1Char('"'), QStringLiteral("\"\""));
        forms << doubled;
    }
    return forms;
}

// Where a value written as a connection string writes it ends, from its first
// character: a braced or quoted value at its closing mark, any other at ';' or
// the line's end.
qsizetype plainValueEnd(const QString& text, qsizetype from)
{
    const qsizetype n = text.size();
    const QChar open = from < n ? text[from] : QChar();
    if (open == QLatin1Char('{') || open == QLatin1Char('"') || open == QLatin1Char('\'')) {
        const QChar close = open == QLatin1Char('{') ? QLatin1Char('}') : open;
        qsizetype i = from + 1;
        while (i < n) {
            if (text[i] == close) {
                if (i + 1 < n && text[i + 1] == close) {
                    i += 2;
                    continue;
                }
                return i + 1;
            }
            ++i;
        }
        return n;
    }
    qsizetype i = from;
    while (i < n && text[i] != QLatin1Char(';') && text[i] != QLatin1Char('\n') &&
           text[i] != QLatin1Char('\r'))
        ++i;
    return i;
}

// The end of the password value that starts at from: the known secret in any of
// its written forms first, the longest that fits.
qsizetype valueEnd(const QString& text, qsizetype from, const QStringList& forms)
{
    qsizetype best = -1;
    for (const QString& form : forms) {
        const qsizetype end = from + form.size();
        if (end > best && QStringView(text).mid(from).startsWith(form) && endsValue(text, end))
            best = end;
    }
    return best >= 0 ? best : plainValueEnd(text, from);
}
} // namespace

QString scrubSecret(const QString& text, const QString& secret)
{
    static const QRegularExpression key(QStringLiteral("\\b(?:PASSWORD|PWD)[ \\t]*=[ \\t]*"),
                                        QRegularExpression::CaseInsensitiveOption);
    // scheme://user:password@
    static const QRegularExpression userInfo(
        QStringLiteral("\\b[A-Za-z][A-Za-z0-9+.-]*://[^\\s/?#@:]*:"));
    const QStringList forms = secret.isEmpty() ? QStringList() : writtenForms(secret);

    QVector<std::pair<qsizetype, qsizetype>> spans; // [start, end) to mask
    for (auto it = key.globalMatch(text); it.hasNext();) {
        const qsizetype from = it.next().capturedEnd();
        spans.append({from, valueEnd(text, from, forms)});
    }
    for (auto it = userInfo.globalMatch(text); it.hasNext();) {
        const qsizetype from = it.next().capturedEnd();
        qsizetype end = -1;
        for (const QString& form : forms) {
            if (QStringView(text).mid(from).startsWith(form + QLatin1Char('@')))
                end = std::max(end, from + form.size());
        }
        if (end < 0) {
            end = from;
            while (end < text.size() && text[end] != QLatin1Char('@') && !text[end].isSpace() &&
                   text[end] != QLatin1Char('/'))
                ++end;
            if (end >= text.size() || text[end] != QLatin1Char('@'))
                continue; // no user info: a port or a path
        }
        spans.append({from, end});
    }
    std::sort(spans.begin(), spans.end());

    QString out;
    qsizetype at = 0;
    for (const auto& [start, end] : spans) {
        if (end <= start || start < at)
            continue; // empty, or inside a span already masked
        out += QStringView(text).mid(at, start - at);
        out += kMask;
        at = end;
    }
    out += QStringView(text).mid(at);
    return out;
}
