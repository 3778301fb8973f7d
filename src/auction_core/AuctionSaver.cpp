#include "auction_core/AuctionSaver.h"

#include "auction_core/AuctionJournal.h"
#include "auction_core/ListingQuery.h"
#include "data/DataControl.h"
#include "data/DataError.h"
#include "data/LeadingNumber.h"

#include <QHash>
#include <QMap>
#include <QSet>
#include <QStringList>
#include <QVariant>

#include <algorithm>
#include <cmath>
#include <exception>
#include <limits>

namespace {
// Long lists are cut so that the message still fits on the screen.
constexpr int kListedEntries = 15;

QString plural(int count, const char* one, const char* many)
{
    return QStringLiteral("%1 %2").arg(count).arg(QLatin1String(count == 1 ? one : many));
}

void appendEntries(QStringList& lines, const QVector<AuctionSaveReport::Entry>& entries)
{
    for (int i = 0; i < entries.size() && i < kListedEntries; ++i) {
        const AuctionSaveReport::Entry& e = entries[i];
        lines
            << QStringLiteral("- item %1 (row %2): %3").arg(e.itemId).arg(e.row + 1).arg(e.reason);
    }
    if (entries.size() > kListedEntries)
        lines << QStringLiteral("- and %1 more").arg(entries.size() - kListedEntries);
}

QString stampText(std::optional<qint64> stamp)
{
    return stamp ? QString::number(*stamp) : QStringLiteral("nothing (NULL)");
}

// Not a character of a pattern: it never needs escaping in a string literal,
// neither on MySQL (where a backslash would) nor on SQLite.
constexpr char kLikeEscape = '!';

// The text as a LIKE pattern that matches that text only: no character of it
// acts as a wildcard.
QString likeLiteral(const QString& text)
{
    QString out;
    out.reserve(text.size() * 2);
    for (const QChar c : text) {
        if (c == QLatin1Char('%') || c == QLatin1Char('_') || c == QLatin1Char(kLikeEscape))
            out += QLatin1Char(kLikeEscape);
        out += c;
    }
    return out;
}
} // namespace

QString AuctionSaveReport::message(bool relisted) const
{
    if (!hasProblems())
        return {};
    QStringList lines;
    if (!journalError.isEmpty())
        lines << QStringLiteral("Nothing was saved: every save is first recorded in the save "
                                "journal, and %1.")
                     .arg(journalError);
    else
        lines << (stopped ? QStringLiteral("The save was stopped.")
                          : QStringLiteral("Not every auction end could be saved."));
    lines << QString();
    lines << QStringLiteral("Saved: %1.").arg(plural(saved, "row", "rows"));
    const int notSaved = failed.size() + changedElsewhere.size() + notAttempted;
    lines << QStringLiteral("Not saved: %1.").arg(plural(notSaved, "row", "rows"));
    if (!failed.isEmpty()) {
        lines << QString() << QStringLiteral("Refused or failed:");
        appendEntries(lines, failed);
    }
    if (!changedElsewhere.isEmpty()) {
        lines << QString()
              << QStringLiteral("Changed by someone else since the table was listed (their "
                                "value was kept, yours was not saved):");
        appendEntries(lines, changedElsewhere);
    }
    if (connectionLost) {
        lines << QString()
              << QStringLiteral("The item database could not be reached, timed out or lost the "
                                "connection: %1")
                     .arg(connectionError);
        lines << QStringLiteral("Not saved because of that: %1.")
                     .arg(plural(notAttempted, "row", "rows"));
    } else if (stopped && journalError.isEmpty()) {
        lines << QString()
              << QStringLiteral("Not saved because the save was stopped: %1.")
                     .arg(plural(notAttempted, "row", "rows"));
    }
    lines << QString();
    if (relisted)
        lines << QStringLiteral("The table is listed again and now shows what the database holds.");
    else
        lines << QStringLiteral("Your ends that were not saved are still in the table, marked in "
                                "orange: press \"save this table --->>>\" again when the item "
                                "database answers.");
    return lines.join(QLatin1Char('\n'));
}

