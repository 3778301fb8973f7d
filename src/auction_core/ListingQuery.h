#pragma once

#include <QColor>
#include <QDateTime>
#include <QLocale>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>
#include <QtGlobal>

#include <optional>

// The item table's columns the listing reads.
namespace itemfield {
inline const QString kItemId = QStringLiteral("CV_itemid");
inline const QString kSku = QStringLiteral("SKU");
inline const QString kDescription = QStringLiteral("Description");
inline const QString kRetail = QStringLiteral("Retail");
inline const QString kStamp = QStringLiteral("auction_until_unix");
inline const QString kStore = QStringLiteral("storeid");
} // namespace itemfield

// The pure parts of the item listing: the statement's pieces, its translation
// with the typed search text kept as typed, the cell texts and the state colour.

// The filter controls as the listing reads them; the option buttons exclude
// each other, but each one is tested on its own.
// The rows a listing limited to 50 gets back at most.
constexpr int kListingLimit = 50;

struct ListingFilters
{
    bool past = false;
    bool current = false;
    bool free = false;
    bool limit = false;
};

// The first piece, up to and including the opening quote of the SKU pattern.
QString listingStatementHead();
// The piece around the pattern body: head + body + "%'  ".
QString listingBasePiece(const QString& patternBody);
// The pieces appended after the base, in order, for the filters and the current stamp.
QStringList listingFilterPieces(const ListingFilters& filters, qint32 now);

// The typed search text as a LIKE pattern body before literal escaping. Percent
// sign and underscore stay wildcards. Where a backslash escapes inside LIKE
// patterns (MySQL), a typed backslash is doubled so that it matches itself.
QString likePatternBody(const QString& typed, bool backslashEscapesInLike);

// ConvertSQL of the statement, with the characters [start, start + length)
// passed through untouched: the translation rewrites inside literals too, and
// the search text must reach the server as typed. For a literal that no rule
// touches the result equals ConvertSQL(statement).
QString convertSqlKeepingLiteral(const QString& statement, qsizetype start, qsizetype length);

// "#,##0.00" with the locale's thousands separator and decimal point.
QString formatRetail(double value, const QLocale& locale);
// "MMM-d-yyyy" with the locale's month abbreviations.
QString formatAuctionDate(const QDate& date, const QLocale& locale);
// "HH:mm:00": the seconds are always shown as 00.
QString formatAuctionTime(const QTime& time, const QLocale& locale);

enum class AuctionState
{
    None,    // no auction (0), or ending exactly now
    Past,    // ended before now
    Running, // ends after now
};
AuctionState auctionState(qint64 stamp, qint32 now);
// Red for past, green for running; invalid (the grid's own colour) otherwise.
QColor stateColour(AuctionState state);

// A width or height in twips times the window's stretch factor, to the nearest
// whole twip (halves to even), computed in single precision as the factor is.
int scaledTwips(int twips, float multiplier);

struct ItemRow;
// One record as a typed row; its end read with the listing's "now" and daylight setting.
ItemRow listedItem(const QVariant& itemId, const QVariant& sku, const QVariant& description,
                   const QVariant& retail, const QVariant& stamp, qint32 now, bool daylightSaving);
// A listing's records, read with these columns, as typed rows. Store ids many
// rows repeat share one copy, kept in `stores`. Throws DataError naming the
// item columns the records lack.
QVector<ItemRow> listedItems(const QStringList& columns, const QVector<QVector<QVariant>>& records,
                             qint32 now, bool daylightSaving, QSet<QString>& stores);
