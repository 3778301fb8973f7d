#include "sqlconv/ConvertSQL.h"

#include <QRandomGenerator>
#include <QtTest>

namespace {
// The rules read literally: whole-text tests after every character in the
// alias step, blank collapsing by repeated replacement. Slow, but plainly the
// documented behaviour, so the fast code can be compared with it.
void literalCollapse(QString& text)
{
    if (text.contains(QStringLiteral("%  %")))
        return;
    while (text.contains(QStringLiteral("  ")))
        text.replace(QStringLiteral("  "), QStringLiteral(" "));
}

QString literalConvert(QString text)
{
    literalCollapse(text);
    QString out;
    bool open = false;
    const qsizetype count = text.size();
    for (qsizetype i = 0; i < count; ++i) {
        out.append(text.at(i));
        if (open && out.endsWith(u']')) {
            out.back() = u'\'';
            open = false;
        }
        for (const char* opening : {"AS [", "as [", "AS[", "as["}) {
            if (out.contains(QLatin1String(opening))) {
                out.replace(QLatin1String(opening), QLatin1String("AS '"));
                open = true;
            }
        }
    }
    text = out;
    const char* fixed[] = {
        "[",           "`",     "]",           "`",       "IIF",         "IF",          "str(",
        "QUOTE(",      "Str(",  "QUOTE(",      "inQUOTE", "instr",       "QUOTEconv",   "strconv",
        "chr(",        "CHAR(", "len(",        "LENGTH(", "Len(",        "LENGTH(",     "Day(",
        "DAYOFMONTH(", "DAY(",  "DAYOFMONTH(", "day(",    "DAYOFMONTH(", "= TRUE",      "<> 0",
        "= true",      "<> 0",  "= True",      "<> 0",    "=TRUE",       "<> 0",        "=true",
        "<> 0",        "=True", "<> 0",        "FALSE",   "0",           "false",       "0",
        "False",       "0",     "int(",        "(",       "len(",        "CHAR_LENGTH("};
    for (size_t i = 0; i < std::size(fixed); i += 2)
        text.replace(QLatin1String(fixed[i]), QLatin1String(fixed[i + 1]));
    for (const char* word : {"format", "Format", "FORMAT"}) {
        if (text.contains(QLatin1String(word)))
            text.replace(QLatin1String("'0.00'"), QLatin1String("2"));
    }
    for (const char* word : {"DATEDIFF", "Datediff", "datediff"}) {
        if (text.contains(QLatin1String(word)))
            text.remove(QLatin1String("'d',"));
    }
    for (const char* prefix :
         {"'$'&", "'$ '&", "'$' &", "'$ ' &", "'$'& ", "'$' & ", "'$ ' & ", "'$ '& "})
        text.remove(QLatin1String(prefix));
    literalCollapse(text);
    return text;
}

void row(const char* name, const char* query, const char* expected)
{
    QTest::newRow(name) << QString::fromLatin1(query) << QString::fromLatin1(expected);
}
} // namespace