QString AuctionSaveReport::undoMessage() const
{
    QStringList lines;
    if (!journalError.isEmpty()) {
        lines << QStringLiteral("Nothing was put back: %1.").arg(journalError);
        return lines.join(QLatin1Char('\n'));
    }
    lines << (hasProblems() ? QStringLiteral("The last save was undone in part.")
                            : QStringLiteral("The last save was undone."));
    lines << QString();
    lines << QStringLiteral("Put back to the ends they had before that save: %1.")
                 .arg(plural(saved, "row", "rows"));
    if (!changedElsewhere.isEmpty()) {
        lines << QString()
              << QStringLiteral("Left alone, as they changed after that save: %1.")
                     .arg(plural(changedElsewhere.size(), "row", "rows"));
        for (int i = 0; i < changedElsewhere.size() && i < kListedEntries; ++i) {
            const Entry& e = changedElsewhere[i];
            lines << (e.heldNow.isEmpty()
                          ? QStringLiteral("- item %1: %2").arg(e.itemId, e.reason)
                          : QStringLiteral("- item %1 now holds %2").arg(e.itemId, e.heldNow));
        }
        if (changedElsewhere.size() > kListedEntries)
            lines << QStringLiteral("- and %1 more").arg(changedElsewhere.size() - kListedEntries);
    }
    if (!failed.isEmpty()) {
        lines << QString() << QStringLiteral("Refused or failed:");
        for (int i = 0; i < failed.size() && i < kListedEntries; ++i)
            lines << QStringLiteral("- item %1: %2").arg(failed[i].itemId, failed[i].reason);
        if (failed.size() > kListedEntries)
            lines << QStringLiteral("- and %1 more").arg(failed.size() - kListedEntries);
    }
    if (connectionLost)
        lines << QString()
              << QStringLiteral("The item database could not be reached, timed out or lost the "
                                "connection: %1")
                     .arg(connectionError)
              << QStringLiteral("Not put back because of that: %1.")
                     .arg(plural(notAttempted, "row", "rows"));
    else if (stopped)
        lines << QString()
              << QStringLiteral("The undo was stopped: the rows not put back keep their ends.");
    return lines.join(QLatin1Char('\n'));
}

AuctionSaver::AuctionSaver(DataControl& control, QString storeId)
    : m_control(control), m_storeId(std::move(storeId))
{
}

namespace {
bool fitsInt32(qint64 value)
{
    return value >= std::numeric_limits<qint32>::min() &&
           value <= std::numeric_limits<qint32>::max();
}
} // namespace

AuctionSaver::Plan AuctionSaver::plan(const AuctionRow& row)
{
    Plan p;
    if (!row.itemId || *row.itemId == 0 || !row.stamp || *row.stamp == 0)
        return p;
    // A row the clerk left alone is skipped before anything else is asked of it:
    // a value the listing read is no failure, whatever its size.
    if (row.listedStamp == row.stamp) {
        p.kind = Plan::Kind::Unchanged;
        return p;
    }
    if (!fitsInt32(*row.stamp)) {
        p.kind = Plan::Kind::Fail;
        p.failure = QStringLiteral("the auction end %1 is not a Unix time stamp of 32 bits")
                        .arg(*row.stamp);
        return p;
    }
    if (!fitsInt32(*row.itemId)) {
        p.kind = Plan::Kind::Fail;
        p.failure = QStringLiteral("the item number %1 does not fit a 32-bit whole number")
                        .arg(*row.itemId);
        return p;
    }
    p.kind = Plan::Kind::Write;
    p.itemId = qint32(*row.itemId);
    p.stamp = qint32(*row.stamp);
    return p;
}

bool AuctionSaveReport::worthKeeping() const
{
    if (endedEarly())
        return true;
    for (const Entry& entry : failed) {
        if (entry.worthRetrying)
            return true;
    }
    return false;
}

QVector<int> AuctionSaver::rowsToWrite(const QVector<AuctionRow>& rows)
{
    QVector<int> out;
    for (int r = 0; r < rows.size(); ++r) {
        if (plan(rows[r]).kind == Plan::Kind::Write)
            out.append(r);
    }
    return out;
}

