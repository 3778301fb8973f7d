#include "data/FileRoutines.h"
#include "data/Installation.h"
#include "data/frmadoHelper.h"
#include "settings/GetSetupDICfile.h"

#include "TestSupport.h"

#include <QFile>
#include <QtTest>
#include <memory>

namespace {
// The text fields the reader fills from setup.dic, with their item positions.
const QList<QPair<QString, int>> kTextItems = {
    {"CompName", 11},      {"CompStreet", 12},       {"CompCity", 13}, {"CompState", 14},
    {"CompZip", 15},       {"CompPhone", 16},        {"CompFax", 17},  {"PictureServer", 19},
    {"PicFolder", 19},     {"CompLogo", 20},         {"Card1", 52},    {"Card2", 53},
    {"AppraisalTemp", 64}, {"RepairPicServer", 147},
};

QString SettingsRecord::*textMember(const QString& name)
{
    static const QHash<QString, QString SettingsRecord::*> members = {
        {"CompName", &SettingsRecord::CompName},
        {"CompStreet", &SettingsRecord::CompStreet},
        {"CompCity", &SettingsRecord::CompCity},
        {"CompState", &SettingsRecord::CompState},
        {"CompZip", &SettingsRecord::CompZip},
        {"CompPhone", &SettingsRecord::CompPhone},
        {"CompFax", &SettingsRecord::CompFax},
        {"PictureServer", &SettingsRecord::PictureServer},
        {"PicFolder", &SettingsRecord::PicFolder},
        {"CompLogo", &SettingsRecord::CompLogo},
        {"Card1", &SettingsRecord::Card1},
        {"Card2", &SettingsRecord::Card2},
        {"AppraisalTemp", &SettingsRecord::AppraisalTemp},
        {"RepairPicServer", &SettingsRecord::RepairPicServer},
    };
    return members.value(name);
}

// A setup.dic of `count` lines, line n holding "item<n>", with lines replaced.
QByteArray setupDic(int count, const QMap<int, QByteArray>& replaced = {},
                    const QByteArray& lineEnd = "\r\n")
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

    void writeInstallationFile(const QString& name, const QByteArray& bytes)
    {
        m_inst->writeFile(name, bytes);
    }
    QByteArray readInstallationFile(const QString& name) const
    {
        QFile file(m_inst->path(name));
        if (!file.open(QIODevice::ReadOnly))
            return "<missing>";
        return file.readAll();
    }
    void presetFields()
    {
        for (const auto& [name, item] : kTextItems)
            m_helper.get()->*textMember(name) = QStringLiteral("old");
        m_helper->PrinterCom = 7;
        m_helper->CameraChoice = QStringLiteral("XP");
    }
    void run()
    {
        GetSetupDICfile(*m_helper, [this](const QString& path) { m_logoCalls << path; });
    }
    QString field(const QString& name) const { return m_helper.get()->*textMember(name); }

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

    void fillsFieldsByItemPosition_data()
    {
        QTest::addColumn<int>("lines");
        QTest::addColumn<QByteArray>("lineEnd");
        QTest::newRow("147 lines") << 147 << QByteArray("\r\n");
        QTest::newRow("200 lines, the rest ignored") << 200 << QByteArray("\r\n");
        QTest::newRow("147 lines with LF") << 147 << QByteArray("\n");
        QTest::newRow("147 lines with CR") << 147 << QByteArray("\r");
    }
    void fillsFieldsByItemPosition()
    {
        QFETCH(int, lines);
        QFETCH(QByteArray, lineEnd);
        writeInstallationFile("setup.dic", setupDic(lines, {{27, "Printer3"}}, lineEnd));
        run();
        for (const auto& [name, item] : kTextItems)
            QCOMPARE(field(name), QStringLiteral("item%1").arg(item));
        QCOMPARE(m_helper->PrinterCom, qint16(3));
        QCOMPARE(m_logoCalls, QStringList{"item20"});
    }

    void shortFileEmptiesMissingPositions_data()
    {
        QTest::addColumn<int>("lines");
        QTest::newRow("empty file") << 0;
        QTest::newRow("10 lines") << 10;
        QTest::newRow("15 lines") << 15;
        QTest::newRow("19 lines") << 19;
        QTest::newRow("26 lines") << 26;
        QTest::newRow("52 lines") << 52;
        QTest::newRow("146 lines") << 146;
    }
    void shortFileEmptiesMissingPositions()
    {
        QFETCH(int, lines);
        writeInstallationFile("setup.dic", setupDic(lines, {{27, "Printer5"}}));
        run();
        for (const auto& [name, item] : kTextItems) {
            const QString expected = item <= lines ? QStringLiteral("item%1").arg(item) : QString();
            QCOMPARE(field(name), expected);
        }
        QCOMPARE(m_helper->PrinterCom, qint16(lines >= 27 ? 5 : 7));
        QCOMPARE(m_logoCalls, QStringList{lines >= 20 ? "item20" : ""});
    }

