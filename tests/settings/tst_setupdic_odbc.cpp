// The settings reader: setup.dic and camerachoice.ini from the installation
// folder, the employee settings through the suite's data source ODBCCORVANDEL;
// and the daylight-saving box's file.

#include "data/FileRoutines.h"
#include "data/frmadoHelper.h"
#include "settings/GetSetupDICfile.h"
#include "settings/DaylightSetting.h"

#include "TestSupport.h"

#include <QtTest>
#include <memory>

namespace {
using Items = QMap<int, QString>;    // expected texts by item; 27 is PrinterCom
using Lines = QMap<int, QByteArray>; // replaced setup.dic lines by number

// The text fields filled from setup.dic, with their item numbers.
const struct
{
    QString SettingsRecord::*member;
    int item;
} kTextItems[] = {{&SettingsRecord::CompName, 11},      {&SettingsRecord::CompPhone, 16},
                  {&SettingsRecord::CompFax, 17},       {&SettingsRecord::PictureServer, 19},
                  {&SettingsRecord::PicFolder, 19},     {&SettingsRecord::CompLogo, 20},
                  {&SettingsRecord::Card1, 52},         {&SettingsRecord::Card2, 53},
                  {&SettingsRecord::AppraisalTemp, 64}, {&SettingsRecord::RepairPicServer, 147}};

// `count` lines, line n holding "item<n>", with lines replaced.
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

    std::unique_ptr<vesktest::TestOdbcSource> m_source;
    std::unique_ptr<vesktest::TestInstallation> m_inst;
    std::unique_ptr<frmadoHelper> m_helper;
    QStringList m_logoCalls;

    QStringList run()
    {
        return GetSetupDICfile(*m_helper, [this](const QString& path) { m_logoCalls << path; });
    }
    void insertEmployee(int id, const QVariantMap& columns)
    {
        const QStringList names = QStringList{"EmployeeID"} + columns.keys();
        VESK_VERIFY_OK(
            vesktest::exec(m_source->db(),
                           QStringLiteral("INSERT INTO employees (%1) VALUES (?%2)")
                               .arg(names.join(u','), QString(",?").repeated(columns.size())),
                           QVariantList{id} + columns.values()));
    }
    // Fields not named in `changed` keep their values from before the run, or
    // their defaults for the SMS fields.
    void verifyEmployeeFields(const QVariantMap& changed) const
    {
        const frmadoHelper& h = *m_helper;
        const QVariantMap actual{{"Tax1", h.Tax1},
                                 {"Tax1Name", h.Tax1Name},
                                 {"Tax2", h.Tax2},
                                 {"SMSDiscount", h.SMSDiscount},
                                 {"SMSRetailValue", h.SMSRetailValue},
                                 {"SMSReturnValue", h.SMSReturnValue},
                                 {"SMSDayEndPhone", h.SMSDayEndPhone},
                                 {"SMSReturnValuePhone", h.SMSReturnValuePhone}};
        QVariantMap expected{
            {"Tax1", 5},          {"Tax1Name", "old1"},       {"Tax2", 8},
            {"SMSDiscount", 100}, {"SMSRetailValue", 999999}, {"SMSReturnValue", 999999}};
        expected.insert(changed);
        for (auto it = actual.cbegin(); it != actual.cend(); ++it)
            QVERIFY2(it.value().toString() == expected.value(it.key()).toString(),
                     qPrintable(it.key() + ": " + it.value().toString()));
    }

private slots:
    void init()
    {
        m_source = std::make_unique<vesktest::TestOdbcSource>();
        VESK_VERIFY_OK(m_source->error());
        m_inst = std::make_unique<vesktest::TestInstallation>();
        m_inst->useOdbcSuite();
        m_inst->writeConnections();
        m_helper = std::make_unique<frmadoHelper>(m_inst->installation());
        for (const auto& text : kTextItems)
            m_helper.get()->*text.member = QStringLiteral("old");
        m_helper->PrinterCom = 7;
        m_helper->CameraChoice = QStringLiteral("XP");
        m_helper->Tax1 = 5;
        m_helper->Tax1Name = QStringLiteral("old1");
        m_helper->Tax2 = 8;
        m_helper->SMSDiscount = 1;
        m_helper->SMSDayEndPhone = m_helper->SMSReturnValuePhone = QStringLiteral("old");
        m_logoCalls.clear();
    }
    void cleanup()
    {
        m_helper.reset();
        m_inst.reset();
        m_source.reset();
    }

