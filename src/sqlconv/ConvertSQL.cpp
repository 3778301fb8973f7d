#include "sqlconv/ConvertSQL.h"

#include <QStringView>

#include <array>
#include <utility>

namespace {
using Rule = std::pair<QStringView, QStringView>;

// Fixed replacements, in order. "inQUOTE" and "QUOTEconv" give instr and
// strconv back their names after "str(" was rewritten; the second "len(" only
// meets texts that the earlier rules formed.
constexpr std::array<Rule, 24> kFixedRules{{
    {u"[", u"`"},
    {u"]", u"`"},
    {u"IIF", u"IF"},
    {u"str(", u"QUOTE("},
    {u"Str(", u"QUOTE("},
    {u"inQUOTE", u"instr"},
    {u"QUOTEconv", u"strconv"},
    {u"chr(", u"CHAR("},
    {u"len(", u"LENGTH("},
    {u"Len(", u"LENGTH("},
    {u"Day(", u"DAYOFMONTH("},
    {u"DAY(", u"DAYOFMONTH("},
    {u"day(", u"DAYOFMONTH("},
    {u"= TRUE", u"<> 0"},
    {u"= true", u"<> 0"},
    {u"= True", u"<> 0"},
    {u"=TRUE", u"<> 0"},
    {u"=true", u"<> 0"},
    {u"=True", u"<> 0"},
    {u"FALSE", u"0"},
    {u"false", u"0"},
    {u"False", u"0"},
    {u"int(", u"("},
    {u"len(", u"CHAR_LENGTH("},
}};

// When the text holds the word, every occurrence of the pattern anywhere changes.
struct ConditionalRule
{
    QStringView word;
    QStringView find;
    QStringView replaceBy;
};

constexpr std::array<ConditionalRule, 6> kConditionalRules{{
    {u"format", u"'0.00'", u"2"},
    {u"Format", u"'0.00'", u"2"},
    {u"FORMAT", u"'0.00'", u"2"},
    {u"DATEDIFF", u"'d',", u""},
    {u"Datediff", u"'d',", u""},
    {u"datediff", u"'d',", u""},
}};

// The short forms come first, so a blank after the "&" usually stays.
constexpr std::array<QStringView, 8> kCurrencyPrefixes{
    u"'$'&", u"'$ '&", u"'$' &", u"'$ ' &", u"'$'& ", u"'$' & ", u"'$ ' & ", u"'$ '& ",
};

constexpr std::array<QStringView, 4> kAliasOpenings{u"AS [", u"as [", u"AS[", u"as["};

// Replacing two blanks by one until none touch leaves every run as one blank.
// A text holding "%  %" keeps all its blanks.
void collapseBlanks(QString& text)
{
    if (text.contains(u"%  %") || !text.contains(u"  "))
        return;
    QString out;
    out.reserve(text.size());
    bool afterBlank = false;
    for (const QChar ch : std::as_const(text)) {
        const bool blank = ch == u' ';
        if (!(blank && afterBlank))
            out.append(ch);
        afterBlank = blank;
    }
    text = std::move(out);
}

bool replaceTail(QString& out, QStringView opening)
{
    if (!out.endsWith(opening))
        return false;
    out.chop(opening.size());
    out.append(u"AS '");
    return true;
}

// Aliases in brackets after AS or as become aliases in single quotes. Each
// opening is rewritten as soon as its "[" arrives and no longer holds a bracket,
// so only the end of the output can hold a new one. An alias that never closes
// leaves the state open, and the next "]" anywhere becomes the quote.
QString rewriteBracketedAliases(const QString& text)
{
    QString out;
    out.reserve(text.size() + 8);
    bool aliasOpen = false;
    for (const QChar ch : text) {
        out.append(ch);
        if (aliasOpen && ch == u']') {
            out.back() = u'\'';
            aliasOpen = false;
        }
        if (ch != u'[')
            continue;
        for (const QStringView opening : kAliasOpenings) {
            if (replaceTail(out, opening))
                aliasOpen = true;
        }
    }
    return out;
}

void replaceAll(QString& text, QStringView find, QStringView replaceBy)
{
    // Most rules find nothing; a plain search is much cheaper than replace().
    if (!QStringView(text).contains(find))
        return;
    text.replace(find.data(), find.size(), replaceBy.data(), replaceBy.size(), Qt::CaseSensitive);
}
} // namespace

QString ConvertSQL(const QString& query)
{
    QString text = query;
    collapseBlanks(text);
    text = rewriteBracketedAliases(text);
    for (const Rule& rule : kFixedRules)
        replaceAll(text, rule.first, rule.second);
    for (const ConditionalRule& rule : kConditionalRules) {
        if (text.contains(rule.word))
            replaceAll(text, rule.find, rule.replaceBy);
    }
    for (const QStringView prefix : kCurrencyPrefixes)
        replaceAll(text, prefix, u"");
    collapseBlanks(text);
    return text;
}