    void itemBoundariesFollowTheFieldRules_data()
    {
        QTest::addColumn<int>("line");
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QVariantMap>("expected");
        QTest::newRow("unquoted comma in company name splits it")
            << 11 << QByteArray("Smith, Jones and Co")
            << QVariantMap{{"CompName", "Smith"},         {"CompStreet", "Jones and Co"},
                           {"CompCity", "item12"},        {"CompFax", "item16"},
                           {"PictureServer", "item18"},   {"CompLogo", "item19"},
                           {"Card1", "item51"},           {"AppraisalTemp", "item63"},
                           {"RepairPicServer", "item146"}};
        QTest::newRow("quoted company name is read whole")
            << 11 << QByteArray("\"Smith, Jones and Co\"")
            << QVariantMap{{"CompName", "Smith, Jones and Co"},
                           {"CompStreet", "item12"},
                           {"PictureServer", "item19"},
                           {"RepairPicServer", "item147"}};
        QTest::newRow("empty line as item 12") << 12 << QByteArray()
                                               << QVariantMap{{"CompName", "item11"},
                                                              {"CompStreet", ""},
                                                              {"CompCity", "item13"},
                                                              {"RepairPicServer", "item147"}};
        QTest::newRow("blanks around a value")
            << 13 << QByteArray("   Springfield  ") << QVariantMap{{"CompCity", "Springfield"}};
        QTest::newRow("Windows-1252 company name")
            << 11
            << QByteArray("Bijouterie M\xFC"
                          "ller")
            << QVariantMap{{"CompName", QString::fromUtf8("Bijouterie Müller")},
                           {"CompStreet", "item12"}};
        QTest::newRow("quoted picture folder with comma")
            << 19 << QByteArray("\"\\\\server\\pics, new\\\"")
            << QVariantMap{{"PictureServer", "\\\\server\\pics, new\\"},
                           {"PicFolder", "\\\\server\\pics, new\\"},
                           {"CompLogo", "item20"}};
    }
    void itemBoundariesFollowTheFieldRules()
    {
        QFETCH(int, line);
        QFETCH(QByteArray, content);
        QFETCH(QVariantMap, expected);
        writeInstallationFile("setup.dic", setupDic(147, {{line, content}}));
        run();
        for (auto it = expected.cbegin(); it != expected.cend(); ++it)
            QCOMPARE(field(it.key()), it.value().toString());
    }

    void convertsItem27ToPrinterPort_data()
    {
        QTest::addColumn<QByteArray>("item");
        QTest::addColumn<int>("printerCom");
        QTest::newRow("Printer3") << QByteArray("Printer3") << 3;
        QTest::newRow("PRINTER 3") << QByteArray("PRINTER 3") << 3;
        QTest::newRow("printer12") << QByteArray("printer12") << 12;
        QTest::newRow("plain 3") << QByteArray("3") << 3;
        QTest::newRow("half rounds down to even") << QByteArray("2.5") << 2;
        QTest::newRow("half rounds up to even") << QByteArray("3.5") << 4;
        QTest::newRow("fraction rounds to nearest") << QByteArray("Printer 2.6") << 3;
        QTest::newRow("negative") << QByteArray("-2") << -2;
        QTest::newRow("largest") << QByteArray("32767") << 32767;
        QTest::newRow("smallest") << QByteArray("-32768") << -32768;
        QTest::newRow("COM1 unchanged") << QByteArray("COM1") << 7;
        QTest::newRow("empty unchanged") << QByteArray() << 7;
        QTest::newRow("only the word unchanged") << QByteArray("Printer") << 7;
        QTest::newRow("too large unchanged") << QByteArray("40000") << 7;
        QTest::newRow("rounds out of range unchanged") << QByteArray("32767.5") << 7;
        QTest::newRow("infinity unchanged") << QByteArray("inf") << 7;
        QTest::newRow("not a number unchanged") << QByteArray("nan") << 7;
        QTest::newRow("number then text unchanged") << QByteArray("3 LPT") << 7;
    }
    void convertsItem27ToPrinterPort()
    {
        QFETCH(QByteArray, item);
        QFETCH(int, printerCom);
        writeInstallationFile("setup.dic", setupDic(147, {{27, item}}));
        run();
        QCOMPARE(int(m_helper->PrinterCom), printerCom);
    }