    // Item 27 is "Printer3". Lines -1: no file.
    void fillsFieldsByItemPosition_data()
    {
        QTest::addColumn<int>("lines");
        QTest::addColumn<QByteArray>("lineEnd");
        QTest::newRow("147 lines with CR") << 147 << QByteArray("\r");
        QTest::newRow("200 lines with LF, the rest ignored") << 200 << QByteArray("\n");
        QTest::newRow("19 lines, no logo") << 19 << QByteArray("\r\n");
        QTest::newRow("26 lines, no printer") << 26 << QByteArray("\r\n");
        QTest::newRow("missing file") << -1 << QByteArray();
    }
    void fillsFieldsByItemPosition()
    {
        QFETCH(int, lines);
        QFETCH(QByteArray, lineEnd);
        if (lines >= 0)
            m_inst->writeFile("setup.dic", setupDic(lines, {{27, "Printer3"}}, lineEnd));
        QCOMPARE(run(), QStringList());
        for (const auto& text : kTextItems)
            QCOMPARE(m_helper.get()->*text.member,
                     text.item <= lines ? QStringLiteral("item%1").arg(text.item) : QString());
        QCOMPARE(m_helper->PrinterCom, qint16(lines >= 27 ? 3 : 7));
        QCOMPARE(m_logoCalls, QStringList{lines >= 20 ? "item20" : ""});
        // The steps after the file ran.
        QCOMPARE(m_helper->CameraChoice, QStringLiteral("10"));
        verifyEmployeeFields({});
    }

    void readsItemsByTheFieldRules_data()
    {
        QTest::addColumn<Lines>("lines");
        QTest::addColumn<Items>("expected");
        const auto row = [](const char* name, const Lines& lines, const Items& items) {
            QTest::newRow(name) << lines << items;
        };
        row("unquoted comma splits", {{11, "Smith, Jones"}},
            {{11, "Smith"}, {17, "item16"}, {147, "item146"}});
        row("quoted is read whole", {{11, "\"Smith, Jones\""}}, {{11, "Smith, Jones"}});
        // The two-line item is one; the comma after item 16 opens an empty item 17.
        row("quoted two lines, line ending in a comma",
            {{12, "\"12 Main Street\r\nUnit 3\""}, {16, "555-0100,"}},
            {{16, "555-0100"}, {17, ""}, {19, "item18"}, {27, "7"}, {147, "item146"}});
        row("empty line is an item", {{11, ""}}, {{11, ""}, {16, "item16"}});
        row("PRINTER 3", {{27, "PRINTER 3"}}, {{27, "3"}});
        row("printer12", {{27, "printer12"}}, {{27, "12"}});
        row("half rounds to even", {{27, "Printer 3.5"}}, {{27, "4"}});
        row("COM1 unchanged", {{27, "COM1"}}, {{27, "7"}});
        row("out of range unchanged", {{27, "32767.5"}}, {{27, "7"}});
        row("number then text unchanged", {{27, "3 LPT"}}, {{27, "7"}});
    }
    void readsItemsByTheFieldRules()
    {
        QFETCH(Lines, lines);
        QFETCH(Items, expected);
        m_inst->writeFile("setup.dic", setupDic(147, lines));
        run();
        for (const auto& text : kTextItems)
            if (expected.contains(text.item))
                QCOMPARE(m_helper.get()->*text.member, expected.value(text.item));
        if (expected.contains(27))
            QCOMPARE(QString::number(m_helper->PrinterCom), expected.value(27));
    }

