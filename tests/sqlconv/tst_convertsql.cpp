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
            out.chop(1);
            out.append(u'\'');
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

    const char* fixed[][2] = {
        {"[", "`"},
        {"]", "`"},
        {"IIF", "IF"},
        {"str(", "QUOTE("},
        {"Str(", "QUOTE("},
        {"inQUOTE", "instr"},
        {"QUOTEconv", "strconv"},
        {"chr(", "CHAR("},
        {"len(", "LENGTH("},
        {"Len(", "LENGTH("},
        {"Day(", "DAYOFMONTH("},
        {"DAY(", "DAYOFMONTH("},
        {"day(", "DAYOFMONTH("},
        {"= TRUE", "<> 0"},
        {"= true", "<> 0"},
        {"= True", "<> 0"},
        {"=TRUE", "<> 0"},
        {"=true", "<> 0"},
        {"=True", "<> 0"},
        {"FALSE", "0"},
        {"false", "0"},
        {"False", "0"},
        {"int(", "("},
        {"len(", "CHAR_LENGTH("},
    };
    for (const auto& rule : fixed)
        text.replace(QLatin1String(rule[0]), QLatin1String(rule[1]));

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
} // namespace

class tst_ConvertSQL : public QObject
{
    Q_OBJECT

private slots:
    void translatesWorkedExamples_data();
    void translatesWorkedExamples();
    void collapsesBlanksUnlessPercentPattern_data();
    void collapsesBlanksUnlessPercentPattern();
    void rewritesBracketedAliases_data();
    void rewritesBracketedAliases();
    void appliesFixedRulesInOrder_data();
    void appliesFixedRulesInOrder();
    void appliesConditionalRules_data();
    void appliesConditionalRules();
    void removesCurrencyPrefixes_data();
    void removesCurrencyPrefixes();
    void leavesCallersTextUnchanged();
    void matchesLiteralRulesOnGeneratedQueries();
};

void tst_ConvertSQL::translatesWorkedExamples_data()
{
    QTest::addColumn<QString>("query");
    QTest::addColumn<QString>("expected");

    QTest::newRow("alias with blank") << "SELECT Description AS [Item Name] FROM item"
                                      << "SELECT Description AS 'Item Name' FROM item";
    QTest::newRow("small alias without blank") << "SELECT Description as[Item Name] FROM item"
                                               << "SELECT Description AS 'Item Name' FROM item";
    QTest::newRow("currency and format") << "SELECT '$' & Format(Retail,'0.00') FROM item"
                                         << "SELECT Format(Retail,2) FROM item";
    QTest::newRow("booleans") << "SELECT * FROM item WHERE sold = TRUE AND gone=False"
                              << "SELECT * FROM item WHERE sold <> 0 AND gone=0";
    QTest::newRow("datediff") << "SELECT DATEDIFF('d', a, b) FROM item"
                              << "SELECT DATEDIFF( a, b) FROM item";
    QTest::newRow("iif") << "SELECT IIF(Retail > 0, 1, 0) FROM item"
                         << "SELECT IF(Retail > 0, 1, 0) FROM item";
    QTest::newRow("len and instr") << "SELECT len(SKU), instr(SKU, 'A') FROM item"
                                   << "SELECT LENGTH(SKU), instr(SKU, 'A') FROM item";
    QTest::newRow("capital InStr") << "SELECT InStr(SKU, 'A') FROM item"
                                   << "SELECT InQUOTE(SKU, 'A') FROM item";
    QTest::newRow("weekday") << "WHERE Weekday(d) = 2"
                             << "WHERE WeekDAYOFMONTH(d) = 2";
    QTest::newRow("true without blank") << "WHERE x=TRUE"
                                        << "WHERE x<> 0";
    QTest::newRow("empty alias") << "AS []"
                                 << "AS ''";
    QTest::newRow("listing query")
        << "SELECT * FROM item WHERE SKU LIKE 'AB%'   AND auction_until_unix >1700000000 AND "
           "auction_until_unix<>0  LIMIT 50 "
        << "SELECT * FROM item WHERE SKU LIKE 'AB%' AND auction_until_unix >1700000000 AND "
           "auction_until_unix<>0 LIMIT 50 ";
}

