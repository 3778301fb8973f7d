#include "auction/UnsavedEndsKeeper.h"

#include "auction_core/AuctionGrid.h"
#include "auction_core/ItemTableModel.h"
#include "windows/MessageBox.h"

#include <QDir>
#include <QLocale>
#include <QWidget>

UnsavedEndsKeeper::UnsavedEndsKeeper(const Context& context, QObject* parent)
    : QObject(parent), m_context(context)
{
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

UnsavedEndsKeeper::~UnsavedEndsKeeper() = default;

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
            tr("%1 unsaved ends from %2 were not saved. Restore them?").arg(count).arg(when),
            QMessageBox::Yes | QMessageBox::No, QString(), QMessageBox::Yes) == QMessageBox::Yes;
    if (!restore) {
        if (const QString failure = file->remove(); !failure.isEmpty())
            warnOnce(failure);
        return;
    }
    m_waiting += contents->ends;
    emit waitingCountChanged(waitingCount());
    if (!m_own)
        m_own = std::move(file);
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
    m_discarded = true;
    m_writeTimer.stop();
    m_waiting.clear();
    if (m_own) {
        if (const QString failure = m_own->remove(); !failure.isEmpty())
            warnOnce(failure);
    }
}

void UnsavedEndsKeeper::writeNow()
{
    m_writeTimer.stop();
    if (m_discarded)
        return;
    UnsavedEndsFile::Contents contents;
    contents.ends = m_context.model->keptEnds() + m_waiting;
    QString failure;
    if (contents.ends.isEmpty()) {
        failure = m_own ? m_own->remove() : QString();
    } else {
        if (!m_own)
            m_own = UnsavedEndsFile::create(m_context.folder, &failure);
        contents.written = QDateTime::currentDateTimeUtc();
        contents.store = m_context.storeId ? m_context.storeId() : QString();
        if (m_own)
            failure = m_own->write(contents);
    }
    if (!failure.isEmpty())
        warnOnce(tr("The unsaved ends could not be kept on the disk, so a crash would lose them."
                    "\n%1")
                     .arg(failure));
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
