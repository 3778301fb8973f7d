#pragma once

#include "auction_core/UnsavedEndsFile.h"

#include <QObject>
#include <QThreadPool>
#include <QTimer>
#include <QVector>

#include <functional>
#include <memory>

class ItemTableModel;
class QWidget;

// Keeps the window's unsaved ends in the installation folder as they change,
// and after the program's first listing offers the ends a crashed program
// left behind. Restored ends go on the rows that show their items; the others
// wait for a listing that shows them, and count as unsaved meanwhile.
class UnsavedEndsKeeper : public QObject
{
    Q_OBJECT
public:
    struct Context
    {
        QWidget* window = nullptr; // the questions stand over it while it shows
        ItemTableModel* model = nullptr;
        QString folder;                   // the installation folder
        std::function<QString()> storeId; // written in the file's first line
    };

    explicit UnsavedEndsKeeper(const Context& context, QObject* parent = nullptr);
    ~UnsavedEndsKeeper() override;

    // A listing filled the grid: the first time, ends left behind are offered;
    // every time, waiting ends go on the rows that show their items.
    void listed();
    // Restored ends no listing has shown yet.
    int waitingCount() const { return int(m_waiting.size()); }
    // The program ends without its unsaved ends: the file goes, and no more is written.
    void discardAll();
    // Hands the file to its writer now rather than from the event loop.
    void writeNow();

signals:
    void waitingCountChanged(int count);

private:
    struct Disk;
    // On the writer's thread: writes the newest contents handed over until none is left.
    static void writeQueued(const std::shared_ptr<Disk>& disk, UnsavedEndsKeeper* keeper);
    void offerLeftBehind();
    void offer(std::unique_ptr<UnsavedEndsFile> file);
    void putBackWaiting();
    void warnOnce(const QString& text);
    QWidget* messageParent() const;

    Context m_context;
    QTimer m_writeTimer;
    // Waiting for the disk must not stall the window: the file is written on
    // a thread of its own, one write at a time, the newest contents only.
    QThreadPool m_writer;
    std::shared_ptr<Disk> m_disk;
    QVector<UnsavedEndsFile::End> m_waiting;
    bool m_offered = false;
    bool m_warned = false;
};