class tst_ConvertSQL : public QObject
{
    Q_OBJECT

private slots:
    void translatesByOrderedTextRules_data()
    {
        QTest::addColumn<QString>("query");
        QTest::addColumn<QString>("expected");
        // The worked examples.
        row("alias with blank", "SELECT Description AS [Item Name] FROM item",
            "SELECT Description AS 'Item Name' FROM item");
        row("small alias without blank", "SELECT Description as[Item Name] FROM item",
            "SELECT Description AS 'Item Name' FROM item");
        row("currency and format", "SELECT '$' & Format(Retail,'0.00') FROM item",
            "SELECT Format(Retail,2) FROM item");
        row("booleans", "SELECT * FROM item WHERE sold = TRUE AND gone=False",
            "SELECT * FROM item WHERE sold <> 0 AND gone=0");
        row("datediff", "SELECT DATEDIFF('d', a, b) FROM item", "SELECT DATEDIFF( a, b) FROM item");
        row("iif", "SELECT IIF(Retail > 0, 1, 0) FROM item",
            "SELECT IF(Retail > 0, 1, 0) FROM item");
        row("len and instr", "SELECT len(SKU), instr(SKU, 'A') FROM item",
            "SELECT LENGTH(SKU), instr(SKU, 'A') FROM item");
        row("capital InStr", "SELECT InStr(SKU, 'A') FROM item",
            "SELECT InQUOTE(SKU, 'A') FROM item");
        row("weekday", "WHERE Weekday(d) = 2", "WHERE WeekDAYOFMONTH(d) = 2");
        row("true without blank", "WHERE x=TRUE", "WHERE x<> 0");
        row("empty alias", "AS []", "AS ''");
        row("listing query",
            "SELECT * FROM item WHERE SKU LIKE 'AB%'   AND auction_until_unix >1700000000 AND "
            "auction_until_unix<>0  LIMIT 50 ",
            "SELECT * FROM item WHERE SKU LIKE 'AB%' AND auction_until_unix >1700000000 AND "
            "auction_until_unix<>0 LIMIT 50 ");
        row("employees query", "SELECT * FROM Employees ORDER BY EmployeeID",
            "SELECT * FROM Employees ORDER BY EmployeeID");

        // Blank collapsing, skipped for the whole text when it holds "%  %".
        row("empty", "", "");
        row("runs and edges", "     a     b     ", " a b ");
        row("percent pattern keeps every run", "a  b LIKE '%  %'", "a  b LIKE '%  %'");
        row("percent with three blanks is no pattern", "a  '%   %'", "a '% %'");
        row("pattern formed late keeps blanks", "% '$'& %", "%  %");
        // Bracketed aliases.
        row("both keyword forms", "a AS[x], b as [y]", "a AS 'x', b AS 'y'");
        row("mixed case keyword", "a As [x] aS[y]", "a As `x` aS`y`");
        row("name then alias", "SELECT [a] AS [b] FROM t", "SELECT `a` AS 'b' FROM t");
        row("unclosed alias takes next name's bracket", "SELECT a AS [x, [b] FROM t",
            "SELECT a AS 'x, `b' FROM t");
        row("second opening while open", "AS [x AS [y] [z]", "AS 'x AS 'y' `z`");
        row("brackets inside and after alias", "AS [[x]]", "AS '`x'`");
        row("small keyword at end of word", "has[x]", "hAS 'x'");
        row("collapsed blanks make an opening", "a AS  [x]", "a AS 'x'");
        row("like pattern brackets", "WHERE SKU LIKE '%[A]%'", "WHERE SKU LIKE '%`A`%'");
        // Fixed rules: case-sensitive, one pass each, in order.
        row("IIF only in capitals, one pass", "iif Iif IIF IIIF", "iif Iif IF IIF");
        row("str forms", "str(a) Str(b) STR(c) strconv(d)", "QUOTE(a) QUOTE(b) STR(c) strconv(d)");
        row("chr and len forms", "chr(a) Chr(b) len(c) Len(d) LEN(e)",
            "CHAR(a) Chr(b) LENGTH(c) LENGTH(d) LEN(e)");
        row("len formed by int", "lenint(a)", "CHAR_LENGTH(a)");
        row("day forms", "Day(a) DAY(b) day(c) dAY(d)",
            "DAYOFMONTH(a) DAYOFMONTH(b) DAYOFMONTH(c) dAY(d)");
        row("true forms", "a = TRUE b = true c = True d=TRUE e=true f=True g = tRUE h <> TRUE",
            "a <> 0 b <> 0 c <> 0 d<> 0 e<> 0 f<> 0 g = tRUE h <> TRUE");
        row("false forms", "FALSE false False fALSE", "0 0 0 fALSE");
        row("int at end of word, capital Int stays", "print(a) Int(b)", "pr(a) Int(b)");
        row("false formed by IIF rule", "IIFALSE", "I0");
        row("true formed after boolean rules stays", "a =int(TRUE", "a =(TRUE");
        // Conditional rules act on the whole text once the word is there.
        row("format and FORMAT", "format(a,'0.00') FORMAT(b,'0.00')", "format(a,2) FORMAT(b,2)");
        row("odd case of format", "FoRmAt(a,'0.00')", "FoRmAt(a,'0.00')");
        row("format in a column name", "SELECT formatted, '0.00'", "SELECT formatted, 2");
        row("pattern formed by fixed rule", "Format(a,'0.0FALSE')", "Format(a,2)");
        row("every interval removed", "datediff('d',a,b), 'd','x'", "datediff(a,b), 'x'");
        row("DateDiff keeps interval", "DateDiff('d', a, b)", "DateDiff('d', a, b)");
        // Currency prefixes, short forms first.
        row("four short forms", "'$'&a,'$ '&b,'$' &c,'$ ' &d", "a,b,c,d");
        row("blank after ampersand stays once", "x '$'& a", "x a");
        row("other currency stays", "'EUR'&a", "'EUR'&a");
        row("prefix formed by interval removal", "DATEDIFF '$''d',&x", "DATEDIFF x");
    }
    void translatesByOrderedTextRules()
    {
        QFETCH(QString, query);
        QFETCH(QString, expected);
        QCOMPARE(ConvertSQL(query), expected);
    }

    void matchesLiteralRulesOnGeneratedQueries()
    {
        // Pieces that meet at their edges in every way the rules care about.
        const QStringList pieces = {
            "AS",     "as",     "As",     " ",    "  ",       "[",    "]",     "%",    "'",
            "x",      "IIF",    "I",      "str(", "Str(",     "in",   "QUOTE", "conv", "len",
            "int(",   "Len(",   "Day(",   "day(", "= ",       "=",    "TRUE",  "True", "FALSE",
            "format", "Format", "'0.00'", "0.0",  "DATEDIFF", "'d',", "'$'",   "'$ '", "&",
            "& ",     "chr(",   "(",      "S",    "a",        "s",
        };
        QRandomGenerator random(20261224);
        for (int n = 0; n < 20000; ++n) {
            QString query;
            const int length = random.bounded(1, 14);
            for (int i = 0; i < length; ++i)
                query += pieces.at(random.bounded(int(pieces.size())));
            const QString expected = literalConvert(query);
            const QString result = ConvertSQL(query);
            if (result != expected)
                QFAIL(qPrintable(QStringLiteral("\"%1\" gave \"%2\", expected \"%3\"")
                                     .arg(query, result, expected)));
        }
    }
};

QTEST_APPLESS_MAIN(tst_ConvertSQL)
#include "tst_convertsql.moc"
