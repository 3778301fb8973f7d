#include "data/DatabaseWorker.h"

#include <QThread>

struct DatabaseWorker::Lane
{
    QThread* thread = nullptr;
    QObject* context = nullptr;       // lives in thread: steps run through it
    std::unique_ptr<Session> session; // made and destroyed on thread

    Lane()
    {
        thread = new QThread;
        thread->setObjectName(QStringLiteral("vesk-database"));
        context = new QObject;
        context->moveToThread(thread);
        // The connections close on the thread that opened them.
        QObject::connect(
            thread, &QThread::finished, context, [this] { session.reset(); }, Qt::DirectConnection);
        thread->start();
    }
    ~Lane()
    {
        thread->quit();
        thread->wait();
        delete context;
        delete thread;
    }
    Lane(const Lane&) = delete;
    Lane& operator=(const Lane&) = delete;
};

DatabaseWorker::ControlSetup DatabaseWorker::ControlSetup::of(const DataControl& control)
{
    return {control.name(), control.ConnectionString, control.config()};
}

DataControl& DatabaseWorker::Session::control(const ControlSetup& setup)
{
    std::unique_ptr<DataControl>& slot = m_controls[setup.name];
    if (!slot)
        slot = std::make_unique<DataControl>(setup.name, setup.connectionString,
                                             DataControl::kQueryText, QString(), setup.config);
    slot->ConnectionString = setup.connectionString;
    return *slot;
}

DatabaseWorker::DatabaseWorker(QObject* parent) : QObject(parent) {}

DatabaseWorker::~DatabaseWorker()
{
    // Steps still running post back to this object: every thread ends first.
    m_lane.reset();
    m_retired.clear();
}

std::shared_ptr<DatabaseWorker::Lane> DatabaseWorker::lane()
{
    if (!m_lane)
        m_lane = std::make_shared<Lane>();
    return m_lane;
}

bool DatabaseWorker::run(Step step, std::function<void()> done)
{
    return runStreaming([step = std::move(step)](Session& session, Outbox&) { step(session); },
                        std::move(done));
}

DatabaseWorker::Outbox::Outbox(DatabaseWorker* worker, quint64 generation,
                               std::shared_ptr<std::atomic<bool>> cancelled)
    : m_worker(worker), m_generation(generation), m_cancelled(std::move(cancelled))
{
}

void DatabaseWorker::Outbox::post(std::function<void()> deliver)
{
    QMetaObject::invokeMethod(
        m_worker,
        [worker = m_worker, generation = m_generation, deliver = std::move(deliver)] {
            worker->deliver(generation, deliver);
        },
        Qt::QueuedConnection);
}

void DatabaseWorker::deliver(quint64 generation, const std::function<void()>& deliver)
{
    if (m_busy && generation == m_generation)
        deliver();
}

bool DatabaseWorker::runStreaming(StreamingStep step, std::function<void()> done)
{
    if (m_busy)
        return false;
    m_busy = true;
    const quint64 generation = ++m_generation;
    m_cancelled = std::make_shared<std::atomic<bool>>(false);
    const std::shared_ptr<Lane> current = lane();
    Lane* raw = current.get();
    QMetaObject::invokeMethod(
        raw->context,
        [this, raw, generation, cancelled = m_cancelled, step = std::move(step),
         done = std::move(done)]() mutable {
            if (!raw->session)
                raw->session = std::make_unique<Session>();
            Outbox outbox(this, generation, cancelled);
            step(*raw->session, outbox);
            // Posted after the step's own deliveries, so it comes after them.
            outbox.post([this, done = std::move(done)] {
                m_busy = false;
                done();
                if (!m_busy)
                    emit idle();
            });
        },
        Qt::QueuedConnection);
    return true;
}

void DatabaseWorker::cancel()
{
    if (m_busy && m_cancelled)
        m_cancelled->store(true);
}

void DatabaseWorker::abandon()
{
    if (!m_busy)
        return;
    m_busy = false;
    ++m_generation;
    m_cancelled->store(true);
    if (m_lane)
        retire(std::exchange(m_lane, nullptr));
    emit idle();
}

void DatabaseWorker::retire(std::shared_ptr<Lane> lane)
{
    m_retired.append(lane);
    connect(lane->thread, &QThread::finished, this, [this, raw = lane.get()] {
        for (int i = 0; i < m_retired.size(); ++i) {
            if (m_retired[i].get() == raw) {
                m_retired.remove(i);
                break;
            }
        }
    });
    lane->thread->quit(); // after the step it is stuck in
}

int DatabaseWorker::abandonedRunning() const
{
    return m_retired.size();
}