AuctionSaveReport AuctionSaver::save(const QVector<AuctionRow>& rows)
{
    AuctionSaveReport report;
    QVector<AuctionChange> changes;
    for (int r = 0; r < rows.size(); ++r) {
        const AuctionRow& row = rows[r];
        const Plan p = plan(row);
        if (p.kind == Plan::Kind::Fail)
            report.failed.append(
                {r, QString::number(row.itemId.value_or(0)), p.failure, false, {}});
        else if (p.kind == Plan::Kind::Unchanged)
            ++report.unchanged;
        else if (p.kind == Plan::Kind::Write)
            changes.append(
                {r, p.itemId, row.sku, p.stamp, row.listedStamp, row.storeListed, row.listedStore});
    }
    return write(changes, std::move(report));
}

QVector<AuctionChange> AuctionSaver::undoOf(const QVector<AuctionJournal::Row>& rows)
{
    // An item written twice by one save goes back to what it held before the
    // first write, from what the last one wrote.
    QVector<AuctionChange> changes;
    QHash<qint32, int> index;
    for (int line = 0; line < rows.size(); ++line) {
        const AuctionJournal::Row& row = rows[line];
        const auto found = index.constFind(row.itemId);
        if (found != index.constEnd()) {
            changes[*found].expected = row.newStamp;
            continue;
        }
        const std::optional<qint32> old =
            row.oldStamp ? toInt32HalfEven(double(*row.oldStamp)) : std::nullopt;
        if (row.oldStamp && !old)
            continue; // no end of 32 bits was there to put back
        index.insert(row.itemId, changes.size());
        changes.append({line, row.itemId, row.sku, old, row.newStamp, false, std::nullopt});
    }
    return changes;
}

QHash<qint32, QVector<AuctionSaver::Held>>
AuctionSaver::readHeld(const QVector<AuctionChange>& changes)
{
    constexpr int kIdsPerQuery = 500;
    QVector<qint32> ids;
    QSet<qint32> seen;
    for (const AuctionChange& c : changes) {
        if (!seen.contains(c.itemId)) {
            seen.insert(c.itemId);
            ids.append(c.itemId);
        }
    }
    QHash<qint32, QVector<Held>> held;
    for (int first = 0; first < ids.size(); first += kIdsPerQuery) {
        QStringList list;
        for (int i = first; i < ids.size() && i < first + kIdsPerQuery; ++i)
            list << QString::number(ids[i]);
        // The store as a literal: a statement without values to bind is one
        // round trip to the server, a prepared one two.
        m_control.CommandType = 1;
        m_control.RecordSource =
            QStringLiteral("SELECT CV_itemid, storeid, auction_until_unix FROM item WHERE storeid "
                           "LIKE '") +
            m_control.escapeLiteral(likeLiteral(m_storeId)) +
            QStringLiteral("' ESCAPE '%1' AND CV_itemid IN (%2)")
                .arg(QLatin1Char(kLikeEscape))
                .arg(list.join(QLatin1Char(',')));
        m_control.Parameters.clear();
        m_control.Refresh();
        RecordSet& rs = m_control.Recordset();
        for (rs.MoveFirst(); !rs.atEnd(); rs.MoveNext()) {
            const QVariant store = rs.Fields(itemfield::kStore);
            const QVariant stamp = rs.Fields(itemfield::kStamp);
            held[rs.Fields(itemfield::kItemId).toInt()].append(
                {store.isNull() ? std::nullopt : std::optional<QString>(store.toString()),
                 stamp.isNull() ? std::nullopt : std::optional<qint64>(stamp.toLongLong())});
        }
    }
    return held;
}

