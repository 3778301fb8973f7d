#include "auction_core/UnsavedEndsFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QSaveFile>
#include <QUrl>
#include <QUuid>

#include <algorithm>

#ifndef Q_OS_WIN
#include <fcntl.h>
#include <unistd.h>
#endif

namespace {
const QByteArray kTag = "veskauction-unsaved-ends 1";
const QByteArray kNull = "\\N";
const QString kPrefix = QStringLiteral("unsaved_ends_");
const QString kSuffix = QStringLiteral(".txt");
const QString kLockSuffix = QStringLiteral(".lock");
constexpr int kEndFields = 5;

// Waits until the written bytes are on the disk, not only in the system's
// cache. QSaveFile::commit() syncs too, but keeps quiet when that fails; on
// Windows it is all there is, as a file opened natively has no descriptor.
bool syncToDisk(const QSaveFile& file)
{
#ifdef Q_OS_WIN
    Q_UNUSED(file);
    return true;
#else
    return ::fsync(file.handle()) == 0;
#endif
}

// The rename is an entry of the folder, on the disk once the folder is. Best
// effort: the file itself is already there, and a later sync takes the rename along.
void syncFolder(const QString& dir)
{
#ifndef Q_OS_WIN
    const int handle = ::open(QFile::encodeName(dir).constData(), O_RDONLY);
    if (handle >= 0) {
        ::fsync(handle);
        ::close(handle);
    }
#else
    Q_UNUSED(dir);
#endif
}

QByteArray storeField(const std::optional<QString>& store)
{
    return store ? QUrl::toPercentEncoding(*store) : kNull;
}

std::optional<QString> storeOf(const QByteArray& field)
{
    if (field == kNull)
        return std::nullopt;
    return QString::fromUtf8(QByteArray::fromPercentEncoding(field));
}

std::unique_ptr<QLockFile> lockFor(const QString& path)
{
    auto lock = std::make_unique<QLockFile>(path + kLockSuffix);
    // Held as long as the program runs: stale only once its program is gone.
    lock->setStaleLockTime(0);
    return lock->tryLock(0) ? std::move(lock) : nullptr;
}

std::optional<UnsavedEndsFile::End> endOf(const QByteArray& line)
{
    const QList<QByteArray> f = line.split('\t');
    if (f.size() != kEndFields)
        return std::nullopt;
    bool idOk = false, listedOk = true, stampOk = false;
    UnsavedEndsFile::End end;
    end.itemId = f[0].toLongLong(&idOk);
    if (!f[1].isEmpty())
        end.listedStamp = f[1].toLongLong(&listedOk);
    end.stamp = f[2].toInt(&stampOk);
    end.wall = QDateTime::fromString(QString::fromLatin1(f[3]), Qt::ISODate);
    end.listedStore = storeOf(f[4]);
    if (!idOk || !listedOk || !stampOk || (!f[3].isEmpty() && !end.wall.isValid()))
        return std::nullopt;
    return end;
}
} // namespace

UnsavedEndsFile::UnsavedEndsFile(QString path, std::unique_ptr<QLockFile> lock)
    : m_path(std::move(path)), m_lock(std::move(lock))
{
}

UnsavedEndsFile::~UnsavedEndsFile() = default;

std::unique_ptr<UnsavedEndsFile> UnsavedEndsFile::create(const QString& dir, QString* error)
{
    const QString path =
        QDir(dir).filePath(kPrefix + QUuid::createUuid().toString(QUuid::Id128) + kSuffix);
    std::unique_ptr<QLockFile> lock = lockFor(path);
    if (!lock) {
        *error = QStringLiteral("the lock file %1%2 cannot be made").arg(path, kLockSuffix);
        return nullptr;
    }
    return std::unique_ptr<UnsavedEndsFile>(new UnsavedEndsFile(path, std::move(lock)));
}

