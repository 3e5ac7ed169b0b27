#include "archive/pagewriter.h"

#include "shared/filesystem.h"

namespace lorvo::archive {

namespace {

// Enough to keep the disk busy while a body is converted; few enough that a run holds little.
constexpr qsizetype kMaxQueuedPages = 16;
constexpr qsizetype kMaxQueuedBytes = 8 << 20;
// An idle writer is woken for a few pages at a time: each wake costs both threads.
constexpr size_t kWakeBatch = 4;

} // namespace

struct PageWriter::Job
{
    QString path;
    QString text; // the writer's until written
    Encode encode = nullptr;
    qsizetype held = 0; // bytes of text
    QDateTime modified;
    AfterPage after;              // for a page
    std::function<void()> action; // for what only waits its turn
    bool written = false;         // guarded by the mutex
    std::exception_ptr failure;   // set before written
};

PageWriter::PageWriter(FileSystem& fs) : m_fs(fs) {}

PageWriter::~PageWriter()
{
    {
        const std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_changed.notify_all();
    if (m_thread.joinable())
        m_thread.join();
}

void PageWriter::write(const QString& path, const QString& text, Encode encode,
                       const QDateTime& modified, AfterPage after)
{
    auto job = std::make_shared<Job>();
    job->path = path;
    job->text = text;
    job->encode = encode;
    job->held = text.size() * qsizetype(sizeof(QChar));
    job->modified = modified;
    job->after = std::move(after);
    bool wake = false;
    {
        const std::lock_guard lock(m_mutex);
        if (!m_thread.joinable())
            m_thread = std::thread([this] { run(); });
        m_toWrite.push_back(job);
        wake = m_toWrite.size() >= kWakeBatch;
    }
    if (wake)
        m_changed.notify_all();
    m_queuedBytes += job->held;
    m_queue.push_back(std::move(job));
    ++m_queuedPages;
    retire(false);
    while (m_queuedPages > kMaxQueuedPages || m_queuedBytes > kMaxQueuedBytes)
        retire(true);
}

void PageWriter::then(std::function<void()> action)
{
    if (m_queue.empty()) {
        action();
        return;
    }
    auto job = std::make_shared<Job>();
    job->action = std::move(action);
    m_queue.push_back(std::move(job));
}

void PageWriter::finish()
{
    while (!m_queue.empty())
        retire(true);
}

// Runs what follows the pages at the head of the queue that are written, and what waits behind
// them; with wait, first waits for the head's page.
void PageWriter::retire(bool wait)
{
    while (!m_queue.empty()) {
        const std::shared_ptr<Job> job = m_queue.front();
        if (job->after) {
            std::unique_lock lock(m_mutex);
            if (!job->written) {
                if (!wait)
                    return;
                m_waiting = true;
                m_changed.notify_all();
                m_changed.wait(lock, [&] { return job->written; });
                m_waiting = false;
            }
        }
        wait = false;
        // Taken off before it runs: what follows a page runs once, whatever it raises.
        m_queue.pop_front();
        if (job->after) {
            m_queuedBytes -= job->held;
            --m_queuedPages;
            job->after(job->failure);
        } else {
            job->action();
        }
    }
}

void PageWriter::run()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        // Once awake, it writes until nothing is queued.
        if (m_toWrite.empty())
            m_changed.wait(lock, [&] {
                return m_stop ||
                       (!m_toWrite.empty() && (m_waiting || m_toWrite.size() >= kWakeBatch));
            });
        if (m_toWrite.empty())
            return;
        const std::shared_ptr<Job> job = m_toWrite.front();
        m_toWrite.pop_front();
        lock.unlock();
        std::exception_ptr failure;
        try {
            m_fs.writeFile(job->path, job->encode(job->text), job->modified);
        } catch (...) {
            failure = std::current_exception();
        }
        job->text = QString();
        lock.lock();
        job->failure = failure;
        job->written = true;
        m_changed.notify_all();
    }
}

} // namespace lorvo::archive
