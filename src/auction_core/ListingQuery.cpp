#include "auction_core/ListingQuery.h"

#include "auction_core/AuctionGrid.h"
#include "auction_core/ItemRow.h"
#include "data/DataError.h"
#include "data/RecordSet.h"
#include "numeric/HalfEven.h"
#include "sqlconv/ConvertSQL.h"
#include "timeconv/UnixTime.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <stdexcept>

namespace {
// A whole number from a database value: integer types, integral floating-point
// values and decimal text; none for NULL and for anything else.
std::optional<qint64> wholeNumber(const QVariant& value)
{
    if (value.isNull())
        return std::nullopt;
    switch (value.metaType().id()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::LongLong:
    case QMetaType::Short:
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::UChar:
    case QMetaType::UShort:
        return value.toLongLong();
    case QMetaType::ULong:
    case QMetaType::ULongLong: {
        const qulonglong n = value.toULongLong();
        if (n > qulonglong(std::numeric_limits<qint64>::max()))
            return std::nullopt;
        return qint64(n);
    }
    case QMetaType::Double:
    case QMetaType::Float: {
        const double d = value.toDouble();
        // 2^63 itself does not fit; every double below it that is whole does.
        if (!std::isfinite(d) || d != std::trunc(d) || d >= 9223372036854775808.0 ||
            d < -9223372036854775808.0)
            return std::nullopt;
        return qint64(d);
    }
    default:
        break;
    }
    bool ok = false;
    const qint64 n = value.toString().trimmed().toLongLong(&ok);
    return ok ? std::optional<qint64>(n) : std::nullopt;
}

std::optional<double> number(const QVariant& value)
{
    if (value.isNull())
        return std::nullopt;
    bool ok = false;
    const double d = value.metaType().id() == QMetaType::QString
                         ? value.toString().trimmed().toDouble(&ok)
                         : value.toDouble(&ok);
    if (!ok || !std::isfinite(d))
        return std::nullopt;
    return d;
}

QString text(const QVariant& value)
{
    return value.isNull() ? QString() : value.toString();
}

bool fits32(qint64 n)
{
    return n >= std::numeric_limits<qint32>::min() && n <= std::numeric_limits<qint32>::max();
}
} // namespace

QString listingStatementHead()
{
    return QStringLiteral("SELECT * FROM item WHERE SKU LIKE '");
}

QString listingBasePiece(const QString& patternBody)
{
    return listingStatementHead() + patternBody + QStringLiteral("%'  ");
}

QStringList listingFilterPieces(const ListingFilters& filters, qint32 now)
{
    const QString stamp = QString::number(now);
    QStringList pieces;
    if (filters.past)
        pieces << QStringLiteral(" AND auction_until_unix <") + stamp +
                      QStringLiteral(" AND auction_until_unix<>0 ");
    if (filters.current)
        pieces << QStringLiteral(" AND auction_until_unix >") + stamp +
                      QStringLiteral(" AND auction_until_unix<>0 ");
    if (filters.free)
        pieces << QStringLiteral(" AND auction_until_unix = 0 ");
    if (filters.limit)
        pieces << QStringLiteral(" LIMIT %1 ").arg(kListingLimit);
    return pieces;
}

QString likePatternBody(const QString& typed, bool backslashEscapesInLike)
{
    if (!backslashEscapesInLike)
        return typed;
    QString body = typed;
    body.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    return body;
}

QString convertSqlKeepingLiteral(const QString& statement, qsizetype start, qsizetype length)
{
    if (start < 0 || length < 0 || start + length > statement.size())
        throw std::out_of_range("convertSqlKeepingLiteral: the literal lies outside the statement");
    const QString before = statement.left(start);
    const QString literal = statement.mid(start, length);
    const QString after = statement.mid(start + length);

    // A private-use character stands in for the literal: no rule matches it, so
    // it comes through the translation as one character of its own.
    QChar placeholder(0xE000);
    while (before.contains(placeholder) || after.contains(placeholder))
        placeholder = QChar(placeholder.unicode() + 1);

    QString translated = ConvertSQL(before + placeholder + after);
    const qsizetype at = translated.indexOf(placeholder);
    if (at < 0 || translated.indexOf(placeholder, at + 1) >= 0)
        throw std::logic_error("convertSqlKeepingLiteral: the literal's place was lost");
    translated.replace(at, 1, literal);
    return translated;
}