void tst_ConvertSQL::translatesWorkedExamples()
{
    QFETCH(QString, query);
    QFETCH(QString, expected);
    QCOMPARE(ConvertSQL(query), expected);
}

void tst_ConvertSQL::collapsesBlanksUnlessPercentPattern_data()
{
    QTest::addColumn<QString>("query");
    QTest::addColumn<QString>("expected");

    QTest::newRow("empty") << ""
                           << "";
    QTest::newRow("one blank") << " "
                               << " ";
    QTest::newRow("two blanks") << "a  b"
                                << "a b";
    QTest::newRow("three blanks") << "a   b"
                                  << "a b";
    QTest::newRow("five blanks and edges") << "     a     b     "
                                           << " a b ";
    QTest::newRow("percent pattern keeps every run")
        << "SELECT  *  FROM item WHERE SKU LIKE '%  %'"
        << "SELECT  *  FROM item WHERE SKU LIKE '%  %'";
    QTest::newRow("percent with one blank collapses") << "a  b '% %'"
                                                      << "a b '% %'";
    QTest::newRow("percent with three blanks is no pattern") << "a  '%   %'"
                                                             << "a '% %'";
    QTest::newRow("tabs are no blanks") << "a\t\tb"
                                        << "a\t\tb";
    // Step 6 looks again: the removal of a prefix forms the pattern.
    QTest::newRow("pattern formed late keeps blanks") << "% '$'& %"
                                                      << "%  %";
    QTest::newRow("blanks formed late collapse") << "x = '$'& y"
                                                 << "x = y";
    QTest::newRow("blank run then boolean") << "x =   TRUE"
                                            << "x <> 0";
}

void tst_ConvertSQL::collapsesBlanksUnlessPercentPattern()
{
    QFETCH(QString, query);
    QFETCH(QString, expected);
    QCOMPARE(ConvertSQL(query), expected);
}

void tst_ConvertSQL::rewritesBracketedAliases_data()
{
    QTest::addColumn<QString>("query");
    QTest::addColumn<QString>("expected");

    QTest::newRow("AS blank") << "a AS [x]"
                              << "a AS 'x'";
    QTest::newRow("as blank") << "a as [x]"
                              << "a AS 'x'";
    QTest::newRow("AS no blank") << "a AS[x]"
                                 << "a AS 'x'";
    QTest::newRow("as no blank") << "a as[x]"
                                 << "a AS 'x'";
    QTest::newRow("mixed case As") << "a As [x]"
                                   << "a As `x`";
    QTest::newRow("mixed case aS") << "a aS[x]"
                                   << "a aS`x`";
    QTest::newRow("two aliases") << "SELECT a AS [x], b as[y] FROM t"
                                 << "SELECT a AS 'x', b AS 'y' FROM t";
    QTest::newRow("plain names") << "SELECT [Item Name] FROM [item]"
                                 << "SELECT `Item Name` FROM `item`";
    QTest::newRow("name then alias") << "SELECT [a] AS [b] FROM t"
                                     << "SELECT `a` AS 'b' FROM t";
    QTest::newRow("unclosed alias takes next name's bracket") << "SELECT a AS [x, [b] FROM t"
                                                              << "SELECT a AS 'x, `b' FROM t";
    QTest::newRow("unclosed alias, bracket far later") << "SELECT a AS [b FROM [c]"
                                                       << "SELECT a AS 'b FROM `c'";
    QTest::newRow("unclosed alias without bracket") << "SELECT a AS [x FROM t"
                                                    << "SELECT a AS 'x FROM t";
    QTest::newRow("second opening while open") << "AS [x AS [y] [z]"
                                               << "AS 'x AS 'y' `z`";
    QTest::newRow("bracket inside alias") << "AS [[x]"
                                          << "AS '`x'";
    QTest::newRow("extra closing bracket") << "AS [x]]"
                                           << "AS 'x'`";
    QTest::newRow("closing before opening stays name") << "a] AS [b]"
                                                       << "a` AS 'b'";
    QTest::newRow("keyword at end of word") << "HAS [x]"
                                            << "HAS 'x'";
    QTest::newRow("small keyword at end of word") << "has[x]"
                                                  << "hAS 'x'";
    QTest::newRow("inside a literal") << "WHERE n = 'AS [x]'"
                                      << "WHERE n = 'AS 'x''";
    QTest::newRow("collapsed blanks make an opening") << "a AS  [x]"
                                                      << "a AS 'x'";
    QTest::newRow("like pattern brackets") << "WHERE SKU LIKE '%[A]%'"
                                           << "WHERE SKU LIKE '%`A`%'";
}

