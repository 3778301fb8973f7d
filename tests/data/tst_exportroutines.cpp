#include "data/ExportRoutines.h"

#include "data/Cp1252.h"

#include <QtTest>

#include <stdexcept>

namespace {
QString chars(std::initializer_list<char16_t> codes)
{
    QString s;
    for (const char16_t c : codes)
        s.append(QChar(c));
    return s;
}
} // namespace

class tst_ExportRoutines : public QObject
{
    Q_OBJECT

private slots:
    void cleansTextForExport_data();
    void cleansTextForExport();
    void encryptsPassword_data();
    void encryptsPassword();
    void decryptsPassword_data();
    void decryptsPassword();
    void rejectsUnshiftablePassword_data();
    void rejectsUnshiftablePassword();
    void decryptsWhatItEncrypted_data();
    void decryptsWhatItEncrypted();
};

void tst_ExportRoutines::cleansTextForExport_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");

    QTest::newRow("empty") << ""
                           << "";
    QTest::newRow("plain") << "ring 18k"
                           << "ring 18k";
    QTest::newRow("CR LF") << "a\r\nb"
                           << "a ||| b";
    QTest::newRow("lone LF") << "a\nb"
                             << "a b";
    QTest::newRow("lone CR") << "a\rb"
                             << "a b";
    QTest::newRow("LF then CR") << "a\n\rb"
                                << "a  b";
    QTest::newRow("CR before CR LF") << "a\r\r\nb"
                                     << "a  ||| b";
    QTest::newRow("two line ends") << "\r\n\r\n"
                                   << " |||  ||| ";
    QTest::newRow("quote and comma") << "a\"b,c"
                                     << "a''b;c";
    QTest::newRow("commas") << "1,000,000"
                            << "1;000;000";
    QTest::newRow("single quotes stay") << "it's"
                                        << "it's";
    QTest::newRow("tab stays") << "a\tb"
                               << "a\tb";
    QTest::newRow("curly quote stays") << QStringLiteral("a\u201Db") << QStringLiteral("a\u201Db");
}

void tst_ExportRoutines::cleansTextForExport()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QCOMPARE(CleanStringForExport(text), expected);
}

void tst_ExportRoutines::encryptsPassword_data()
{
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("expected");

    QTest::newRow("letters") << "abc"
                             << "uvw";
    QTest::newRow("empty") << ""
                           << "";
    QTest::newRow("blank inside") << "A1 z" << QStringLiteral("UE4\u017D");
    QTest::newRow("to the euro sign") << "l" << QStringLiteral("\u20AC");
    QTest::newRow("from the euro sign") << QStringLiteral("\u20AC") << QStringLiteral("\u201D");
    QTest::newRow("to an undefined code") << "m" << QStringLiteral("\u0081");
    QTest::newRow("question mark") << "?"
                                   << "S";
    QTest::newRow("highest code") << QStringLiteral("\u00EB") << QStringLiteral("\u00FF");
    QTest::newRow("control code") << chars({0}) << chars({20});
    QTest::newRow("code 12 becomes a blank") << chars({12, u'a'}) << " u";
    QTest::newRow("longer than 16 bits count") << QString(40000, u'a') << QString(40000, u'u');
}

void tst_ExportRoutines::encryptsPassword()
{
    QFETCH(QString, password);
    QFETCH(QString, expected);
    QCOMPARE(EncryptPassword(password), expected);
}

void tst_ExportRoutines::decryptsPassword_data()
{
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("expected");

    QTest::newRow("letters") << "uvw"
                             << "abc";
    QTest::newRow("empty") << ""
                           << "";
    QTest::newRow("windows-1252 letters") << QStringLiteral("UE4\u017D") << "A1 z";
    QTest::newRow("euro sign") << QStringLiteral("\u20AC") << "l";
    QTest::newRow("undefined code") << QStringLiteral("\u0081") << "m";
    QTest::newRow("lowest code") << chars({20}) << chars({0});
    QTest::newRow("to the euro sign") << QStringLiteral("\u201D") << QStringLiteral("\u20AC");
}

void tst_ExportRoutines::decryptsPassword()
{
    QFETCH(QString, password);
    QFETCH(QString, expected);
    QCOMPARE(DecryptPassword(password), expected);
}

void tst_ExportRoutines::rejectsUnshiftablePassword_data()
{
    QTest::addColumn<bool>("encrypt");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("messagePart");

    QTest::newRow("encrypt trailing blank") << true << "abc "
                                            << "leading or trailing blanks";
    QTest::newRow("encrypt leading blank") << true << " abc"
                                           << "leading or trailing blanks";
    QTest::newRow("encrypt only a blank") << true << " "
                                          << "leading or trailing blanks";
    QTest::newRow("decrypt trailing blank") << false << "uvw "
                                            << "leading or trailing blanks";
    QTest::newRow("decrypt of code 12 result") << false << " u"
                                               << "leading or trailing blanks";
    QTest::newRow("encrypt code 236")
        << true << QStringLiteral("ab\u00EC") << "(code 236) at position 3 would become code 256";
    QTest::newRow("encrypt code 255")
        << true << QStringLiteral("\u00FF") << "at position 1 would become code 275";
    QTest::newRow("decrypt code 19")
        << false << chars({u'a', 19}) << "U+0013 (code 19) at position 2 would become code -1";
    QTest::newRow("decrypt code 0") << false << chars({0}) << "would become code -20";
    QTest::newRow("encrypt character outside code page")
        << true << QStringLiteral("a\u0100") << "'\u0100' (U+0100) at position 2 has no";
    QTest::newRow("decrypt character outside code page")
        << false << QStringLiteral("\u4E2D") << "at position 1 has no Windows-1252 code";
    QTest::newRow("encrypt character beyond 16 bits")
        << true << QStringLiteral("x\U0001F48D") << "at position 2 has no Windows-1252 code";
    QTest::newRow("routine named") << false << QString(chars({5})) << "DecryptPassword:";
}

void tst_ExportRoutines::rejectsUnshiftablePassword()
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

void tst_ExportRoutines::decryptsWhatItEncrypted_data()
{
    QTest::addColumn<QString>("password");

    QTest::newRow("word") << "Diamond1";
    QTest::newRow("accents") << QStringLiteral("J\u00E4rg\u00E9");
    QByteArray everyCode("a");
    for (int code = 0; code <= 235; ++code)
        everyCode.append(static_cast<char>(code));
    everyCode.append('a');
    QTest::newRow("every low code") << decodeCp1252(everyCode);
    QTest::newRow("windows-1252 punctuation") << QStringLiteral("\u2018\u2019\u2013\u2122");
}

void tst_ExportRoutines::decryptsWhatItEncrypted()
{
    QFETCH(QString, password);
    const QString encrypted = EncryptPassword(password);
    QCOMPARE(encrypted.size(), password.size());
    QVERIFY(encrypted != password);
    QCOMPARE(DecryptPassword(encrypted), password);
}

QTEST_APPLESS_MAIN(tst_ExportRoutines)
#include "tst_exportroutines.moc"
