#include "sqlconv/ConvertSQL.h"

#include <QtTest>

// Each row pins one rule or one meeting of two rules; their order matters.
class tst_ConvertSQL : public QObject
{
    Q_OBJECT
private slots:
    void translatesByOrderedTextRules_data()
    {
        QTest::addColumn<QString>("query");
        QTest::addColumn<QString>("expected");
        for (const char* row : {
                 // Blank collapsing, skipped for the whole text when it holds "%  %".
                 "     a     b     | a b ",
                 "a  b LIKE '%  %'|a  b LIKE '%  %'",
                 "a  '%   %'|a '% %'",
                 "% '$'& %|%  %",
                 // Bracketed aliases.
                 "SELECT Description AS [Item Name] FROM item|SELECT Description AS 'Item Name' "
                 "FROM item",
                 "a AS[x], b as [y]|a AS 'x', b AS 'y'",
                 "a As [x] aS[y]|a As `x` aS`y`",
                 "SELECT a AS [x, [b] FROM t|SELECT a AS 'x, `b' FROM t",
                 "AS [x AS [y] [z]|AS 'x AS 'y' `z`",
                 "AS [[x]]|AS '`x'`",
                 "has[x]|hAS 'x'",
                 // Fixed rules: case-sensitive, one pass each, in order.
                 "iif Iif IIF IIIF|iif Iif IF IIF",
                 "str(a) Str(b) STR(c) strconv(d) instr(e) InStr(f)|QUOTE(a) QUOTE(b) STR(c) "
                 "strconv(d) instr(e) InQUOTE(f)",
                 "chr(a) Chr(b) len(c) Len(d) LEN(e)|CHAR(a) Chr(b) LENGTH(c) LENGTH(d) LEN(e)",
                 "Day(a) DAY(b) day(c) dAY(d) Weekday(e)|DAYOFMONTH(a) DAYOFMONTH(b) DAYOFMONTH(c) "
                 "dAY(d) WeekDAYOFMONTH(e)",
                 "a = TRUE c = True d=TRUE g = tRUE h <> TRUE|a <> 0 c <> 0 d<> 0 g = tRUE h <> "
                 "TRUE",
                 "FALSE false False fALSE|0 0 0 fALSE",
                 "print(a) Int(b)|pr(a) Int(b)",
                 "a =int(TRUE|a =(TRUE",
                 // Conditional rules act on the whole text once the word is there.
                 "format(a,'0.00') FORMAT(b,'0.00')|format(a,2) FORMAT(b,2)",
                 "SELECT formatted, '0.00'|SELECT formatted, 2",
                 "Format(a,'0.0FALSE')|Format(a,2)",
                 "datediff('d',a,b), 'd','x'|datediff(a,b), 'x'",
                 "DateDiff('d', a, b)|DateDiff('d', a, b)",
                 // Currency prefixes, short forms first.
                 "'$'&a,'$ '&b,'$' &c,'$ ' &d|a,b,c,d",
                 "'EUR'&a|'EUR'&a",
                 "SELECT '$' & Format(Retail,'0.00') FROM item|SELECT Format(Retail,2) FROM item",
             })
            QTest::newRow(row) << QString(row).section('|', 0, 0) << QString(row).section('|', 1);
    }
    void translatesByOrderedTextRules()
    {
        QFETCH(QString, query);
        QTEST(ConvertSQL(query), "expected");
    }
};

QTEST_APPLESS_MAIN(tst_ConvertSQL)
#include "tst_convertsql.moc"
