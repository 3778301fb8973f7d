#include "auction_core/AuctionSaver.h"

#include "auction_core/AuctionJournal.h"
#include "auction_core/Counted.h"
#include "auction_core/ListingQuery.h"
#include "data/DataControl.h"
#include "data/DataError.h"
#include "data/FileRoutines.h"
#include "data/LeadingNumber.h"
#include "data/SkippableStep.h"
#include "numeric/HalfEven.h"

#include <QHash>
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
    return counted(count, QLatin1String(one), QLatin1String(many));
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
                  : failed.isEmpty() && changedElsewhere.isEmpty() && !endedEarly()
                      ? QStringLiteral("Every auction end was saved.")
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
    if (!journalWrittenError.isEmpty())
        lines << QString()
              << QStringLiteral("The save journal could not record which rows were written (%1): "
                                "\"Undo last save\" cannot put them back.")
                     .arg(journalWrittenError);
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
    if (!journalWrittenError.isEmpty())
        lines << QString() << journalWrittenError;
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
        m_control.CommandType = DataControl::kQueryText;
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

// What one write() works with, from the journal's records to the items committed.
struct AuctionSaver::Run
{
    const QVector<AuctionChange>& changes;
    AuctionSaveReport& report;
    QVector<AuctionJournal::Row> records; // the intent record of each change
    QHash<qint32, QVector<Held>> held;    // what the server held at the start
    // The end each item holds since this save committed it.
    QHash<qint32, std::optional<qint64>> wrote;
    bool ended = false;

    qint32 item(const Planned& p) const { return changes[p.change].itemId; }
    std::optional<qint64> target(const Planned& p) const
    {
        const std::optional<qint32> stamp = changes[p.change].stamp;
        return stamp ? std::optional<qint64>(*stamp) : std::nullopt;
    }
    AuctionSaveReport::Entry entry(const Planned& p, const QString& reason, bool retry,
                                   const QString& heldNow = QString()) const
    {
        const AuctionChange& c = changes[p.change];
        return {c.row, QString::number(c.itemId), reason, retry, heldNow};
    }
};

namespace {
QString sqlValue(std::optional<qint64> value)
{
    return value ? QString::number(*value) : QStringLiteral("NULL");
}

QString heldCondition(qint32 item, std::optional<qint64> expected)
{
    return QStringLiteral("(CV_itemid=%1 AND auction_until_unix%2)")
        .arg(item)
        .arg(expected ? QStringLiteral("=%1").arg(*expected) : QStringLiteral(" IS NULL"));
}
} // namespace

AuctionSaver::Decision AuctionSaver::decide(const AuctionChange& c, const QVector<Held>& rows,
                                            const std::optional<std::optional<qint64>>& wroteBefore,
                                            const QString& store)
{
    Decision d;
    // The row the clerk changed is one of this store's only if the server
    // found the very store id the listing read.
    bool listedStoreFound = !c.listedStore;
    for (const Held& h : rows)
        listedStoreFound = listedStoreFound || h.store == c.listedStore;
    d.kind = Decision::Kind::Fail;
    if (c.storeListed && (!c.listedStore || !listedStoreFound)) {
        d.reason = c.listedStore
                       ? QStringLiteral("it belongs to store \"%1\", not to store \"%2\"")
                             .arg(*c.listedStore, store)
                       : QStringLiteral("it belongs to no store (its storeid is NULL), not to "
                                        "store \"%1\"")
                             .arg(store);
        return d;
    }
    if (rows.isEmpty()) {
        // One arg() call: a "%1" in the store id stays as it is.
        d.reason =
            QStringLiteral("store \"%1\" has no item %2").arg(store, QString::number(c.itemId));
        return d;
    }
    if (rows.size() > 1) {
        QStringList stores;
        for (const Held& h : rows)
            stores << h.store.value_or(QString());
        d.reason = QStringLiteral("%1 rows of the item table match store \"%2\" for this item "
                                  "(store ids \"%3\"), so none of them was written")
                       .arg(rows.size())
                       .arg(store, stores.join(QStringLiteral("\", \"")));
        return d;
    }
    // A later row of an item this save wrote expects what it wrote.
    const std::optional<qint64> current = wroteBefore ? *wroteBefore : rows[0].stamp;
    d.expected = wroteBefore ? *wroteBefore : c.expected;
    const std::optional<qint64> target = c.stamp ? std::optional<qint64>(*c.stamp) : std::nullopt;
    if (current == target) {
        d.kind = Decision::Kind::Holds;
    } else if (current != d.expected) {
        d.kind = Decision::Kind::Changed;
        d.reason = QStringLiteral("the database holds %1, the table was listed with %2")
                       .arg(stampText(current), stampText(d.expected));
        d.heldNow = stampText(current);
    } else {
        d.kind = Decision::Kind::Write;
    }
    return d;
}