    void choosesCameraFromFirstItem_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("camera");
        QTest::newRow("XP then more") << QByteArray("XP,10\r\n") << "XP";
        QTest::newRow("xp lower case") << QByteArray("xp\r\n") << "10";
        QTest::newRow("empty file") << QByteArray() << "10";
    }
    void choosesCameraFromFirstItem()
    {
        QFETCH(QByteArray, content);
        m_inst->writeFile("camerachoice.ini", content);
        run();
        QTEST(m_helper->CameraChoice, "camera");
    }

    // Neither progress word can be written, the logo cannot be loaded and the
    // employees table is gone: every step still runs.
    void failingStepsDoNotStopTheReader()
    {
        QVERIFY(QDir(m_inst->dir()).mkdir("vesk_error.ini"));
        VESK_VERIFY_OK(vesktest::runSql(m_source->db(), "DROP TABLE employees"));
        m_inst->writeFile("setup.dic", setupDic(147, {{27, "Printer3"}}));
        m_inst->writeFile("camerachoice.ini", "XP");
        const QStringList failures = GetSetupDICfile(*m_helper, [](const QString& path) {
            throw FileError(QStringLiteral("Cannot load %1").arg(path));
        });
        QCOMPARE(failures.size(), 2);
        VESK_VERIFY_CONTAINS(failures[0], "vesk_error.ini");
        for (const auto& text : kTextItems)
            QCOMPARE(m_helper.get()->*text.member, QStringLiteral("item%1").arg(text.item));
        QCOMPARE(m_helper->PrinterCom, qint16(3));
        QCOMPARE(m_helper->CameraChoice, QStringLiteral("XP"));
        verifyEmployeeFields({});
    }

    void onlyTheLowestEmployeeIdCounts()
    {
        const QVariantMap row{{"SMSDiscount", 15},          {"SMSRetailValue", 2500},
                              {"SMSReturnValue", 300},      {"SMSDayEndPhone", "1"},
                              {"SMSReturnValuePhone", "6"}, {"FedTax", 5.5},
                              {"FedName", "GST"},           {"ProTax", 7}};
        insertEmployee(7, {{"FedTax", 1.5}, {"FedName", "wrong"}, {"SMSDiscount", 11}});
        insertEmployee(2, row);
        insertEmployee(9, {{"FedTax", 9.0}, {"SMSReturnValue", 99}});
        run();
        verifyEmployeeFields({{"SMSDiscount", 15},
                              {"SMSRetailValue", 2500},
                              {"SMSReturnValue", 300},
                              {"SMSDayEndPhone", "1"},
                              {"SMSReturnValuePhone", "6"},
                              {"Tax1", 5.5},
                              {"Tax1Name", "GST"},
                              {"Tax2", 7}});
    }

    // Statements run first; the employee row; the fields that change.
    void nullOrMissingValuesKeepTaxesAndDefaultSms_data()
    {
        QTest::addColumn<QString>("statements");
        QTest::addColumn<QVariantMap>("row");
        QTest::addColumn<QVariantMap>("changed");
        QTest::newRow("everything NULL") << "" << QVariantMap{} << QVariantMap{};
        QTest::newRow("empty texts are values, not NULL")
            << "" << QVariantMap{{"FedName", ""}, {"SMSReturnValue", 0}}
            << QVariantMap{{"Tax1Name", ""}, {"SMSReturnValue", 0}};
        QTest::newRow("text that is no number")
            << "" << QVariantMap{{"FedTax", "n/a"}, {"SMSRetailValue", "lots"}} << QVariantMap{};
        QTest::newRow("numbers stored as text")
            << "" << QVariantMap{{"FedTax", "7.25"}, {"SMSDiscount", "12"}}
            << QVariantMap{{"Tax1", 7.25}, {"SMSDiscount", 12}};
        QTest::newRow("missing columns")
            << "DROP TABLE employees;\nCREATE TABLE employees (EmployeeID INTEGER PRIMARY KEY, "
               "FedName TEXT, SMSRetailValue REAL)"
            << QVariantMap{{"FedName", "GST"}, {"SMSRetailValue", 640}}
            << QVariantMap{{"Tax1Name", "GST"}, {"SMSRetailValue", 640}};
    }
    void nullOrMissingValuesKeepTaxesAndDefaultSms()
    {
        QFETCH(QString, statements);
        QFETCH(QVariantMap, row);
        VESK_VERIFY_OK(vesktest::runSql(m_source->db(), statements));
        insertEmployee(1, row);
        m_inst->writeFile(QStringLiteral("camerachoice.ini"), "XP\r\n");
        run();
        QFETCH(QVariantMap, changed);
        verifyEmployeeFields(changed);
        QCOMPARE(m_helper->CameraChoice, QStringLiteral("XP")); // the steps between the queries ran
    }

    // "<none>": no file, "<folder>": a folder in its place.
    void onlyExactTrueTicksTheDaylightBox_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<bool>("ticked");
        QTest::newRow("then more") << QByteArray("true,more\r\n") << true;
        QTest::newRow("blanks, quoted") << QByteArray("  \"true\"\r\n") << true;
        QTest::newRow("True") << QByteArray("True\r\n") << false;
        QTest::newRow("second line") << QByteArray("\r\ntrue\r\n") << false;
        QTest::newRow("missing") << QByteArray("<none>") << false;
        QTest::newRow("folder") << QByteArray("<folder>") << false;
    }
    void onlyExactTrueTicksTheDaylightBox()
    {
        QFETCH(QByteArray, content);
        vesktest::TestInstallation inst;
        if (content == "<folder>")
            QVERIFY(QDir(inst.dir()).mkdir("veskdaylightsavings.ini"));
        else if (content != "<none>")
            inst.writeFile("veskdaylightsavings.ini", content);
        QTEST(readDaylightSetting(inst.installation()), "ticked");
    }
};

QTEST_GUILESS_MAIN(SetupDicTest)
#include "tst_setupdic_odbc.moc"
