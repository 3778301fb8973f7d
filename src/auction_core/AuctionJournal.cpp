#include "auction_core/AuctionJournal.h"

#include "data/FileRoutines.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <QUuid>

#include <algorithm>

#ifdef Q_OS_WIN
#include <io.h>
#else
#include <unistd.h>
#endif

namespace {
const QByteArray kHeader = "save,time,store,item,sku,old_stamp,new_stamp,record,undoes\n";
constexpr int kOldFields = 7;
constexpr int kFieldsBeforeUndoes = 8; // journals written before undoes were marked
constexpr int kFields = 9;
constexpr qint64 kChunk = 64 * 1024;
// No record is this long: a longer run without a line end is no record.
constexpr qsizetype kLongestLine = 1024 * 1024;

// Waits until the written bytes are on the disk, not only in the system's cache.
bool syncToDisk(QFile& file)
{
#ifdef Q_OS_WIN
    return _commit(file.handle()) == 0;
#else
    return ::fsync(file.handle()) == 0;
#endif
}

bool looksLikeFormula(const QString& text)
{
    return !text.isEmpty() && QStringLiteral("=+-@'").contains(text[0]);
}

QByteArray csvField(QString text, bool isText)
{
    text.replace(QLatin1Char('\r'), QLatin1Char(' '));
    text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    if (isText && looksLikeFormula(text))
        text.prepend(QLatin1Char('\''));
    QByteArray bytes = text.toUtf8();
    if (bytes.contains(',') || bytes.contains('"')) {
        bytes.replace("\"", "\"\"");
        bytes = '"' + bytes + '"';
    }
    return bytes;
}

QString stampField(std::optional<qint64> stamp)
{
    return stamp ? QString::number(*stamp) : QString();
}

QByteArray recordLine(const AuctionJournal::Row& row, AuctionJournal::Record record)
{
    const QByteArray kind = record == AuctionJournal::Record::Written ? "written" : "intent";
    return csvField(row.saveId, false) + ',' + csvField(row.time, false) + ',' +
           csvField(row.store, true) + ',' + QByteArray::number(row.itemId) + ',' +
           csvField(row.sku, true) + ',' + stampField(row.oldStamp).toUtf8() + ',' +
           stampField(row.newStamp).toUtf8() + ',' + kind + ',' + csvField(row.undoes, false) +
           '\n';
}

// The fields of one line; nullopt for a line cut inside a quoted field.
std::optional<QStringList> csvFields(QByteArray line)
{
    if (line.endsWith('\r'))
        line.chop(1);
    QStringList fields;
    QByteArray field;
    bool quoted = false;
    bool wasQuoted = false;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (quoted) {
            if (c != '"')
                field += c;
            else if (i + 1 < line.size() && line[i + 1] == '"')
                field += line[++i];
            else
                quoted = false;
        } else if (c == '"' && field.isEmpty() && !wasQuoted) {
            quoted = wasQuoted = true;
        } else if (c == ',') {
            fields << QString::fromUtf8(field);
            field.clear();
            wasQuoted = false;
        } else {
            field += c;
        }
    }
    if (quoted)
        return std::nullopt;
    fields << QString::fromUtf8(field);
    return fields;
}

std::optional<qint64> stampOf(const QString& text, bool* ok)
{
    if (text.isEmpty())
        return std::nullopt;
    return text.toLongLong(ok);
}

QString textOf(const QString& field)
{
    return field.startsWith(QLatin1Char('\'')) ? field.mid(1) : field;
}

// The record a line holds; nullopt for the header, a cut line or anything else.
std::optional<AuctionJournal::Row> rowOf(const QByteArray& line)
{
    const std::optional<QStringList> f = csvFields(line);
    if (!f || f->size() < kOldFields || f->size() > kFields)
        return std::nullopt;
    AuctionJournal::Row row;
    if (f->size() == kOldFields)
        row.record = AuctionJournal::Record::OldIntent;
    else if (f->at(7) == QLatin1String("written"))
        row.record = AuctionJournal::Record::Written;
    else if (f->at(7) != QLatin1String("intent"))
        return std::nullopt;
    bool idOk = false, oldOk = true, newOk = true;
    row.saveId = f->at(0);
    row.time = f->at(1);
    row.store = textOf(f->at(2));
    row.itemId = f->at(3).toInt(&idOk);
    row.sku = textOf(f->at(4));
    row.oldStamp = stampOf(f->at(5), &oldOk);
    row.newStamp = stampOf(f->at(6), &newOk);
    row.undoes = f->value(kFieldsBeforeUndoes);
    if (!idOk || !oldOk || !newOk || row.saveId.isEmpty())
        return std::nullopt;
    return row;
}