QString AuctionSaver::batchStatement(const QVector<AuctionChange>& changes,
                                     const QVector<Planned>& rows, const QString& storePattern)
{
    QVector<qint32> items;
    QHash<qint32, std::pair<std::optional<qint64>, std::optional<qint64>>> ends;
    for (const Planned& p : rows) {
        if (!p.write)
            continue;
        const AuctionChange& c = changes[p.change];
        const std::optional<qint64> target =
            c.stamp ? std::optional<qint64>(*c.stamp) : std::nullopt;
        if (!ends.contains(c.itemId)) {
            items.append(c.itemId);
            ends.insert(c.itemId, {p.expected, target});
        }
        ends[c.itemId].second = target;
    }
    if (items.isEmpty())
        return {};
    QString sql = QStringLiteral("UPDATE item SET auction_until_unix=CASE CV_itemid");
    for (qint32 item : std::as_const(items))
        sql += QStringLiteral(" WHEN %1 THEN %2").arg(item).arg(sqlValue(ends[item].second));
    sql += QStringLiteral(" END WHERE storeid LIKE '%1' ESCAPE '%2' AND (")
               .arg(storePattern, QString(QLatin1Char(kLikeEscape)));
    for (int k = 0; k < items.size(); ++k)
        sql += (k ? QStringLiteral(" OR ") : QString()) +
               heldCondition(items[k], ends[items[k]].first);
    return sql + QLatin1Char(')');
}

QString AuctionSaver::storePattern() const
{
    return m_control.escapeLiteral(likeLiteral(m_storeId));
}

// The save: its intent in the journal, one read of what the server holds,
// then transactions of up to kRowsPerCommit rows.
AuctionSaveReport AuctionSaver::write(const QVector<AuctionChange>& changes,
                                      AuctionSaveReport report)
{
    if (changes.isEmpty())
        return report;
    Run run{changes, report, {}, {}, {}, false};
    if (!journalIntent(run) || !readAll(run))
        return report;
    for (int next = 0; next < changes.size() && !run.ended;) {
        Chunk chunk = collectChunk(run, next);
        next = chunk.end;
        commitChunk(run, chunk);
        run.ended = run.ended || chunk.stopped;
    }
    std::stable_sort(report.failed.begin(), report.failed.end(),
                     [](const AuctionSaveReport::Entry& a, const AuctionSaveReport::Entry& b) {
                         return a.row < b.row;
                     });
    return report;
}

bool AuctionSaver::journalIntent(Run& run)
{
    for (const AuctionChange& c : run.changes)
        run.records.append({{},
                            {},
                            m_storeId,
                            c.itemId,
                            c.sku,
                            c.expected,
                            c.stamp ? std::optional<qint64>(*c.stamp) : std::nullopt});
    for (AuctionJournal::Row& record : run.records)
        record.undoes = undoes;
    if (!journal)
        return true;
    try {
        journal->appendIntent(run.records);
        return true;
    } catch (const FileError& error) {
        run.report.journalError = error.message();
        run.report.notAttempted = run.changes.size();
        return false;
    }
}

bool AuctionSaver::readAll(Run& run)
{
    try {
        run.held = readHeld(run.changes);
        return true;
    } catch (const std::exception& error) {
        const auto* data = dynamic_cast<const DataError*>(&error);
        if (data && data->connectionLost()) {
            run.report.connectionLost = true;
            run.report.connectionError = errorText(error);
            run.report.notAttempted += run.changes.size();
            return false;
        }
        for (const AuctionChange& c : run.changes)
            run.report.failed.append(
                {c.row, QString::number(c.itemId), errorText(error), true, {}});
        return false;
    }
}

