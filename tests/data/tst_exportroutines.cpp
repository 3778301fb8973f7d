#include "data/ExportRoutines.h"

#include "data/Cp1252.h"

#include <QtTest>

#include <stdexcept>

namespace {
QString chars(std::initializer_list<char16_t> codes)
{
    return QString::fromUtf16(codes.begin(), qsizetype(codes.size()));
}

void row(const char* name, const QString& text, const QString& expected)
{
    QTest::newRow(name) << text << expected;
}
} // namespace

class tst_ExportRoutines : public QObject
{
    Q_OBJECT

private slots:
    void cleansTextForExport_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        row("CR LF", "a\r\nb", "a ||| b");
        row("lone LF, lone CR", "a\nb\rc", "a b c");
        row("LF then CR", "a\n\rb", "a  b");
        row("CR before CR LF", "a\r\r\nb", "a  ||| b");
        row("quote and comma", "a\"b,c", "a''b;c");
        row("single quote and tab stay", "it's\t", "it's\t");
    }
    void cleansTextForExport()
    {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        QCOMPARE(CleanStringForExport(text), expected);
    }

    // Both ways, unless the scrambled text begins or ends with a blank.
    void shiftsCodesByTwenty_data()
    {
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("scrambled");
        row("letters", "abc", "uvw");
        row("empty", "", "");
        row("question mark is a code", "?", "S");
        row("to and from the euro sign", QStringLiteral("l\u20AC"), QStringLiteral("\u20AC\u201D"));
        row("to an undefined code", "m", QStringLiteral("\u0081"));
        row("highest and lowest code", chars({0xEB, 0}), chars({0xFF, 20}));
        row("code 12 becomes a blank", chars({12, u'a'}), " u");
        row("longer than 16 bits count", QString(40000, u'a'), QString(40000, u'u'));
    }
    void shiftsCodesByTwenty()
    {
        QFETCH(QString, password);
        QFETCH(QString, scrambled);
        QCOMPARE(EncryptPassword(password), scrambled);
        if (!scrambled.startsWith(u' ') && !scrambled.endsWith(u' '))
            QCOMPARE(DecryptPassword(scrambled), password);
    }

    void decryptsWhatItEncryptedForEveryLowCode()
    {
        QByteArray everyCode("a");
        for (int code = 0; code <= 235; ++code)
            everyCode.append(static_cast<char>(code));
        const QString password = decodeCp1252(everyCode + 'a');
        QCOMPARE(DecryptPassword(EncryptPassword(password)), password);
    }

    void rejectsUnshiftablePassword_data()
    {
        QTest::addColumn<bool>("encrypt");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("messagePart");
        const auto row = [](const char* name, bool encrypt, const QString& password,
                            const char* part) {
            QTest::newRow(name) << encrypt << password << QString::fromUtf8(part);
        };
        const char* blanks = "leading or trailing blanks";
        row("encrypt trailing blank", true, "abc ", blanks);
        row("encrypt leading blank", true, " abc", blanks);
        row("decrypt of code 12 result", false, " u", blanks);
        row("encrypt code 236", true, "ab\u00EC", "(code 236) at position 3 would become code 256");
        row("decrypt code 19", false, chars({u'a', 19}), "U+0013 (code 19) at position 2");
        row("outside code page", true, "a\u0100", "'\u0100' (U+0100) at position 2 has no");
        row("beyond 16 bits", false, "x\U0001F48D", "at position 2 has no Windows-1252 code");
        row("routine named", false, chars({5}), "DecryptPassword:");
    }
    void rejectsUnshiftablePassword()
    {
        QFETCH(bool, encrypt);
        QFETCH(QString, password);
        QFETCH(QString, messagePart);
        try {
            const QString result = encrypt ? EncryptPassword(password) : DecryptPassword(password);
            QFAIL(qPrintable("no error, result " + result));
        } catch (const std::invalid_argument& e) {
            const QString message = QString::fromStdString(e.what());
            QVERIFY2(message.contains(messagePart), qPrintable(message));
        }
    }
};

QTEST_APPLESS_MAIN(tst_ExportRoutines)
#include "tst_exportroutines.moc"
