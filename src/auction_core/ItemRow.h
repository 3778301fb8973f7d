#pragma once

#include "auction_core/ListingQuery.h"

#include <QDateTime>
#include <QImage>
#include <QString>
#include <QtGlobal>

#include <limits>
#include <optional>

// An auction end as a row shows it: the stamp, and the store's wall date and
// time it stands for (held in UTC so that no time zone of this machine moves it).
struct ItemEnd
{
    // nullopt: NULL, or a value that is no whole number (then shown as `unreadable`).
    std::optional<qint64> stamp;
    QString unreadable;
    QDateTime wall; // invalid: the stamp has no local date

    bool operator==(const ItemEnd& other) const
    {
        return stamp == other.stamp && unreadable == other.unreadable && wall == other.wall;
    }
    bool operator!=(const ItemEnd& other) const { return !(*this == other); }
};

// One listed item as the listing read it, typed.
struct ItemRow
{
    // nullopt: NULL, or a value that is no whole number (then shown as `unreadable`).
    std::optional<qint64> itemId;
    QString unreadableId;
    QString sku;         // null for NULL
    QString description; // null for NULL
    std::optional<double> retail;
    // What the listing read (or a save has written since).
    ItemEnd listed;
    // Whether the listing read the store id, and what it read: nullopt for NULL.
    bool storeListed = false;
    std::optional<QString> store;
    // The state colour of the end the listing read, against the listing's "now".
    AuctionState state = AuctionState::None;
    QImage picture;

    // The item number the picture is looked up by: a 32-bit whole number.
    std::optional<qint32> pictureKey() const
    {
        if (itemId && *itemId >= std::numeric_limits<qint32>::min() &&
            *itemId <= std::numeric_limits<qint32>::max())
            return qint32(*itemId);
        return std::nullopt;
    }
};