// The rows of the next transaction, each decided; asks for a stop before each.
AuctionSaver::Chunk AuctionSaver::collectChunk(Run& run, int from)
{
    Chunk chunk;
    QHash<qint32, std::optional<qint64>> wrote = run.wrote;
    int i = from;
    for (; i < run.changes.size() && chunk.rows.size() < kRowsPerCommit; ++i) {
        const AuctionChange& c = run.changes[i];
        if (beforeRow)
            beforeRow(c.row);
        if (stopRequested && stopRequested()) {
            chunk.stopped = run.report.stopped = true;
            run.report.notAttempted += run.changes.size() - i;
            break;
        }
        const auto before = wrote.constFind(c.itemId);
        const Decision d =
            decide(c, run.held.value(c.itemId),
                   before == wrote.constEnd() ? std::nullopt
                                              : std::optional<std::optional<qint64>>(*before),
                   m_storeId);
        const Planned p{i, d.expected, d.kind == Decision::Kind::Write};
        if (d.kind == Decision::Kind::Fail) {
            run.report.failed.append(run.entry(p, d.reason, false));
        } else if (d.kind == Decision::Kind::Changed) {
            run.report.changedElsewhere.append(run.entry(p, d.reason, false, d.heldNow));
        } else {
            chunk.rows.append(p);
            wrote.insert(c.itemId, run.target(p));
        }
    }
    chunk.end = i;
    return chunk;
}

// Commits the chunk's rows, row by row once the server refused its batch,
// leaving out each row it refuses.
void AuctionSaver::commitChunk(Run& run, Chunk& chunk)
{
    bool rowByRow = false;
    while (!chunk.rows.isEmpty()) {
        QString reason;
        int refused = -1;
        switch (runTransaction(run, chunk, rowByRow, &reason, &refused)) {
        case Outcome::Committed:
            countSaved(run, chunk.rows);
            return;
        case Outcome::Refused:
            if (refused < 0 && rowByRow) { // not a row's fault: the transaction's
                failAll(run, chunk, reason);
                return;
            }
            if (refused >= 0) {
                run.report.failed.append(run.entry(chunk.rows[refused], reason, true));
                chunk.rows.remove(refused);
            }
            rowByRow = true;
            break;
        case Outcome::CommitRefused:
            failAll(run, chunk, reason);
            return;
        case Outcome::Lost:
            endLost(run, chunk, chunk.rows.size(), reason);
            return;
        case Outcome::CommitUnknown:
            confirmAfterLostCommit(run, chunk, reason);
            return;
        case Outcome::GivenUp:
            run.report.stopped = true;
            run.report.notAttempted +=
                chunk.rows.size() + (chunk.stopped ? 0 : run.changes.size() - chunk.end);
            run.ended = true;
            return;
        }
    }
}

AuctionSaver::Outcome AuctionSaver::runTransaction(Run& run, Chunk& chunk, bool rowByRow,
                                                   QString* reason, int* refused)
{
    try {
        m_control.beginTransaction();
        *refused = rowByRow ? writeRowByRow(run, chunk, reason) : -1;
        if (!rowByRow)
            writeBatch(run, chunk);
    } catch (const std::exception& error) {
        m_control.rollback();
        *reason = errorText(error);
        const auto* data = dynamic_cast<const DataError*>(&error);
        return data && data->connectionLost() ? Outcome::Lost : Outcome::Refused;
    }
    if (*refused >= 0 || (givenUp && givenUp())) {
        m_control.rollback();
        return *refused >= 0 ? Outcome::Refused : Outcome::GivenUp;
    }
    try {
        m_control.commit();
    } catch (const DataError& error) {
        *reason = error.message();
        m_control.rollback();
        return error.connectionLost() ? Outcome::CommitUnknown : Outcome::CommitRefused;
    }
    return Outcome::Committed;
}

// The chunk in one statement; rows someone changed since the read drop out. Throws.
void AuctionSaver::writeBatch(Run& run, Chunk& chunk)
{
    const QString sql = batchStatement(run.changes, chunk.rows, storePattern());
    if (sql.isEmpty())
        return;
    QSet<qint32> items;
    for (const Planned& p : std::as_const(chunk.rows))
        if (p.write)
            items.insert(run.item(p));
    if (m_control.execute(sql) < items.size())
        dropChangedRows(run, chunk);
}