std::vector<std::unique_ptr<UnsavedEndsFile>> UnsavedEndsFile::takeOrphans(const QString& dir)
{
    const QDir folder(dir);
    // A lock without its file: the program ended with nothing unsaved, or died so.
    for (const QString& name : folder.entryList({kPrefix + '*' + kSuffix + kLockSuffix})) {
        const QString path = folder.filePath(name.chopped(kLockSuffix.size()));
        if (!QFileInfo::exists(path))
            lockFor(path); // taken only when stale, and let go (removed) at once
    }
    std::vector<std::unique_ptr<UnsavedEndsFile>> orphans;
    for (const QFileInfo& file : folder.entryInfoList({kPrefix + '*' + kSuffix}, QDir::Files,
                                                      QDir::Time | QDir::Reversed)) {
        if (std::unique_ptr<QLockFile> lock = lockFor(file.filePath()))
            orphans.push_back(std::unique_ptr<UnsavedEndsFile>(
                new UnsavedEndsFile(file.filePath(), std::move(lock))));
    }
    return orphans;
}

QByteArray UnsavedEndsFile::format(const Contents& contents)
{
    QByteArray text = kTag + '\t' + contents.written.toUTC().toString(Qt::ISODate).toLatin1() +
                      '\t' + QUrl::toPercentEncoding(contents.store) + '\n';
    for (const End& end : contents.ends) {
        text += QByteArray::number(end.itemId) + '\t' +
                (end.listedStamp ? QByteArray::number(*end.listedStamp) : QByteArray()) + '\t' +
                QByteArray::number(end.stamp) + '\t' +
                end.wall.toUTC().toString(Qt::ISODate).toLatin1() + '\t' +
                storeField(end.listedStore) + '\n';
    }
    return text + "end\t" + QByteArray::number(contents.ends.size()) + '\n';
}

std::optional<UnsavedEndsFile::Contents> UnsavedEndsFile::parse(const QByteArray& text,
                                                                QString* error)
{
    QList<QByteArray> lines = text.split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    const QList<QByteArray> head = lines.value(0).split('\t');
    if (head.size() != 3 || head[0] != kTag ||
        !QDateTime::fromString(QString::fromLatin1(head[1]), Qt::ISODate).isValid()) {
        *error = QStringLiteral("it is no file of unsaved ends");
        return std::nullopt;
    }
    Contents contents;
    contents.written = QDateTime::fromString(QString::fromLatin1(head[1]), Qt::ISODate);
    contents.store = QString::fromUtf8(QByteArray::fromPercentEncoding(head[2]));
    const QByteArray last = lines.size() > 1 ? lines.last() : QByteArray();
    if (last != "end\t" + QByteArray::number(lines.size() - 2)) {
        *error = QStringLiteral("it is cut off");
        return std::nullopt;
    }
    for (int i = 1; i + 1 < lines.size(); ++i) {
        const std::optional<End> end = endOf(lines[i]);
        if (!end) {
            *error = QStringLiteral("line %1 is no unsaved end").arg(i + 1);
            return std::nullopt;
        }
        contents.ends << *end;
    }
    return contents;
}

QString UnsavedEndsFile::write(const Contents& contents) const
{
    const auto failed = [&](const QString& why) {
        return QStringLiteral("the unsaved ends file %1 cannot be written: %2").arg(m_path, why);
    };
    QSaveFile file(m_path);
    if (!file.open(QIODevice::WriteOnly))
        return failed(file.errorString());
    const QByteArray text = format(contents);
    if (file.write(text) != text.size() || !file.flush())
        return failed(file.errorString());
    if (!syncToDisk(file))
        return failed(QStringLiteral("the disk did not confirm it"));
    if (!file.commit())
        return failed(file.errorString());
    syncFolder(QFileInfo(m_path).absolutePath());
    return {};
}

std::optional<UnsavedEndsFile::Contents> UnsavedEndsFile::read(QString* error) const
{
    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = file.errorString();
        return std::nullopt;
    }
    return parse(file.readAll(), error);
}

QString UnsavedEndsFile::remove() const
{
    QFile file(m_path);
    if (!file.exists() || file.remove())
        return {};
    return QStringLiteral("the unsaved ends file %1 cannot be removed: %2")
        .arg(m_path, file.errorString());
}

QString UnsavedEndsFile::setAside() const
{
    const QString aside = m_path + QStringLiteral(".damaged");
    QFile::remove(aside);
    return QFile::rename(m_path, aside) ? aside : QString();
}