void tst_ConvertSQL::rewritesBracketedAliases()
{
    QFETCH(QString, query);
    QFETCH(QString, expected);
    QCOMPARE(ConvertSQL(query), expected);
}

void tst_ConvertSQL::appliesFixedRulesInOrder_data()
{
    QTest::addColumn<QString>("query");
    QTest::addColumn<QString>("expected");

    QTest::newRow("IIF only in capitals") << "iif(a) Iif(b) IIF(c)"
                                          << "iif(a) Iif(b) IF(c)";
    QTest::newRow("one pass, no rescan") << "IIIF(a)"
                                         << "IIF(a)";
    QTest::newRow("non-overlapping") << "IIFIIF"
                                     << "IFIF";
    QTest::newRow("str and Str") << "str(a) Str(b) STR(c)"
                                 << "QUOTE(a) QUOTE(b) STR(c)";
    QTest::newRow("str inside a word") << "constr(a)"
                                       << "conQUOTE(a)";
    QTest::newRow("instr keeps its name") << "instr(a,'b')"
                                          << "instr(a,'b')";
    QTest::newRow("literal inQUOTE") << "inQUOTE"
                                     << "instr";
    QTest::newRow("literal QUOTEconv") << "QUOTEconv(a)"
                                       << "strconv(a)";
    QTest::newRow("strconv untouched") << "strconv(a, 1)"
                                       << "strconv(a, 1)";
    QTest::newRow("chr") << "chr(65) Chr(66)"
                         << "CHAR(65) Chr(66)";
    QTest::newRow("len and Len") << "len(a) Len(b) LEN(c)"
                                 << "LENGTH(a) LENGTH(b) LEN(c)";
    QTest::newRow("len formed by int") << "lenint(a)"
                                       << "CHAR_LENGTH(a)";
    QTest::newRow("day forms") << "Day(a) DAY(b) day(c) dAY(d)"
                               << "DAYOFMONTH(a) DAYOFMONTH(b) DAYOFMONTH(c) dAY(d)";
    QTest::newRow("day inside a word") << "birthday(a)"
                                       << "birthDAYOFMONTH(a)";
    QTest::newRow("true forms with blank") << "a = TRUE b = true c = True"
                                           << "a <> 0 b <> 0 c <> 0";
    QTest::newRow("true forms without blank") << "a=TRUE b=true c=True"
                                              << "a<> 0 b<> 0 c<> 0";
    QTest::newRow("odd true case stays") << "a = tRUE"
                                         << "a = tRUE";
    QTest::newRow("true without equals stays") << "a <> TRUE"
                                               << "a <> TRUE";
    QTest::newRow("false forms") << "FALSE false False fALSE"
                                 << "0 0 0 fALSE";
    QTest::newRow("false inside a word") << "Falsehood"
                                         << "0hood";
    QTest::newRow("int loses its name") << "int(a)"
                                        << "(a)";
    QTest::newRow("int at end of word") << "print(a)"
                                        << "pr(a)";
    QTest::newRow("capital Int stays") << "Int(a) CInt(b)"
                                       << "Int(a) CInt(b)";
    QTest::newRow("false formed by IIF rule") << "IIFALSE"
                                              << "I0";
    QTest::newRow("true formed after boolean rules stays") << "a =int(TRUE"
                                                           << "a =(TRUE";
}

void tst_ConvertSQL::appliesFixedRulesInOrder()
{
    QFETCH(QString, query);
    QFETCH(QString, expected);
    QCOMPARE(ConvertSQL(query), expected);
}

