#include "data/FileRoutines.h"
#include "data/frmadoHelper.h"
#include "settings/GetSetupDICfile.h"

#include "TestSupport.h"

#include <QtTest>
#include <memory>

namespace {
// Expected texts by setup.dic item; item 27 stands for PrinterCom.
using Items = QMap<int, QString>;
// Replaced setup.dic lines by line number.
using Lines = QMap<int, QByteArray>;

// The text fields the reader fills from setup.dic, with their item positions.
const struct
{
    QString SettingsRecord::*member;
    int item;
} kTextItems[] = {{&SettingsRecord::CompName, 11},      {&SettingsRecord::CompStreet, 12},
                  {&SettingsRecord::CompCity, 13},      {&SettingsRecord::CompState, 14},
                  {&SettingsRecord::CompZip, 15},       {&SettingsRecord::CompPhone, 16},
                  {&SettingsRecord::CompFax, 17},       {&SettingsRecord::PictureServer, 19},
                  {&SettingsRecord::PicFolder, 19},     {&SettingsRecord::CompLogo, 20},
                  {&SettingsRecord::Card1, 52},         {&SettingsRecord::Card2, 53},
                  {&SettingsRecord::AppraisalTemp, 64}, {&SettingsRecord::RepairPicServer, 147}};

// A setup.dic of `count` lines, line n holding "item<n>", with lines replaced.
QByteArray setupDic(int count, const Lines& replaced = {}, const QByteArray& lineEnd = "\r\n")
{
    QByteArray out;
    for (int n = 1; n <= count; ++n)
        out += replaced.value(n, "item" + QByteArray::number(n)) + lineEnd;
    return out;
}
} // namespace

class SetupDicTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<vesktest::TestInstallation> m_inst;
    std::unique_ptr<frmadoHelper> m_helper;
    QStringList m_logoCalls;

    void presetFields()
    {
        for (const auto& text : kTextItems)
            m_helper.get()->*text.member = QStringLiteral("old");
        m_helper->PrinterCom = 7;
        m_helper->CameraChoice = QStringLiteral("XP");
    }
    QStringList run()
    {
        return GetSetupDICfile(*m_helper, [this](const QString& path) { m_logoCalls << path; });
    }

