#include "auction_core/AuctionJournal.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <QUuid>

#ifdef Q_OS_WIN
#include <io.h>
#else
#include <unistd.h>
#endif

namespace {
const QByteArray kHeader = "save,time,store,item,sku,old_stamp,new_stamp\n";
constexpr int kFields = 7;

// Waits until the written bytes are on the disk, not only in the system's cache.
bool syncToDisk(QFile& file)
{
#ifdef Q_OS_WIN
    return _commit(file.handle()) == 0;
#else
    return ::fsync(file.handle()) == 0;
#endif
}

QByteArray csvField(const QString& text)
{
    QByteArray bytes = text.toUtf8();
    if (bytes.contains(',') || bytes.contains('"') || bytes.contains('\n') ||
        bytes.contains('\r')) {
        bytes.replace("\"", "\"\"");
        bytes = '"' + bytes + '"';
    }
    return bytes;
}

QString stampField(std::optional<qint64> stamp)
{
    return stamp ? QString::number(*stamp) : QString();
}

// The records of a CSV text; a last record without its line end is left out.
QVector<QStringList> csvRecords(const QByteArray& text)
{
    QVector<QStringList> records;
    QStringList record;
    QByteArray field;
    bool quoted = false;
    bool wasQuoted = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quoted) {
            if (c != '"')
                field += c;
            else if (i + 1 < text.size() && text[i + 1] == '"')
                field += text[++i];
            else
                quoted = false;
        } else if (c == '"' && field.isEmpty() && !wasQuoted) {
            quoted = wasQuoted = true;
        } else if (c == ',' || c == '\n') {
            if (!wasQuoted && field.endsWith('\r'))
                field.chop(1);
            record << QString::fromUtf8(field);
            field.clear();
            wasQuoted = false;
            if (c == '\n') {
                records << record;
                record.clear();
            }
        } else {
            field += c;
        }
    }
    return records;
}

std::optional<qint64> stampOf(const QString& text, bool* ok)
{
    if (text.isEmpty())
        return std::nullopt;
    return text.toLongLong(ok);
}
} // namespace

AuctionJournal::AuctionJournal(QString filePath) : m_filePath(std::move(filePath)) {}

bool AuctionJournal::exists() const
{
    return QFileInfo::exists(m_filePath);
}

QString AuctionJournal::append(QVector<Row> rows) const
{
    const auto failed = [&](const QString& why) {
        return QStringLiteral("the save journal %1 cannot be written: %2").arg(m_filePath, why);
    };
    QFile file(m_filePath);
    // Append: every save of every window on this computer adds to the end.
    if (!file.open(QIODevice::ReadWrite | QIODevice::Append))
        return failed(file.errorString());
    QByteArray text;
    if (file.size() == 0) {
        text = kHeader;
    } else if (file.seek(file.size() - 1) && file.read(1) != "\n") {
        text = "\n"; // a line cut off by a crash must not swallow the first row
    }
    const QString saveId = QUuid::createUuid().toString(QUuid::WithoutBraces);
    const QString time = QDateTime::currentDateTimeUtc().toString(Qt::ISODate);
    for (Row& row : rows) {
        row.saveId = saveId;
        row.time = time;
        const QStringList fields = {row.saveId,
                                    row.time,
                                    row.store,
                                    QString::number(row.itemId),
                                    row.sku,
                                    stampField(row.oldStamp),
                                    stampField(row.newStamp)};
        for (int i = 0; i < fields.size(); ++i)
            text += (i ? "," : "") + csvField(fields[i]);
        text += '\n';
    }
    if (file.write(text) != text.size() || !file.flush())
        return failed(file.errorString());
    if (!syncToDisk(file))
        return failed(QStringLiteral("the disk did not confirm it"));
    return {};
}

AuctionJournal::Save AuctionJournal::lastSave() const
{
    Save save;
    QFile file(m_filePath);
    if (!file.exists())
        return save;
    if (!file.open(QIODevice::ReadOnly)) {
        save.error = QStringLiteral("the save journal %1 cannot be read: %2")
                         .arg(m_filePath, file.errorString());
        return save;
    }
    const QVector<QStringList> records = csvRecords(file.readAll());
    QString lastId;
    for (const QStringList& f : records) {
        if (f.size() != kFields || f[0] == QLatin1String("save"))
            continue;
        bool idOk = false, oldOk = true, newOk = true;
        Row row{f[0],
                f[1],
                f[2],
                f[3].toInt(&idOk),
                f[4],
                stampOf(f[5], &oldOk),
                stampOf(f[6], &newOk)};
        if (!idOk || !oldOk || !newOk)
            continue;
        if (row.saveId != lastId) {
            lastId = row.saveId;
            save.rows.clear();
        }
        save.rows << row;
    }
    return save;
}
