#pragma once

#include "data/DataControl.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QVector>

#include <atomic>
#include <functional>
#include <map>
#include <memory>

class QThread;

// Runs database steps one after another on a thread of their own, so that a
// slow, frozen or vanished server never holds up the window.
//
// A connection belongs to the thread that opened it, so a step works on data
// controls made for its thread (same name, connection string and configuration
// as the helper's control it stands for). A step the clerk gives up on is
// abandoned with its thread: its result is dropped, the thread ends by itself
// when the driver gives up, and the next step gets a fresh thread.
class DatabaseWorker : public QObject
{
    Q_OBJECT
public:
    // What a worker thread needs to stand in for one of the helper's data
    // controls; taken on the window's thread, so nothing is shared.
    struct ControlSetup
    {
        QString name;
        QString connectionString;
        const ConnectionConfig* config = nullptr; // read-only once loaded

        static ControlSetup of(const DataControl& control);
    };

    // The data controls of one worker thread, made on first use.
    class Session
    {
    public:
        Session() = default;
        Session(const Session&) = delete;
        Session& operator=(const Session&) = delete;
        // This thread's control for `setup` (the same one for the same name).
        DataControl& control(const ControlSetup& setup);

    private:
        std::map<QString, std::unique_ptr<DataControl>> m_controls;
    };
    using Step = std::function<void(Session&)>;

    // What a step run by runStreaming() hands to this object's thread while it runs.
    class Outbox
    {
    public:
        // Runs `deliver` on the worker object's thread, after what was posted
        // before and before the step's `done`; dropped once the step is given up.
        void post(std::function<void()> deliver);
        // The step was given up or told to stop: it should end without reading on.
        bool cancelled() const { return m_cancelled->load(); }

    private:
        friend class DatabaseWorker;
        Outbox(DatabaseWorker* worker, quint64 generation,
               std::shared_ptr<std::atomic<bool>> cancelled);
        DatabaseWorker* m_worker;
        quint64 m_generation;
        std::shared_ptr<std::atomic<bool>> m_cancelled;
    };
    using StreamingStep = std::function<void(Session&, Outbox&)>;

    explicit DatabaseWorker(QObject* parent = nullptr);
    // Waits for every thread still running; the drivers' time-outs bound the wait.
    ~DatabaseWorker() override;

    // Runs `step` on the worker thread, then `done` on this object's thread.
    // One step at a time: a step given while one runs is refused (false).
    bool run(Step step, std::function<void()> done);
    // As run(), with an outbox for handing results on while the step runs.
    bool runStreaming(StreamingStep step, std::function<void()> done);
    // Tells the running step to stop reading; its deliveries and `done` still come.
    void cancel();
    bool isBusy() const { return m_busy; }
    // Gives up the running step: its `done` never runs. Nothing happens
    // when no step runs.
    void abandon();
    // Threads given up on that have not ended yet.
    int abandonedRunning() const;

signals:
    // A step ended (done has run) or was abandoned.
    void idle();

private:
    struct Lane;
    void retire(std::shared_ptr<Lane> lane);
    std::shared_ptr<Lane> lane();
    // Runs `deliver` here unless the step of `generation` was given up.
    void deliver(quint64 generation, const std::function<void()>& deliver);

    std::shared_ptr<Lane> m_lane;
    QVector<std::shared_ptr<Lane>> m_retired;
    bool m_busy = false;
    quint64 m_generation = 0;
    // Set when the running step is to stop.
    std::shared_ptr<std::atomic<bool>> m_cancelled;
};
