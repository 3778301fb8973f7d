#include "settings/GetSetupDICfile.h"

#include "data/DataError.h"
#include "data/FieldReader.h"
#include "data/FileRoutines.h"
#include "data/SkippableStep.h"
#include "data/frmadoHelper.h"
#include "numeric/HalfEven.h"
#include "sqlconv/ConvertSQL.h"

#include <QVariant>
#include <array>
#include <cmath>
#include <optional>

namespace {
constexpr int kItemCount = 147;

// Items 1..147 of setup.dic; positions that could not be read stay empty.
std::array<QString, kItemCount + 1> readSetupItems(const QString& path)
{
    std::array<QString, kItemCount + 1> items;
    auto reader = FieldReader::open(path);
    if (!reader)
        return items;
    for (int i = 1; i <= kItemCount; ++i) {
        const auto item = reader->next();
        if (!item)
            break;
        items[i] = *item;
    }
    return items;
}

double toNumber(const QVariant& value)
{
    bool ok = false;
    const double number = value.toDouble(&ok);
    if (!ok || !std::isfinite(number))
        throw DataError(QStringLiteral("Not a number: %1").arg(value.toString()));
    return number;
}

// The value of a column of the current row, or nothing when it is Null.
// A missing column or a missing row throws DataError.
std::optional<QVariant> column(DataControl& control, const QString& name)
{
    const QVariant value = control.Recordset().Fields(name);
    if (value.isNull())
        return std::nullopt;
    return value;
}

// Item 27 names the printer port as "Printer3", "PRINTER 3" or just "3".
std::optional<qint16> printerPortFromItem(const QString& item)
{
    const QString text = item.toUpper().remove(QStringLiteral("PRINTER")).trimmed();
    if (text.isEmpty())
        return std::nullopt;
    bool ok = false;
    const double number = text.toDouble(&ok);
    if (!ok || !std::isfinite(number))
        return std::nullopt;
    return toIntHalfEven<qint16>(number);
}
void applySetupItems(frmadoHelper& helper, const std::array<QString, kItemCount + 1>& items)
{
    helper.CompName = items[11];
    helper.CompStreet = items[12];
    helper.CompCity = items[13];
    helper.CompState = items[14];
    helper.CompZip = items[15];
    helper.CompPhone = items[16];
    helper.CompFax = items[17];
    helper.CompLogo = items[20];
    helper.PicFolder = items[19];
    helper.PictureServer = items[19];
    helper.RepairPicServer = items[147];
    helper.AppraisalTemp = items[64];
    helper.Card1 = items[52];
    helper.Card2 = items[53];
    if (const auto port = printerPortFromItem(items[27]))
        helper.PrinterCom = *port;
}

// Each column stands alone: one that is missing or unreadable keeps its field as it was.
template <typename Assign> void readColumn(DataControl& control, const char* name, Assign assign)
{
    runSkippable([&] {
        if (const auto v = column(control, QString::fromLatin1(name)))
            assign(*v);
    });
}

// The first employee's row holds the store's two taxes.
void readEmployeeTaxes(frmadoHelper& helper)
{
    DataControl& ado = helper.ado;
    ado.CommandType = DataControl::kQueryText;
    ado.RecordSource = QStringLiteral("SELECT * FROM employees ORDER BY EmployeeID");
    // A failed query leaves the previous record set behind; it must not be read.
    if (!runSkippable([&] { ado.Refresh(); }))
        return;
    readColumn(ado, "FedTax", [&](const QVariant& v) { helper.Tax1 = toNumber(v); });
    readColumn(ado, "FedName", [&](const QVariant& v) { helper.Tax1Name = v.toString(); });
    readColumn(ado, "ProTax", [&](const QVariant& v) { helper.Tax2 = toNumber(v); });
    readColumn(ado, "ProName", [&](const QVariant& v) { helper.Tax2Name = v.toString(); });
}

void readCameraChoice(frmadoHelper& helper)
{
    const auto camera = readFirstField(helper.installation().cameraChoiceFile());
    helper.CameraChoice = QStringLiteral("10");
    if (camera == QStringLiteral("XP"))
        helper.CameraChoice = QStringLiteral("XP");
}

// The first employee's row also holds the text-message limits and phones; without
// it the limits stay out of reach and the phones empty.
void readEmployeeMessaging(frmadoHelper& helper)
{
    DataControl& ado5 = helper.ado5;
    ado5.CommandType = DataControl::kQueryText;
    ado5.RecordSource = ConvertSQL(QStringLiteral("SELECT * FROM Employees ORDER BY EmployeeID"));
    const bool rowRead = runSkippable([&] { ado5.Refresh(); });
    if (rowRead)
        runSkippable([&] { ado5.Recordset().MoveFirst(); });

    const struct
    {
        const char* column;
        double* field;
        double fallback;
    } numbers[] = {
        {"SMSDiscount", &helper.SMSDiscount, 100},
        {"SMSRetailValue", &helper.SMSRetailValue, 999999},
        {"SMSReturnValue", &helper.SMSReturnValue, 999999},
    };
    for (const auto& n : numbers) {
        *n.field = n.fallback;
        if (rowRead)
            readColumn(ado5, n.column, [&](const QVariant& v) { *n.field = toNumber(v); });
    }
    const std::pair<const char*, QString*> texts[] = {
        {"SMSDayEndPhone", &helper.SMSDayEndPhone},
        {"SMSDiscountPhone", &helper.SMSDiscountPhone},
        {"SMSItemDeletePhone", &helper.SMSItemDeletePhone},
        {"SMSLogInLogOutPhone", &helper.SMSLogInLogOutPhone},
        {"SMSRetailValuePhone", &helper.SMSRetailValuePhone},
        {"SMSReturnValuePhone", &helper.SMSReturnValuePhone},
    };
    for (const auto& text : texts) {
        *text.second = QString();
        if (rowRead)
            readColumn(ado5, text.first, [&](const QVariant& v) { *text.second = v.toString(); });
    }
}
} // namespace

QStringList GetSetupDICfile(frmadoHelper& helper,
                            const std::function<void(const QString& logoPath)>& loadLogo)
{
    const Installation& installation = helper.installation();
    QStringList markerFailures;
    const auto mark = [&](const QString& word) {
        runSkippable([&] { writeProgressWord(installation, word); }, &markerFailures);
    };
    mark(QStringLiteral("setup"));
    const auto items = readSetupItems(installation.setupDicFile());
    applySetupItems(helper, items);
    if (loadLogo)
        runSkippable([&] { loadLogo(items[20]); });
    readEmployeeTaxes(helper);
    mark(QStringLiteral("camerachoice"));
    readCameraChoice(helper);
    readEmployeeMessaging(helper);
    return markerFailures;
}
