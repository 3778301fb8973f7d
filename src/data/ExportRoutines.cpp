#include "data/ExportRoutines.h"

#include "data/Cp1252.h"

#include <stdexcept>
#include <string>

namespace {
std::string describe(QChar ch)
{
    const QString code =
        QStringLiteral("U+%1").arg(ch.unicode(), 4, 16, QLatin1Char('0')).toUpper();
    if (ch.isPrint())
        return QStringLiteral("'%1' (%2)").arg(ch, code).toStdString();
    return code.toStdString();
}

[[noreturn]] void fail(const char* routine, const std::string& what)
{
    throw std::invalid_argument(std::string(routine) + ": " + what);
}

int windows1252Code(const char* routine, QChar ch, qsizetype position)
{
    const QByteArray encoded = encodeCp1252(QString(ch));
    if (encoded.size() != 1 || (encoded.at(0) == '?' && ch != u'?'))
        fail(routine, "character " + describe(ch) + " at position " + std::to_string(position) +
                          " has no Windows-1252 code");
    return static_cast<unsigned char>(encoded.at(0));
}

QString shiftCodes(const char* routine, const QString& password, int shift)
{
    // Only blanks are trimmed; the loop still runs over the untrimmed length,
    // so a trimmed blank leaves a position without a character.
    qsizetype first = 0;
    qsizetype last = password.size();
    while (first < last && password.at(first) == u' ')
        ++first;
    while (last > first && password.at(last - 1) == u' ')
        --last;
    if (first != 0 || last != password.size())
        fail(routine, "the password has leading or trailing blanks, which cannot be shifted back");

    QString result;
    result.reserve(password.size());
    for (qsizetype i = 0; i < password.size(); ++i) {
        const QChar ch = password.at(i);
        const int code = windows1252Code(routine, ch, i + 1);
        const int shifted = code + shift;
        if (shifted < 0 || shifted > 255)
            fail(routine, "character " + describe(ch) + " (code " + std::to_string(code) +
                              ") at position " + std::to_string(i + 1) + " would become code " +
                              std::to_string(shifted) + ", outside 0 to 255");
        result += decodeCp1252(QByteArray(1, static_cast<char>(shifted)));
    }
    return result;
}
} // namespace

QString CleanStringForExport(const QString& InString)
{
    QString out = InString;
    out.replace(QStringLiteral("\r\n"), QStringLiteral(" ||| "));
    out.replace(u'\n', u' ');
    out.replace(u'\r', u' ');
    out.replace(u',', u';');
    out.replace(QStringLiteral("\""), QStringLiteral("''"));
    return out;
}

QString EncryptPassword(const QString& Password)
{
    return shiftCodes("EncryptPassword", Password, 20);
}

QString DecryptPassword(const QString& Password)
{
    return shiftCodes("DecryptPassword", Password, -20);
}