    void choosesCameraFromFirstItem_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("camera");
        QTest::newRow("XP") << QByteArray("XP\r\n") << "XP";
        QTest::newRow("10") << QByteArray("10\r\n") << "10";
        QTest::newRow("xp lower case") << QByteArray("xp\r\n") << "10";
        QTest::newRow("XP then more") << QByteArray("XP,10\r\n") << "XP";
        QTest::newRow("quoted XP") << QByteArray("\"XP\"") << "XP";
        QTest::newRow("blanks before XP") << QByteArray("  XP") << "XP";
        QTest::newRow("other text") << QByteArray("Vista\r\n") << "10";
        QTest::newRow("empty file") << QByteArray() << "10";
        QTest::newRow("missing file") << QByteArray("<none>") << "10";
    }
    void choosesCameraFromFirstItem()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, camera);
        if (content != "<none>")
            writeInstallationFile("camerachoice.ini", content);
        run();
        QCOMPARE(m_helper->CameraChoice, camera);
    }

    void unreadableSetupDicEmptiesTextFields_data()
    {
        QTest::addColumn<bool>("folder");
        QTest::newRow("missing") << false;
        QTest::newRow("folder in its place") << true;
    }
    void unreadableSetupDicEmptiesTextFields()
    {
        QFETCH(bool, folder);
        if (folder)
            QVERIFY(QDir(m_inst->dir()).mkdir("setup.dic"));
        writeInstallationFile("camerachoice.ini", "XP\r\n");
        run();
        for (const auto& [name, item] : kTextItems)
            QCOMPARE(field(name), QString());
        QCOMPARE(m_helper->PrinterCom, qint16(7));
        QCOMPARE(m_logoCalls, QStringList{QString()});
        // The steps after the file still ran.
        QCOMPARE(m_helper->CameraChoice, QStringLiteral("XP"));
        QCOMPARE(m_helper->SMSDiscount, 100.0);
    }

    void leavesCameraChoiceAsLastProgressWord()
    {
        writeInstallationFile("vesk_error.ini", "veskdaylightsavings\r\n");
        writeInstallationFile("setup.dic", setupDic(147));
        run();
        QCOMPARE(readInstallationFile("vesk_error.ini"), QByteArray("camerachoice\r\n"));
    }

    void missingInstallationFolderFailsBeforeAnyField()
    {
        m_helper = std::make_unique<frmadoHelper>(Installation(m_inst->path("corvandel")));
        presetFields();
        QVERIFY_THROWS_EXCEPTION(FileError, run());
        QCOMPARE(m_helper->CompName, QStringLiteral("old"));
        QCOMPARE(m_helper->CameraChoice, QStringLiteral("XP"));
        QVERIFY(m_logoCalls.isEmpty());
    }

    void failingLogoDoesNotStopTheReader()
    {
        writeInstallationFile("setup.dic", setupDic(147));
        writeInstallationFile("camerachoice.ini", "XP");
        GetSetupDICfile(*m_helper, [](const QString& path) {
            throw FileError(QStringLiteral("Cannot load %1").arg(path));
        });
        QCOMPARE(m_helper->CompLogo, QStringLiteral("item20"));
        QCOMPARE(m_helper->CameraChoice, QStringLiteral("XP"));
        QCOMPARE(m_helper->SMSReturnValue, 999999.0);
    }

    void unreachableDatabaseKeepsTaxesAndDefaultsSmsFields()
    {
        m_helper->Tax1 = 5;
        m_helper->Tax1Name = QStringLiteral("GST");
        m_helper->Tax2 = 8;
        m_helper->Tax2Name = QStringLiteral("PST");
        m_helper->SMSDiscount = 1;
        m_helper->SMSRetailValue = 2;
        m_helper->SMSReturnValue = 3;
        m_helper->SMSDayEndPhone = QStringLiteral("555-0100");
        m_helper->SMSReturnValuePhone = QStringLiteral("555-0199");
        writeInstallationFile("setup.dic", setupDic(147));
        run();
        QCOMPARE(m_helper->Tax1, 5.0);
        QCOMPARE(m_helper->Tax1Name, QStringLiteral("GST"));
        QCOMPARE(m_helper->Tax2, 8.0);
        QCOMPARE(m_helper->Tax2Name, QStringLiteral("PST"));
        QCOMPARE(m_helper->SMSDiscount, 100.0);
        QCOMPARE(m_helper->SMSRetailValue, 999999.0);
        QCOMPARE(m_helper->SMSReturnValue, 999999.0);
        QCOMPARE(m_helper->SMSDayEndPhone, QString());
        QCOMPARE(m_helper->SMSReturnValuePhone, QString());
        QVERIFY(!QFile::exists(m_inst->path("absent.sqlite")));
        QCOMPARE(m_helper->CompName, QStringLiteral("item11"));
    }

    void runsWithoutLogoLoader()
    {
        writeInstallationFile("setup.dic", setupDic(147));
        GetSetupDICfile(*m_helper, {});
        QCOMPARE(m_helper->CompLogo, QStringLiteral("item20"));
        QCOMPARE(m_helper->CameraChoice, QStringLiteral("10"));
    }
};

QTEST_GUILESS_MAIN(SetupDicTest)
#include "tst_setupdic.moc"
