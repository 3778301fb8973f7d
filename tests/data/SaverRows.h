#pragma once

// The save tests' rows. Database rows are written
// "CV_itemid|storeid|auction_until_unix", grid rows "id text|stamp text|listed
// stamp[|listed store]"; NULL stands for a NULL value. The outcome is
// "saved/failed/changed elsewhere".

#include "TestSupport.h"
#include "auction_core/AuctionSaver.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>

namespace saverrows {
inline QVariant field(const QString& text)
{
    return text == QLatin1String("NULL") ? QVariant() : QVariant(text);
}

inline QString seed(QSqlDatabase db, const QStringList& rows)
{
    QList<QVariantList> values;
    for (const QString& row : rows)
        values << QVariantList{field(row.section('|', 0, 0)), field(row.section('|', 2, 2)),
                               field(row.section('|', 1, 1)), "SKU"};
    return vesktest::insertRows(db, "item", {"CV_itemid", "auction_until_unix", "storeid", "SKU"},
                                values);
}

// The item table in the seed form, in the order of insertion.
inline QStringList contents(QSqlDatabase db)
{
    QStringList out;
    QSqlQuery q(db);
    if (!q.exec("SELECT CV_itemid, storeid, auction_until_unix FROM item ORDER BY id"))
        return {"query failed: " + q.lastError().text()};
    while (q.next()) {
        QStringList f;
        for (int i = 0; i < 3; ++i)
            f << (q.isNull(i) ? QStringLiteral("NULL") : q.value(i).toString());
        out << f.join(u'|');
    }
    return out;
}

inline QVector<AuctionRow> gridRows(const QStringList& rows)
{
    QVector<AuctionRow> out;
    for (const QString& row : rows) {
        const QStringList f = row.split(u'|');
        AuctionRow r;
        r.idText = f.value(0);
        r.stampText = f.value(1);
        if (f.value(2) != QLatin1String("NULL"))
            r.listedStamp = f.value(2).toLongLong();
        r.storeListed = f.size() > 3;
        if (r.storeListed && f[3] != QLatin1String("NULL"))
            r.listedStore = f[3];
        out << r;
    }
    return out;
}

inline QString outcome(const AuctionSaveReport& report)
{
    return QStringLiteral("%1/%2/%3")
        .arg(report.saved)
        .arg(report.failed.size())
        .arg(report.changedElsewhere.size());
}
} // namespace saverrows