AuctionSaveReport AuctionSaver::write(const QVector<AuctionChange>& changes,
                                      AuctionSaveReport report)
{
    if (changes.isEmpty())
        return report;
    if (journal) {
        QVector<AuctionJournal::Row> lines;
        for (const AuctionChange& c : changes)
            lines.append({{},
                          {},
                          m_storeId,
                          c.itemId,
                          c.sku,
                          c.expected,
                          c.stamp ? std::optional<qint64>(*c.stamp) : std::nullopt});
        report.journalError = journal->append(lines);
        if (!report.journalError.isEmpty()) {
            report.notAttempted = changes.size();
            return report;
        }
    }
    const auto lostConnection = [&](const QString& reason) {
        report.connectionLost = true;
        report.connectionError = reason;
    };

    QHash<qint32, QVector<Held>> held;
    try {
        held = readHeld(changes);
    } catch (const std::exception& error) {
        const QString reason = errorText(error);
        if (!serverAnswers()) {
            lostConnection(reason);
            report.notAttempted += changes.size();
            return report;
        }
        for (const AuctionChange& c : changes)
            report.failed.append({c.row, QString::number(c.itemId), reason, true, {}});
        return report;
    }

    // What this save wrote per item: the database holds it, and a later row of
    // the same item expects it. Both as of the last commit and now.
    QHash<qint32, std::optional<qint64>> wroteCommitted;
    QHash<qint32, std::optional<qint64>> wrote;
    // Rows the server refused: left out when their transaction is run again.
    QMap<int, AuctionSaveReport::Entry> refused;
    QVector<int> pending; // changes the open transaction holds, for the report at its commit
    // Rows of the open transaction still to write, with the end each expects:
    // written in one statement, or row by row once the server refused one.
    QVector<std::pair<int, std::optional<qint64>>> batch;
    bool batched = true;
    bool open = false;
    int chunkStart = 0;
    int failedMark = report.failed.size();
    int changedMark = report.changedElsewhere.size();
    int i = 0;
    bool stopping = false;
    int counted = 0; // rows counted as not attempted when the stop came

    const auto notAttemptedFrom = [&](int from) {
        int count = 0;
        for (int j = from; j < changes.size(); ++j)
            count += refused.contains(j) ? 0 : 1;
        return count;
    };
    const auto targetOf = [&](int change) {
        const std::optional<qint32> stamp = changes[change].stamp;
        return stamp ? std::optional<qint64>(*stamp) : std::nullopt;
    };
    const auto stampValue = [](std::optional<qint64> stamp) {
        return stamp ? QVariant(*stamp) : QVariant(QMetaType::fromType<qint64>());
    };
    // The open transaction is dropped and its rows are looked at again.
    const auto again = [&] {
        if (open)
            m_control.rollback();
        open = false;
        report.failed.resize(failedMark);
        report.changedElsewhere.resize(changedMark);
        wrote = wroteCommitted;
        pending.clear();
        batch.clear();
        if (stopping)
            report.notAttempted -= counted;
        stopping = report.stopped = false;
        i = chunkStart;
    };
    // A statement failed and its transaction is rolled back; false when the
    // server is gone, which ends the save.
    const auto serverStillAnswers = [&](const QString& reason) {
        m_control.rollback();
        open = false;
        if (serverAnswers())
            return true;
        lostConnection(reason);
        report.notAttempted += pending.size() + (stopping ? 0 : notAttemptedFrom(i));
        pending.clear();
        batch.clear();
        return false;
    };
    const auto begin = [&] {
        if (!open)
            m_control.beginTransaction();
        open = true;
    };
    // The batch in one statement. Throws DataError.
    const auto writeBatch = [&] {
        // Per item: what its last row writes over what it held before the first.
        QVector<qint32> items;
        QHash<qint32, std::pair<std::optional<qint64>, std::optional<qint64>>> ends;
        QVector<AuctionChange> written;
        for (const auto& [change, expected] : std::as_const(batch)) {
            const qint32 item = changes[change].itemId;
            if (!ends.contains(item)) {
                items.append(item);
                written.append(changes[change]);
                ends.insert(item, {expected, targetOf(change)});
            }
            ends[item].second = targetOf(change);
        }
        QString sql = QStringLiteral("UPDATE item SET auction_until_unix=CASE CV_itemid");
        QVariantList values;
        for (qint32 item : std::as_const(items)) {
            sql += QStringLiteral(" WHEN ? THEN ?");
            values << item << stampValue(ends[item].second);
        }
        sql += QStringLiteral(" END WHERE storeid LIKE ? ESCAPE '%1' AND (")
                   .arg(QLatin1Char(kLikeEscape));
        values << likeLiteral(m_storeId);
        for (int k = 0; k < items.size(); ++k) {
            const std::optional<qint64> expected = ends[items[k]].first;
            sql += (k ? QStringLiteral(" OR ") : QString()) +
                   (expected ? QStringLiteral("(CV_itemid=? AND auction_until_unix=?)")
                             : QStringLiteral("(CV_itemid=? AND auction_until_unix IS NULL)"));
            values << items[k];
            if (expected)
                values << *expected;
        }
        sql += QLatin1Char(')');
        begin();
        if (m_control.execute(sql, values) < items.size()) {
            // Someone changed a row between the read and the write: the rows
            // whose item does not hold its end now were not written.
            const QHash<qint32, QVector<Held>> now = readHeld(written);
            for (const auto& [change, expected] : std::as_const(batch)) {
                const qint32 item = changes[change].itemId;
                const QVector<Held> rows = now.value(item);
                if (rows.size() == 1 && rows[0].stamp == ends[item].second)
                    continue;
                pending.removeAll(change);
                wrote.remove(item);
                report.changedElsewhere.append(
                    {changes[change].row, QString::number(item),
                     QStringLiteral("changed by someone else while it was being saved"), false,
                     rows.size() == 1 ? stampText(rows[0].stamp) : QString()});
            }
        }
        batch.clear();
    };
    // Ends the open transaction keeping its rows; false when they were not kept.
    const auto commit = [&]() {
        if (givenUp && givenUp()) {
            if (open)
                m_control.rollback();
            report.stopped = true;
            report.notAttempted += pending.size();
        } else {
            try {
                if (open)
                    m_control.commit();
                for (int change : std::as_const(pending)) {
                    const AuctionChange& c = changes[change];
                    const qint32 stamp = c.stamp.value_or(0);
                    ++report.saved;
                    report.savedRows.append({c.row, stamp});
                    if (rowSaved)
                        rowSaved(c.row, stamp);
                }
                wroteCommitted = wrote;
                pending.clear();
                open = false;
                return true;
            } catch (const std::exception& error) {
                m_control.rollback();
                const QString reason = errorText(error);
                if (serverAnswers()) {
                    for (int change : std::as_const(pending))
                        report.failed.append({changes[change].row,
                                              QString::number(changes[change].itemId), reason, true,
                                              QString()});
                } else {
                    lostConnection(reason);
                    report.notAttempted += pending.size();
                }
            }
        }
        wrote = wroteCommitted;
        pending.clear();
        open = false;
        return false;
    };

    while (true) {
        const bool atEnd = stopping || i >= changes.size();
        if (atEnd || pending.size() >= kRowsPerCommit) {
            if (!batch.isEmpty()) {
                QString reason;
                try {
                    writeBatch();
                } catch (const std::exception& error) {
                    reason = errorText(error);
                }
                if (!reason.isNull()) {
                    if (!serverStillAnswers(reason))
                        break;
                    // Row by row from now on: the rows the server refuses are told apart.
                    batched = false;
                    again();
                    continue;
                }
            }
            if ((!pending.isEmpty() || open) && !commit()) {
                report.notAttempted += stopping ? 0 : notAttemptedFrom(i);
                break;
            }
            if (atEnd)
                break;
            chunkStart = i;
            failedMark = report.failed.size();
            changedMark = report.changedElsewhere.size();
        }
        if (refused.contains(i)) {
            ++i;
            continue;
        }
        const AuctionChange& c = changes[i];
        const QString itemText = QString::number(c.itemId);
        if (beforeRow)
            beforeRow(c.row);
        if (stopRequested && stopRequested()) {
            stopping = report.stopped = true;
            counted = notAttemptedFrom(i);
            report.notAttempted += counted;
            continue;
        }
        const QVector<Held> rows = held.value(c.itemId);
        // The row the clerk changed is one of this store's only if the server
        // found the very store id the listing read.
        bool listedStoreFound = !c.listedStore;
        for (const Held& h : rows)
            listedStoreFound = listedStoreFound || h.store == c.listedStore;
        QString failure;
        if (c.storeListed && (!c.listedStore || !listedStoreFound)) {
            failure = c.listedStore
                          ? QStringLiteral("it belongs to store \"%1\", not to store \"%2\"")
                                .arg(*c.listedStore, m_storeId)
                          : QStringLiteral("it belongs to no store (its storeid is NULL), not to "
                                           "store \"%1\"")
                                .arg(m_storeId);
        } else if (rows.isEmpty()) {
            // One arg() call: a "%1" in the store id stays as it is.
            failure = QStringLiteral("store \"%1\" has no item %2").arg(m_storeId, itemText);
        } else if (rows.size() > 1) {
            QStringList stores;
            for (const Held& h : rows)
                stores << h.store.value_or(QString());
            failure = QStringLiteral("%1 rows of the item table match store \"%2\" for this item "
                                     "(store ids \"%3\"), so none of them was written")
                          .arg(rows.size())
                          .arg(m_storeId, stores.join(QStringLiteral("\", \"")));
        }
        if (!failure.isEmpty()) {
            report.failed.append({c.row, itemText, failure, false, QString()});
            ++i;
            continue;
        }
        const auto written = wrote.constFind(c.itemId);
        const bool wroteItem = written != wrote.constEnd();
        const std::optional<qint64> current = wroteItem ? *written : rows[0].stamp;
        const std::optional<qint64> expected = wroteItem ? *written : c.expected;
        const std::optional<qint64> target = targetOf(i);
        if (current != target && current != expected) {
            report.changedElsewhere.append(
                {c.row, itemText,
                 QStringLiteral("the database holds %1, the table was listed with %2")
                     .arg(stampText(current), stampText(expected)),
                 false, stampText(current)});
            ++i;
            continue;
        }
        if (current != target && batched) {
            batch.append({i, expected});
        } else if (current != target) {
            int affected = 0;
            try {
                begin();
                const QString sql =
                    QStringLiteral("UPDATE item SET auction_until_unix=? WHERE CV_itemid=? AND "
                                   "storeid LIKE ? ESCAPE '%1' AND auction_until_unix")
                        .arg(QLatin1Char(kLikeEscape)) +
                    (expected ? QStringLiteral("=?") : QStringLiteral(" IS NULL"));
                QVariantList values = {stampValue(target), c.itemId, likeLiteral(m_storeId)};
                if (expected)
                    values << *expected;
                affected = m_control.execute(sql, values);
            } catch (const std::exception& error) {
                const QString reason = errorText(error);
                if (!serverStillAnswers(reason))
                    break;
                // The row is left out, and the transaction's other rows are
                // written again: the server may have undone them with it.
                refused.insert(i, {c.row, itemText, reason, true, QString()});
                again();
                continue;
            }
            if (affected == 0) {
                report.changedElsewhere.append(
                    {c.row, itemText,
                     QStringLiteral("changed by someone else while it was being saved"), false,
                     QString()});
                ++i;
                continue;
            }
        }
        wrote.insert(c.itemId, target);
        pending.append(i);
        ++i;
    }
    for (const AuctionSaveReport::Entry& entry : std::as_const(refused))
        report.failed.append(entry);
    std::stable_sort(report.failed.begin(), report.failed.end(),
                     [](const AuctionSaveReport::Entry& a, const AuctionSaveReport::Entry& b) {
                         return a.row < b.row;
                     });
    return report;
}

bool AuctionSaver::serverAnswers()
{
    try {
        m_control.CommandType = 1;
        m_control.RecordSource = QStringLiteral("SELECT 1");
        m_control.Parameters.clear();
        m_control.Refresh();
        return true;
    } catch (const std::exception&) {
        return false;
    }
}
