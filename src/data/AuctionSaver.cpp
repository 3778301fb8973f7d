#include "data/AuctionSaver.h"

#include "data/DataControl.h"
#include "data/DataError.h"
#include "data/LeadingNumber.h"

#include <QHash>
#include <QStringList>
#include <QVariant>

#include <cmath>
#include <exception>

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
    } else if (stopped) {
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

AuctionSaver::AuctionSaver(DataControl& control, QString storeId)
    : m_control(control), m_storeId(std::move(storeId))
{
}

AuctionSaver::Plan AuctionSaver::plan(const AuctionRow& row)
{
    Plan p;
    const double id = leadingNumber(row.idText);
    if (id == 0)
        return p;
    const double stampValue = leadingNumber(row.stampText);
    if (stampValue == 0)
        return p;
    // A row the clerk left alone is skipped before anything else is asked of it:
    // a value the listing read is no failure, whatever its size.
    if (row.listedStamp && std::nearbyint(stampValue) == double(*row.listedStamp)) {
        p.kind = Plan::Kind::Unchanged;
        return p;
    }
    const std::optional<qint32> stamp = toInt32HalfEven(stampValue);
    if (!stamp) {
        p.kind = Plan::Kind::Fail;
        p.failure = QStringLiteral("the auction end %1 is not a Unix time stamp of 32 bits")
                        .arg(row.stampText.trimmed());
        return p;
    }
    // A stamp of 0 would take the item out of its auction: this button never does that.
    if (*stamp == 0)
        return p;
    const std::optional<qint32> itemId = toInt32HalfEven(id);
    if (!itemId) {
        p.kind = Plan::Kind::Fail;
        p.failure = QStringLiteral("the item number %1 does not fit a 32-bit whole number")
                        .arg(row.idText.trimmed());
        return p;
    }
    p.kind = Plan::Kind::Write;
    p.itemId = *itemId;
    p.stamp = *stamp;
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
    // What this save wrote per item: a later row of the same item expects it.
    QHash<qint32, qint64> written;
    for (int r = 0; r < rows.size(); ++r) {
        if (beforeRow)
            beforeRow(r);
        const AuctionRow& row = rows[r];
        const Plan p = plan(row);
        const QString itemText =
            p.kind == Plan::Kind::Write ? QString::number(p.itemId) : row.idText.trimmed();
        if (p.kind == Plan::Kind::Fail) {
            report.failed.append({r, itemText, p.failure, false});
            continue;
        }
        if (p.kind == Plan::Kind::Unchanged)
            ++report.unchanged;
        if (p.kind != Plan::Kind::Write)
            continue;
        if (!report.connectionLost && !report.stopped && stopRequested && stopRequested())
            report.stopped = true;
        if (report.connectionLost || report.stopped) {
            ++report.notAttempted;
            continue;
        }
        const auto previous = written.constFind(p.itemId);
        const std::optional<qint64> expected =
            previous != written.constEnd() ? std::optional<qint64>(*previous) : row.listedStamp;
        QString reason;
        switch (write(p, row, expected, &reason)) {
        case Outcome::Saved:
            ++report.saved;
            report.savedRows.append({r, p.stamp});
            written.insert(p.itemId, p.stamp);
            if (rowSaved)
                rowSaved(r, p.stamp);
            break;
        case Outcome::ChangedElsewhere:
            report.changedElsewhere.append({r, itemText, reason, false});
            break;
        case Outcome::ConnectionLost:
            report.connectionLost = true;
            report.connectionError = reason;
            ++report.notAttempted;
            break;
        case Outcome::Failed:
            report.failed.append({r, itemText, reason, false});
            break;
        case Outcome::Refused:
            report.failed.append({r, itemText, reason, true});
            break;
        }
    }
    return report;
}

AuctionSaver::Outcome AuctionSaver::write(const Plan& plan, const AuctionRow& row,
                                          std::optional<qint64> expected, QString* reason)
{
    const auto failure = [&](const QString& message) {
        *reason = message;
        // A dead server would fail every remaining row the same way, slowly.
        return serverAnswers() ? Outcome::Refused : Outcome::ConnectionLost;
    };
    try {
        m_control.CommandType = 1;
        m_control.RecordSource =
            QStringLiteral("SELECT * FROM item WHERE storeid LIKE ? ESCAPE '%1' AND CV_itemid=")
                .arg(kLikeEscape) +
            QString::number(plan.itemId);
        m_control.Parameters = {likeLiteral(m_storeId)};
        m_control.Refresh();

        RecordSet& rs = m_control.Recordset();
        QStringList stores;
        for (rs.MoveFirst(); !rs.atEnd(); rs.MoveNext())
            stores << rs.Fields(QStringLiteral("storeid")).toString();
        // The row the clerk changed is one of this store's only if the server
        // found the very store id the listing read.
        if (row.storeListed && (!row.listedStore || !stores.contains(*row.listedStore))) {
            *reason = row.listedStore
                          ? QStringLiteral("it belongs to store \"%1\", not to store \"%2\"")
                                .arg(*row.listedStore, m_storeId)
                          : QStringLiteral("it belongs to no store (its storeid is NULL), not to "
                                           "store \"%1\"")
                                .arg(m_storeId);
            return Outcome::Failed;
        }
        if (stores.isEmpty()) {
            // One arg() call: a "%1" in the store id stays as it is.
            *reason = QStringLiteral("store \"%1\" has no item %2")
                          .arg(m_storeId, QString::number(plan.itemId));
            return Outcome::Failed;
        }
        if (stores.size() > 1) {
            *reason = QStringLiteral("%1 rows of the item table match store \"%2\" for this item "
                                     "(store ids \"%3\"), so none of them was written")
                          .arg(stores.size())
                          .arg(m_storeId, stores.join(QStringLiteral("\", \"")));
            return Outcome::Failed;
        }

        rs.MoveFirst();
        const QVariant held = rs.Fields(QStringLiteral("auction_until_unix"));
        const std::optional<qint64> current =
            held.isNull() ? std::nullopt : std::optional<qint64>(held.toLongLong());
        if (current == plan.stamp)
            return Outcome::Saved;
        if (current != expected) {
            *reason = QStringLiteral("the database holds %1, the table was listed with %2")
                          .arg(stampText(current), stampText(expected));
            return Outcome::ChangedElsewhere;
        }
        rs.setField(QStringLiteral("auction_until_unix"), QVariant(qint64(plan.stamp)));
        rs.Update();
        return Outcome::Saved;
    } catch (const UpdateConflict&) {
        *reason = QStringLiteral("changed by someone else while it was being saved");
        return Outcome::ChangedElsewhere;
    } catch (const std::exception& error) {
        return failure(errorText(error));
    }
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
