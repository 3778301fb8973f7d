#include "auction/UnsavedEndsKeeper.h"

#include "auction_core/AuctionGrid.h"
#include "auction_core/ItemTableModel.h"
#include "windows/MessageBox.h"

#include <QDir>
#include <QLocale>
#include <QMutex>
#include <QWidget>

struct UnsavedEndsKeeper::Disk
{
    QString folder;
    QMutex mutex; // guards the fields below
    std::optional<UnsavedEndsFile::Contents> next;
    bool queued = false;
    bool discarded = false;
    QMutex io; // held while the file is written or removed
    std::unique_ptr<UnsavedEndsFile> own;
};

UnsavedEndsKeeper::UnsavedEndsKeeper(const Context& context, QObject* parent)
    : QObject(parent), m_context(context), m_disk(std::make_shared<Disk>())
{
    m_disk->folder = m_context.folder;
    m_writer.setMaxThreadCount(1);
    // Many ends set at once (a fill down) make one write.
    m_writeTimer.setSingleShot(true);
    m_writeTimer.setInterval(0);
    connect(&m_writeTimer, &QTimer::timeout, this, &UnsavedEndsKeeper::writeNow);
    ItemTableModel* model = m_context.model;
    connect(model, &QAbstractItemModel::modelReset, &m_writeTimer, qOverload<>(&QTimer::start));
    connect(model, &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex& topLeft, const QModelIndex& bottomRight) {
                // Pictures arriving change no end.
                if (topLeft.column() <= auctiongrid::kStampColumn &&
                    bottomRight.column() >= auctiongrid::kStampColumn)
                    m_writeTimer.start();
            });
}

UnsavedEndsKeeper::~UnsavedEndsKeeper()
{
    // The last contents handed over reach the disk before the program ends.
    m_writer.waitForDone();
}

void UnsavedEndsKeeper::listed()
{
    if (!m_offered) {
        m_offered = true;
        // Asked from the event loop: the listing that called is still ending.
        QMetaObject::invokeMethod(this, &UnsavedEndsKeeper::offerLeftBehind, Qt::QueuedConnection);
        return;
    }
    putBackWaiting();
}

void UnsavedEndsKeeper::offerLeftBehind()
{
    for (std::unique_ptr<UnsavedEndsFile>& file : UnsavedEndsFile::takeOrphans(m_context.folder))
        offer(std::move(file));
    putBackWaiting();
    writeNow();
}

// Asks about one file a gone program left; Yes takes it over as this
// program's own file (or merges it into that), No removes it.
void UnsavedEndsKeeper::offer(std::unique_ptr<UnsavedEndsFile> file)
{
    QString error;
    const std::optional<UnsavedEndsFile::Contents> contents = file->read(&error);
    if (!contents) {
        const QString aside = file->setAside();
        MessageBox::warning(
            messageParent(),
            tr("The unsaved ends of an earlier run in %1 could not be read (%2) and were "
               "set aside%3.")
                .arg(QDir::toNativeSeparators(file->filePath()), error,
                     aside.isEmpty() ? QString() : tr(" as %1").arg(aside)));
        return;
    }
    const int count = int(contents->ends.size());
    const QString when = QLocale().toString(contents->written.toLocalTime(), QLocale::ShortFormat);
    const bool restore =
        count > 0 &&
        MessageBox::question(
            messageParent(),
            count == 1
                ? tr("1 unsaved end from %1 was not saved. Restore it?").arg(when)
                : tr("%1 unsaved ends from %2 were not saved. Restore them?").arg(count).arg(when),
            QMessageBox::Yes | QMessageBox::No, QString(), QMessageBox::Yes) == QMessageBox::Yes;
    if (!restore) {
        if (const QString failure = file->remove(); !failure.isEmpty())
            warnOnce(failure);
        return;
    }
    m_waiting += contents->ends;
    emit waitingCountChanged(waitingCount());
    QMutexLocker io(&m_disk->io);
    if (!m_disk->own)
        m_disk->own = std::move(file);
    else if (const QString failure = file->remove(); !failure.isEmpty())
        warnOnce(failure);
}

void UnsavedEndsKeeper::putBackWaiting()
{
    if (m_waiting.isEmpty())
        return;
    m_waiting = m_context.model->restoreEnds(m_waiting);
    emit waitingCountChanged(waitingCount());
    m_writeTimer.start();
}

void UnsavedEndsKeeper::discardAll()
{
    m_writeTimer.stop();
    m_waiting.clear();
    {
        QMutexLocker lock(&m_disk->mutex);
        m_disk->discarded = true;
        m_disk->next.reset();
    }
    QMutexLocker io(&m_disk->io);
    if (m_disk->own) {
        if (const QString failure = m_disk->own->remove(); !failure.isEmpty())
            warnOnce(failure);
    }
}

void UnsavedEndsKeeper::writeNow()
{
    m_writeTimer.stop();
    UnsavedEndsFile::Contents contents;
    contents.ends = m_context.model->keptEnds() + m_waiting;
    contents.written = QDateTime::currentDateTimeUtc();
    contents.store = m_context.storeId ? m_context.storeId() : QString();
    QMutexLocker lock(&m_disk->mutex);
    if (m_disk->discarded)
        return;
    m_disk->next = std::move(contents);
    if (std::exchange(m_disk->queued, true))
        return; // the running write takes these contents next
    m_writer.start([disk = m_disk, this] { writeQueued(disk, this); });
}

void UnsavedEndsKeeper::writeQueued(const std::shared_ptr<Disk>& disk, UnsavedEndsKeeper* keeper)
{
    for (;;) {
        QMutexLocker io(&disk->io);
        std::optional<UnsavedEndsFile::Contents> contents;
        {
            QMutexLocker lock(&disk->mutex);
            contents = std::exchange(disk->next, std::nullopt);
            if (!contents) {
                disk->queued = false;
                return;
            }
        }
        QString failure;
        if (contents->ends.isEmpty()) {
            failure = disk->own ? disk->own->remove() : QString();
        } else {
            if (!disk->own)
                disk->own = UnsavedEndsFile::create(disk->folder, &failure);
            if (disk->own)
                failure = disk->own->write(*contents);
        }
        if (failure.isEmpty())
            continue;
        QMetaObject::invokeMethod(
            keeper,
            [keeper, failure] {
                keeper->warnOnce(tr("The unsaved ends could not be kept on the disk, so a "
                                    "crash would lose them.\n%1")
                                     .arg(failure));
            },
            Qt::QueuedConnection);
    }
}

// One word per run: the clerk can go on working, and would otherwise hear it
// at every edit.
void UnsavedEndsKeeper::warnOnce(const QString& text)
{
    if (std::exchange(m_warned, true))
        return;
    MessageBox::warning(messageParent(), text);
}

QWidget* UnsavedEndsKeeper::messageParent() const
{
    return m_context.window && m_context.window->isVisible() ? m_context.window : nullptr;
}