// The complete lines of a file, last first, read in chunks from its end. A
// last line without its line end (cut off by a crash) is left out.
class LinesFromEnd
{
public:
    explicit LinesFromEnd(QFile& file) : m_file(file), m_pos(file.size()) {}

    // False at the start of the file, or when it cannot be read.
    bool next(QByteArray* line)
    {
        while (m_lines.isEmpty()) {
            if (m_pos == 0 && !m_carryPending)
                return false;
            if (!readChunk())
                return false;
        }
        *line = m_lines.takeLast();
        return true;
    }
    qint64 bytesRead() const { return m_read; }

private:
    bool readChunk()
    {
        if (m_pos == 0) { // the first line of the file
            m_carryPending = false;
            m_lines << m_carry;
            return true;
        }
        const qint64 from = std::max<qint64>(0, m_pos - kChunk);
        if (!m_file.seek(from))
            return false;
        QByteArray buffer = m_file.read(m_pos - from);
        if (buffer.size() != m_pos - from)
            return false;
        m_read += buffer.size();
        const bool atEnd = m_pos == m_file.size();
        m_pos = from;
        buffer += m_carry;
        QList<QByteArray> pieces = buffer.split('\n');
        if (atEnd)
            pieces.removeLast(); // empty, or a line cut off
        m_carry = pieces.takeFirst();
        if (m_carry.size() > kLongestLine)
            m_carry.clear();
        m_carryPending = true;
        m_lines = pieces;
        return true;
    }

    QFile& m_file;
    qint64 m_pos;
    qint64 m_read = 0;
    QByteArray m_carry; // the start of the file's part read so far: maybe a line's end
    bool m_carryPending = false;
    QList<QByteArray> m_lines;
};
} // namespace

QVector<AuctionJournal::Row> AuctionJournal::Save::written() const
{
    const bool keptWritten = std::any_of(
        rows.begin(), rows.end(), [](const Row& row) { return row.record != Record::OldIntent; });
    QVector<Row> out;
    for (const Row& row : rows) {
        if (!keptWritten || row.record == Record::Written)
            out << row;
    }
    return out;
}

AuctionJournal::AuctionJournal(QString filePath) : m_filePath(std::move(filePath)) {}

bool AuctionJournal::exists() const
{
    return QFileInfo::exists(m_filePath);
}

void AuctionJournal::appendIntent(QVector<Row>& rows) const
{
    const QString saveId = QUuid::createUuid().toString(QUuid::WithoutBraces);
    for (Row& row : rows)
        row.saveId = saveId;
    append(rows, Record::Intent);
}

void AuctionJournal::appendWritten(QVector<Row> rows) const
{
    append(rows, Record::Written);
}

void AuctionJournal::append(QVector<Row>& rows, Record record) const
{
    const auto failed = [&](const QString& why) {
        return FileError(
            QStringLiteral("the save journal %1 cannot be written: %2").arg(m_filePath, why));
    };
    QFile file(m_filePath);
    // Append: every save of every window on this computer adds to the end.
    if (!file.open(QIODevice::ReadWrite | QIODevice::Append))
        throw failed(file.errorString());
    QByteArray text;
    if (file.size() == 0) {
        text = kHeader;
    } else if (file.seek(file.size() - 1) && file.read(1) != "\n") {
        text = "\n"; // a line cut off by a crash must not swallow the first row
    }
    const QString time = QDateTime::currentDateTimeUtc().toString(Qt::ISODate);
    for (Row& row : rows) {
        row.time = time;
        row.record = record;
        text += recordLine(row, record);
    }
    if (file.write(text) != text.size() || !file.flush())
        throw failed(file.errorString());
    if (!syncToDisk(file))
        throw failed(QStringLiteral("the disk did not confirm it"));
}

AuctionJournal::Save AuctionJournal::lastSave() const
{
    Save save;
    m_bytesRead = 0;
    QFile file(m_filePath);
    if (!file.exists())
        return save;
    if (!file.open(QIODevice::ReadOnly)) {
        save.error = QStringLiteral("the save journal %1 cannot be read: %2")
                         .arg(m_filePath, file.errorString());
        return save;
    }
    // The last save is the one of the last record. Its intent records are one
    // run of lines: the first line of another save before them ends it.
    LinesFromEnd lines(file);
    QByteArray line;
    bool intentSeen = false;
    while (lines.next(&line)) {
        const std::optional<Row> row = rowOf(line);
        if (!row)
            continue;
        const bool ours = save.rows.isEmpty() || row->saveId == save.rows.first().saveId;
        if (!ours && intentSeen)
            break;
        if (ours) {
            save.rows.prepend(*row);
            intentSeen = intentSeen || row->record != Record::Written;
        }
    }
    m_bytesRead = lines.bytesRead();
    return save;
}