QString formatRetail(double value, const QLocale& locale)
{
    // A small negative amount rounds to zero, shown without a sign.
    if (value < 0 && value > -0.005)
        value = 0;
    QLocale grouped = locale;
    grouped.setNumberOptions(locale.numberOptions() & ~QLocale::OmitGroupSeparator);
    return grouped.toString(value, 'f', 2);
}

QString formatAuctionDate(const QDate& date, const QLocale& locale)
{
    return locale.toString(date, auctiongrid::kDateFormat);
}

QString formatAuctionTime(const QTime& time, const QLocale& locale)
{
    return locale.toString(time, auctiongrid::kTimeFormat);
}

AuctionState auctionState(qint64 stamp, qint32 now)
{
    if (stamp < now && stamp != 0)
        return AuctionState::Past;
    if (stamp > now)
        return AuctionState::Running;
    return AuctionState::None;
}

QColor stateColour(AuctionState state)
{
    switch (state) {
    case AuctionState::Past:
        return QColor(255, 0, 0);
    case AuctionState::Running:
        return QColor(0, 255, 0);
    case AuctionState::None:
        break;
    }
    return QColor();
}

int scaledTwips(int twips, float multiplier)
{
    const float product = static_cast<float>(twips) * multiplier;
    return static_cast<int>(roundHalfEven(static_cast<double>(product)));
}

ItemRow listedItem(const QVariant& itemId, const QVariant& sku, const QVariant& description,
                   const QVariant& retail, const QVariant& stamp, qint32 now, bool daylightSaving)
{
    ItemRow row;
    row.itemId = wholeNumber(itemId);
    if (!row.itemId)
        row.unreadableId = text(itemId);
    row.sku = sku.isNull() ? QString() : sku.toString();
    row.description = description.isNull() ? QString() : description.toString();
    row.retail = number(retail);

    row.listed.stamp = wholeNumber(stamp);
    if (!row.listed.stamp) {
        row.listed.unreadable = text(stamp);
        return row;
    }
    const qint64 value = *row.listed.stamp;
    row.state = auctionState(value, now);
    if (!fits32(value) || !hasLocalDateTime(qint32(value), daylightSaving))
        return row;
    const QDateTime local = fromDayCount(veskFROMunix(qint32(value), daylightSaving));
    if (local.isValid())
        row.listed.wall = local;
    return row;
}

QVector<ItemRow> listedItems(const QStringList& columns, const QVector<QVector<QVariant>>& records,
                             qint32 now, bool daylightSaving, QSet<QString>& stores)
{
    QVector<int> at;
    QStringList missing;
    for (const QString& field : {itemfield::kItemId, itemfield::kSku, itemfield::kDescription,
                                 itemfield::kRetail, itemfield::kStamp}) {
        at << columnIndexOf(columns, field);
        if (at.last() < 0)
            missing << field;
    }
    if (!missing.isEmpty())
        throw DataError(QStringLiteral("The item table has no column %1.")
                            .arg(missing.join(QStringLiteral(", "))));
    const int store = columnIndexOf(columns, itemfield::kStore);
    QVector<ItemRow> rows;
    rows.reserve(records.size());
    for (const QVector<QVariant>& record : records) {
        ItemRow row = listedItem(record.at(at[0]), record.at(at[1]), record.at(at[2]),
                                 record.at(at[3]), record.at(at[4]), now, daylightSaving);
        row.storeListed = store >= 0;
        if (store >= 0 && !record.at(store).isNull())
            row.store = *stores.insert(record.at(store).toString());
        rows.append(std::move(row));
    }
    return rows;
}