// Someone changed a row between the read and the write: the rows whose item
// does not hold what this chunk wrote were not written. Throws.
void AuctionSaver::dropChangedRows(Run& run, Chunk& chunk)
{
    QHash<qint32, std::optional<qint64>> ends;
    QVector<AuctionChange> written;
    for (const Planned& p : std::as_const(chunk.rows)) {
        if (!p.write)
            continue;
        if (!ends.contains(run.item(p)))
            written.append(run.changes[p.change]);
        ends[run.item(p)] = run.target(p);
    }
    const QHash<qint32, QVector<Held>> now = readHeld(written);
    for (int k = chunk.rows.size() - 1; k >= 0; --k) {
        const Planned& p = chunk.rows[k];
        const QVector<Held> rows = now.value(run.item(p));
        if (!p.write || (rows.size() == 1 && rows[0].stamp == ends.value(run.item(p))))
            continue;
        run.report.changedElsewhere.append(
            run.entry(p, QStringLiteral("changed by someone else while it was being saved"), false,
                      rows.size() == 1 ? stampText(rows[0].stamp) : QString()));
        chunk.rows.remove(k);
    }
}

// Each row on its own; the index of the first row the server refused, or -1.
// Throws a lost connection.
int AuctionSaver::writeRowByRow(Run& run, Chunk& chunk, QString* reason)
{
    for (int k = 0; k < chunk.rows.size(); ++k) {
        const Planned& p = chunk.rows[k];
        if (!p.write)
            continue;
        const QString sql =
            QStringLiteral("UPDATE item SET auction_until_unix=%1 WHERE storeid LIKE '%2' ESCAPE "
                           "'%3' AND %4")
                .arg(sqlValue(run.target(p)), storePattern(), QString(QLatin1Char(kLikeEscape)),
                     heldCondition(run.item(p), p.expected));
        int affected = 0;
        try {
            affected = m_control.execute(sql);
        } catch (const DataError& error) {
            if (error.connectionLost())
                throw;
            *reason = error.message();
            return k;
        }
        if (affected == 0) {
            run.report.changedElsewhere.append(run.entry(
                p, QStringLiteral("changed by someone else while it was being saved"), false));
            chunk.rows.remove(k--);
        }
    }
    return -1;
}

void AuctionSaver::countSaved(Run& run, const QVector<Planned>& rows)
{
    QVector<AuctionJournal::Row> written;
    for (const Planned& p : rows) {
        const AuctionChange& c = run.changes[p.change];
        const qint32 stamp = c.stamp.value_or(0);
        ++run.report.saved;
        run.report.savedRows.append({c.row, stamp});
        run.wrote.insert(c.itemId, run.target(p));
        if (p.write)
            written.append(run.records[p.change]);
        if (rowSaved)
            rowSaved(c.row, stamp);
    }
    // The rows are in the database whatever the journal says: the save goes on and
    // the report names the first journal failure.
    if (journal && !written.isEmpty() && run.report.journalWrittenError.isEmpty()) {
        QStringList failed;
        runSkippable([&] { journal->appendWritten(written); }, &failed);
        run.report.journalWrittenError = failed.value(0);
    }
}

// The commit went out and its answer did not come back: on a new connection,
// the rows that hold what the chunk wrote were committed, the others not.
void AuctionSaver::confirmAfterLostCommit(Run& run, const Chunk& chunk, const QString& reason)
{
    QHash<qint32, std::optional<qint64>> ends;
    QVector<AuctionChange> changes;
    for (const Planned& p : chunk.rows) {
        if (!ends.contains(run.item(p)))
            changes.append(run.changes[p.change]);
        ends[run.item(p)] = run.target(p);
    }
    QHash<qint32, QVector<Held>> now;
    try {
        now = readHeld(changes);
    } catch (const std::exception& error) {
        endLost(run, chunk, chunk.rows.size(),
                QStringLiteral("%1\nThen, reading what was committed: %2")
                    .arg(reason, errorText(error)));
        return;
    }
    QVector<Planned> committed;
    for (const Planned& p : chunk.rows) {
        const QVector<Held> rows = now.value(run.item(p));
        if (rows.size() == 1 && rows[0].stamp == ends.value(run.item(p)))
            committed.append(p);
    }
    countSaved(run, committed);
    if (committed.size() < chunk.rows.size())
        endLost(run, chunk, chunk.rows.size() - committed.size(), reason);
}

void AuctionSaver::failAll(Run& run, const Chunk& chunk, const QString& reason)
{
    for (const Planned& p : chunk.rows)
        run.report.failed.append(run.entry(p, reason, true));
    run.report.notAttempted += chunk.stopped ? 0 : run.changes.size() - chunk.end;
    run.ended = true;
}

void AuctionSaver::endLost(Run& run, const Chunk& chunk, int rows, const QString& reason)
{
    run.report.connectionLost = true;
    run.report.connectionError = reason;
    run.report.notAttempted += rows + (chunk.stopped ? 0 : run.changes.size() - chunk.end);
    run.ended = true;
}