void tst_ConvertSQL::appliesConditionalRules_data()
{
    QTest::addColumn<QString>("query");
    QTest::addColumn<QString>("expected");

    QTest::newRow("Format") << "Format(a,'0.00')"
                            << "Format(a,2)";
    QTest::newRow("format") << "format(a,'0.00')"
                            << "format(a,2)";
    QTest::newRow("FORMAT") << "FORMAT(a,'0.00')"
                            << "FORMAT(a,2)";
    QTest::newRow("odd case of format") << "FoRmAt(a,'0.00')"
                                        << "FoRmAt(a,'0.00')";
    QTest::newRow("no format word") << "SELECT '0.00' FROM t"
                                    << "SELECT '0.00' FROM t";
    QTest::newRow("format in a column name") << "SELECT formatted, '0.00' FROM t"
                                             << "SELECT formatted, 2 FROM t";
    QTest::newRow("every pattern replaced") << "Format(a,'0.00'), '0.00'"
                                            << "Format(a,2), 2";
    QTest::newRow("pattern formed by fixed rule") << "Format(a,'0.0FALSE')"
                                                  << "Format(a,2)";
    QTest::newRow("Datediff") << "Datediff('d', a, b)"
                              << "Datediff( a, b)";
    QTest::newRow("datediff") << "datediff('d',a,b)"
                              << "datediff(a,b)";
    QTest::newRow("DateDiff keeps interval") << "DateDiff('d', a, b)"
                                             << "DateDiff('d', a, b)";
    QTest::newRow("every interval removed") << "DATEDIFF('d',a,b), 'd','x'"
                                            << "DATEDIFF(a,b), 'x'";
    QTest::newRow("interval with blank before comma stays") << "DATEDIFF('d' ,a,b)"
                                                            << "DATEDIFF('d' ,a,b)";
    QTest::newRow("no datediff word") << "SELECT 'd', 1"
                                      << "SELECT 'd', 1";
}

void tst_ConvertSQL::appliesConditionalRules()
{
    QFETCH(QString, query);
    QFETCH(QString, expected);
    QCOMPARE(ConvertSQL(query), expected);
}

void tst_ConvertSQL::removesCurrencyPrefixes_data()
{
    QTest::addColumn<QString>("query");
    QTest::addColumn<QString>("expected");

    QTest::newRow("tight") << "'$'&a"
                           << "a";
    QTest::newRow("blank in quotes") << "'$ '&a"
                                     << "a";
    QTest::newRow("blank before ampersand") << "'$' &a"
                                            << "a";
    QTest::newRow("both blanks") << "'$ ' &a"
                                 << "a";
    QTest::newRow("blank after ampersand stays once") << "x '$'& a"
                                                      << "x a";
    QTest::newRow("all blanks around") << "x '$ ' & a"
                                       << "x a";
    QTest::newRow("several prefixes") << "'$'&a, '$' & b"
                                      << "a, b";
    QTest::newRow("collapsed first") << "'$'  &a"
                                     << "a";
    QTest::newRow("other currency stays") << "'EUR'&a"
                                          << "'EUR'&a";
    QTest::newRow("prefix formed by interval removal") << "DATEDIFF '$''d',&x"
                                                       << "DATEDIFF x";
}

void tst_ConvertSQL::removesCurrencyPrefixes()
{
    QFETCH(QString, query);
    QFETCH(QString, expected);
    QCOMPARE(ConvertSQL(query), expected);
}

void tst_ConvertSQL::leavesCallersTextUnchanged()
{
    const QString query = QStringLiteral("SELECT a  AS [b] FROM t WHERE c=TRUE");
    const QString copy = query;
    const QString result = ConvertSQL(query);
    QCOMPARE(query, copy);
    QCOMPARE(result, QStringLiteral("SELECT a AS 'b' FROM t WHERE c<> 0"));
}

void tst_ConvertSQL::matchesLiteralRulesOnGeneratedQueries()
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
        if (ConvertSQL(query) != expected)
            QFAIL(qPrintable(QStringLiteral("\"%1\" gave \"%2\", expected \"%3\"")
                                 .arg(query, ConvertSQL(query), expected)));
    }
}

QTEST_APPLESS_MAIN(tst_ConvertSQL)
#include "tst_convertsql.moc"