private slots:
    void init()
    {
        m_inst = std::make_unique<vesktest::TestInstallation>();
        // The suite database is a file that does not exist: every query fails the
        // same way on every machine, whatever data source the machine defines.
        m_inst->useSqlite(QStringLiteral("suite"), QStringLiteral("absent.sqlite"));
        m_inst->writeConnections();
        m_helper = std::make_unique<frmadoHelper>(m_inst->installation());
        m_logoCalls.clear();
        presetFields();
    }

    void cleanup()
    {
        m_helper.reset();
        m_inst.reset();
    }

    // Item 27 is "Printer3". Lines -1: no file; -2: a folder in its place.
    void fillsFieldsByItemPosition_data()
    {
        QTest::addColumn<int>("lines");
        QTest::addColumn<QByteArray>("lineEnd");
        QTest::newRow("147 lines") << 147 << QByteArray("\r\n");
        QTest::newRow("200 lines with LF, the rest ignored") << 200 << QByteArray("\n");
        QTest::newRow("147 lines with CR") << 147 << QByteArray("\r");
        QTest::newRow("19 lines, no logo") << 19 << QByteArray("\r\n");
        QTest::newRow("26 lines, no printer") << 26 << QByteArray("\r\n");
        QTest::newRow("empty file") << 0 << QByteArray("\r\n");
        QTest::newRow("missing file") << -1 << QByteArray();
        QTest::newRow("folder in its place") << -2 << QByteArray();
    }
    void fillsFieldsByItemPosition()
    {
        QFETCH(int, lines);
        QFETCH(QByteArray, lineEnd);
        m_inst->writeFile("vesk_error.ini", "veskdaylightsavings\r\n");
        if (lines == -2)
            QVERIFY(QDir(m_inst->dir()).mkdir("setup.dic"));
        else if (lines >= 0)
            m_inst->writeFile("setup.dic", setupDic(lines, {{27, "Printer3"}}, lineEnd));
        QCOMPARE(run(), QStringList());
        for (const auto& text : kTextItems)
            QCOMPARE(m_helper.get()->*text.member,
                     text.item <= lines ? QStringLiteral("item%1").arg(text.item) : QString());
        QCOMPARE(m_helper->PrinterCom, qint16(lines >= 27 ? 3 : 7));
        QCOMPARE(m_logoCalls, QStringList{lines >= 20 ? "item20" : ""});
        // The steps after the file ran.
        QCOMPARE(m_helper->CameraChoice, QStringLiteral("10"));
        QCOMPARE(m_helper->SMSDiscount, 100.0);
        QFile marker(m_inst->path("vesk_error.ini"));
        QVERIFY(marker.open(QIODevice::ReadOnly));
        QCOMPARE(marker.readAll(), QByteArray("camerachoice\r\n"));
    }

    // PrinterCom was 7 before.
    void readsItemsByTheFieldRules_data()
    {
        QTest::addColumn<Lines>("lines");
        QTest::addColumn<Items>("expected");
        const auto row = [](const char* name, const Lines& lines, const Items& items) {
            QTest::newRow(name) << lines << items;
        };
        row("unquoted comma in company name splits it", {{11, "Smith, Jones and Co"}},
            {{11, "Smith"},
             {12, "Jones and Co"},
             {17, "item16"},
             {19, "item18"},
             {147, "item146"}});
        row("quoted company name is read whole", {{11, "\"Smith, Jones and Co\""}},
            {{11, "Smith, Jones and Co"}, {12, "item12"}, {147, "item147"}});
        // The two-line street is one item; the comma after the phone opens an
        // empty item 17, so every later item moves down by one.
        row("quoted two-line street, line ending in a comma",
            {{12, "\"12 Main Street\r\nUnit 3\""}, {16, "555-0100,"}},
            {{11, "item11"},
             {12, "12 Main Street\r\nUnit 3"},
             {13, "item13"},
             {16, "555-0100"},
             {17, ""},
             {19, "item18"},
             {20, "item19"},
             {27, "7"},
             {52, "item51"},
             {53, "item52"},
             {64, "item63"},
             {147, "item146"}});
        row("empty line as item 12", {{12, ""}}, {{12, ""}, {13, "item13"}, {147, "item147"}});
        row("blanks around a value", {{13, "   Springfield  "}}, {{13, "Springfield"}});
        row("PRINTER 3", {{27, "PRINTER 3"}}, {{27, "3"}});
        row("printer12", {{27, "printer12"}}, {{27, "12"}});
        row("half rounds down to even", {{27, "2.5"}}, {{27, "2"}});
        row("half rounds up to even", {{27, "Printer 3.5"}}, {{27, "4"}});
        row("smallest port", {{27, "-32768"}}, {{27, "-32768"}});
        row("COM1 unchanged", {{27, "COM1"}}, {{27, "7"}});
        row("only the word unchanged", {{27, "Printer"}}, {{27, "7"}});
        row("rounds out of range unchanged", {{27, "32767.5"}}, {{27, "7"}});
        row("infinity unchanged", {{27, "inf"}}, {{27, "7"}});
        row("number then text unchanged", {{27, "3 LPT"}}, {{27, "7"}});
    }
    void readsItemsByTheFieldRules()
    {
        QFETCH(Lines, lines);
        QFETCH(Items, expected);
        m_inst->writeFile("setup.dic", setupDic(147, lines));
        run();
        for (const auto& text : kTextItems) {
            if (expected.contains(text.item))
                QCOMPARE(m_helper.get()->*text.member, expected.value(text.item));
        }
        if (expected.contains(27))
            QCOMPARE(QString::number(m_helper->PrinterCom), expected.value(27));
    }

    void choosesCameraFromFirstItem_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("camera");
        QTest::newRow("XP then more") << QByteArray("XP,10\r\n") << "XP";
        QTest::newRow("10") << QByteArray("10\r\n") << "10";
        QTest::newRow("xp lower case") << QByteArray("xp\r\n") << "10";
        QTest::newRow("other text") << QByteArray("Vista\r\n") << "10";
        QTest::newRow("empty file") << QByteArray() << "10";
    }
    void choosesCameraFromFirstItem()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, camera);
        m_inst->writeFile("camerachoice.ini", content);
        run();
        QCOMPARE(m_helper->CameraChoice, camera);
    }

    // A folder named like the marker file: neither word can be written, and
    // every step still runs.
    void markerFailureStillFillsEverySetting()
    {
        QVERIFY(QDir(m_inst->dir()).mkdir("vesk_error.ini"));
        m_inst->writeFile("setup.dic", setupDic(147, {{27, "Printer3"}}));
        const QStringList failures = run();
        QCOMPARE(failures.size(), 2);
        QVERIFY2(failures[0].contains("vesk_error.ini"), qPrintable(failures[0]));
        for (const auto& text : kTextItems)
            QCOMPARE(m_helper.get()->*text.member, QStringLiteral("item%1").arg(text.item));
        QCOMPARE(m_helper->PrinterCom, qint16(3));
        QCOMPARE(m_logoCalls, QStringList{"item20"});
        QCOMPARE(m_helper->CameraChoice, QStringLiteral("10"));
        QCOMPARE(m_helper->SMSDiscount, 100.0);
    }

    // The suite database is absent and the logo cannot be loaded.
    void failingStepsDoNotStopTheReader()
    {
        m_helper->Tax1 = 5;
        m_helper->Tax2Name = QStringLiteral("PST");
        m_helper->SMSRetailValue = 2;
        m_helper->SMSReturnValuePhone = QStringLiteral("555-0199");
        m_inst->writeFile("setup.dic", setupDic(147));
        m_inst->writeFile("camerachoice.ini", "XP");
        GetSetupDICfile(*m_helper, [](const QString& path) {
            throw FileError(QStringLiteral("Cannot load %1").arg(path));
        });
        QCOMPARE(m_helper->CompLogo, QStringLiteral("item20"));
        QCOMPARE(m_helper->CameraChoice, QStringLiteral("XP"));
        QCOMPARE(m_helper->Tax1, 5.0);
        QCOMPARE(m_helper->Tax2Name, QStringLiteral("PST"));
        QCOMPARE(m_helper->SMSRetailValue, 999999.0);
        QCOMPARE(m_helper->SMSReturnValuePhone, QString());
        QVERIFY(!QFile::exists(m_inst->path("absent.sqlite")));
    }
};

QTEST_GUILESS_MAIN(SetupDicTest)
#include "tst_setupdic.moc"
