// The settings reader: setup.dic and camerachoice.ini from the installation
// folder, the employee settings through the suite's data source ODBCCORVANDEL;
// and the daylight-saving box's file.

#include "data/SqlScript.h"
#include "data/frmadoHelper.h"
#include "settings/DaylightSetting.h"
#include "settings/GetSetupDICfile.h"

#include "TestSupport.h"

#include <QtTest>
#include <memory>

namespace {
using Lines = QMap<int, QByteArray>; // replaced setup.dic lines by number

// `count` lines, line n holding "item<n>", with lines replaced.
QByteArray setupDic(int count, const Lines& replaced = {}, const QByteArray& lineEnd = "\r\n")
{
    QByteArray out;
    for (int n = 1; n <= count; ++n)
        out += replaced.value(n, "item" + QByteArray::number(n)) + lineEnd;
    return out;
}

// Taxes and SMS settings before a run, and the SMS defaults it sets when the
// employee row has no value.
const QString kEmployeeDefaults = QStringLiteral("5|old1|8|100|999999|999999||");
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
    // Items 11, 16, 17, 19 and 147, the printer (item 27), the logo loaded (item 20).
    QString fields() const
    {
        const frmadoHelper& h = *m_helper;
        return QStringList{h.CompName, h.CompPhone, h.CompFax, h.PictureServer, h.RepairPicServer}
                   .join(u'|') +
               QStringLiteral("|%1|").arg(h.PrinterCom) + m_logoCalls.join(u',');
    }
    QString employee() const
    {
        const frmadoHelper& h = *m_helper;
        return QStringLiteral("%1|%2|%3|%4|%5|%6|%7|%8")
            .arg(h.Tax1)
            .arg(h.Tax1Name)
            .arg(h.Tax2)
            .arg(h.SMSDiscount)
            .arg(h.SMSRetailValue)
            .arg(h.SMSReturnValue)
            .arg(h.SMSDayEndPhone, h.SMSReturnValuePhone);
    }

private slots:
    void init()
    {
        m_source = std::make_unique<vesktest::TestOdbcSource>();
        VESK_VERIFY_OK(m_source->error());
        m_inst = std::make_unique<vesktest::TestInstallation>();
        m_inst->writeConnections(); // no [suite]: the suite is reached through the data source
        m_helper = std::make_unique<frmadoHelper>(m_inst->installation());
        frmadoHelper& h = *m_helper;
        h.CompName = h.PictureServer = h.RepairPicServer = h.SMSDayEndPhone =
            h.SMSReturnValuePhone = "old";
        h.PrinterCom = 7;
        h.CameraChoice = "XP";
        h.Tax1 = 5;
        h.Tax1Name = "old1";
        h.Tax2 = 8;
        h.SMSDiscount = 1;
        m_logoCalls.clear();
    }
    void cleanup()
    {
        m_helper.reset();
        m_source.reset();
    }

    // Lines -1: no file. Items past the end are emptied; the printer stays. Only the
    // lowest employee id counts; NULL, text or missing values keep the taxes and give
    // the SMS defaults.
    void fillsFieldsByItemPosition_data()
    {
        QTest::addColumn<int>("lines");
        QTest::addColumn<Lines>("replaced");
        QTest::addColumn<QString>("fields");
        QTest::addColumn<QString>("employees"); // statements run first
        QTest::addColumn<QString>("settings");
        const auto dic = [](const char* name, int lines, const Lines& replaced, const char* f) {
            QTest::newRow(name) << lines << replaced << f << QString() << kEmployeeDefaults;
        };
        const auto staff = [](const char* name, const QString& statements, const QString& s) {
            QTest::newRow(name) << -1 << Lines() << "|||||7|" << statements << s;
        };
        const Lines printer{{27, "Printer3"}};
        dic("147 lines with CR", 147, printer, "item11|item16|item17|item19|item147|3|item20");
        dic("19 lines, no logo", 19, printer, "item11|item16|item17|item19||7|");
        dic("unquoted comma splits", 147, {{11, "Smith, Jones"}},
            "Smith|item15|item16|item18|item146|7|item19");
        // The two-line item is one; the comma after item 16 opens an empty item 17.
        dic("quoted two lines, line ending in a comma", 147,
            {{11, "\"Smith, Jones\""}, {12, "\"1 Main\r\nUnit 3\""}, {16, "0100,"}},
            "Smith, Jones|0100||item18|item146|7|item19");
        dic("PRINTER 3.5 rounds to even", 147, {{27, "PRINTER 3.5"}},
            "item11|item16|item17|item19|item147|4|item20");
        dic("number then text leaves the printer", 147, {{27, "3 LPT"}},
            "item11|item16|item17|item19|item147|7|item20");
        const QString insert = "INSERT INTO employees (EmployeeID, ";
        staff("first employee's settings",
              insert + "FedTax, SMSDiscount) VALUES (7, 1.5, 11);\n" + insert +
                  "SMSDiscount, SMSRetailValue, SMSReturnValue, SMSDayEndPhone, "
                  "SMSReturnValuePhone, FedTax, FedName, ProTax) "
                  "VALUES (2, 15, 2500, 300, '1', '6', 5.5, 'GST', 7)",
              "5.5|GST|7|15|2500|300|1|6");
        staff("employee text that is no number",
              insert + "FedTax, SMSRetailValue) VALUES (1, 'n/a', 'lots')", kEmployeeDefaults);
        staff("missing employee columns",
              "DROP TABLE employees;\nCREATE TABLE employees (EmployeeID INTEGER PRIMARY KEY, "
              "FedName TEXT, SMSRetailValue REAL);\n" +
                  insert + "FedName, SMSRetailValue) VALUES (1, 'GST', 640)",
              "5|GST|8|100|640|999999||");
        staff("no employees table", "DROP TABLE employees", kEmployeeDefaults);
    }
    void fillsFieldsByItemPosition()
    {
        QFETCH(int, lines);
        QFETCH(Lines, replaced);
        QFETCH(QString, employees);
        if (!employees.isEmpty())
            VESK_VERIFY_OK(runSqlScript(m_source->db(), employees));
        if (lines >= 0)
            m_inst->writeFile("setup.dic", setupDic(lines, replaced, lines == 147 ? "\r" : "\r\n"));
        m_inst->writeFile("camerachoice.ini", "xp\r\n"); // only "XP" keeps its camera
        QCOMPARE(run(), QStringList());
        QTEST(fields(), "fields");
        // The steps after the file and between the queries ran.
        QCOMPARE(m_helper->CameraChoice, QStringLiteral("10"));
        QTEST(employee(), "settings");
    }

    // "<none>": no file.
    void onlyExactTrueTicksTheDaylightBox_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<bool>("ticked");
        QTest::newRow("then more") << QByteArray("true,more\r\n") << true;
        QTest::newRow("blanks, quoted") << QByteArray("  \"true\"\r\n") << true;
        QTest::newRow("True") << QByteArray("True\r\n") << false;
        QTest::newRow("missing") << QByteArray("<none>") << false;
    }
    void onlyExactTrueTicksTheDaylightBox()
    {
        QFETCH(QByteArray, content);
        if (content != "<none>")
            m_inst->writeFile("veskdaylightsavings.ini", content);
        QTEST(readDaylightSetting(m_inst->installation()), "ticked");
    }
};

QTEST_GUILESS_MAIN(SetupDicTest)
#include "tst_setupdic_odbc.moc"
