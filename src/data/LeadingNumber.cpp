#include "data/LeadingNumber.h"

#include <QByteArray>
#include <QLocale>

#include <cmath>
#include <limits>

namespace {
bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool isSign(char c)
{
    return c == '+' || c == '-';
}

// The text without blanks, tabs and line feeds; anything outside ASCII becomes
// a character no number holds.
QByteArray withoutSkippedCharacters(const QString& text)
{
    QByteArray out;
    out.reserve(text.size());
    for (const QChar ch : text) {
        const char16_t c = ch.unicode();
        if (c == u' ' || c == u'\t' || c == u'\n')
            continue;
        out.append(c < 0x80 ? static_cast<char>(c) : '?');
    }
    return out;
}
} // namespace

double leadingNumber(const QString& text)
{
    const QByteArray s = withoutSkippedCharacters(text);
    const qsizetype n = s.size();
    qsizetype i = 0;
    if (i < n && isSign(s[i]))
        ++i;
    qsizetype digits = 0;
    for (; i < n && isDigit(s[i]); ++i)
        ++digits;
    if (i < n && s[i] == '.') {
        for (++i; i < n && isDigit(s[i]); ++i)
            ++digits;
    }
    if (digits == 0)
        return 0.0;

    qsizetype end = i;
    if (i < n && (s[i] == 'e' || s[i] == 'E')) {
        qsizetype j = i + 1;
        if (j < n && isSign(s[j]))
            ++j;
        qsizetype k = j;
        while (k < n && isDigit(s[k]))
            ++k;
        // An exponent without digits is no part of the number.
        if (k > j)
            end = k;
    }
    // The C locale: the machine's decimal comma must not change what is read.
    return QLocale::c().toDouble(QLatin1String(s.constData(), end));
}
