#pragma once

// Pages encoded and written on a thread of their own, so that the disk works while the next body
// is read and converted. What follows a page (its line in index.htm, its entry in the site's lists)
// runs on the caller's thread, in the order it was asked for, once the page is written.

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <condition_variable>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace lorvo {
class FileSystem;
}

namespace lorvo::archive {

class PageWriter
{
public:
    /// What follows a page: told the failure of its write, or none.
    using AfterPage = std::function<void(std::exception_ptr failure)>;

    /// Writes through fs, which must take writeFile from another thread while the caller uses it.
    explicit PageWriter(FileSystem& fs);
    /// Writes what is queued; what would have followed it is not run.
    ~PageWriter();
    PageWriter(const PageWriter&) = delete;
    PageWriter& operator=(const PageWriter&) = delete;

    /// What makes a page's bytes of its text, on the writer's thread.
    using Encode = QByteArray (*)(const QString& text);

    /// Queues the page (FileSystem::writeFile of encode(text)); after runs once it is written or
    /// has failed.
    void write(const QString& path, const QString& text, Encode encode, const QDateTime& modified,
               AfterPage after);
    /// Runs action after everything queued before it: at once when nothing is.
    void then(std::function<void()> action);
    /// Waits for every page and runs what follows them.
    void finish();

private:
    struct Job;
    void run();
    void retire(bool wait);

    FileSystem& m_fs;
    std::deque<std::shared_ptr<Job>> m_queue; // in order; the caller's thread only
    qsizetype m_queuedBytes = 0;
    qsizetype m_queuedPages = 0;

    std::mutex m_mutex; // guards what follows
    std::condition_variable m_changed;
    std::deque<std::shared_ptr<Job>> m_toWrite;
    bool m_stop = false;
    bool m_waiting = false; // the caller waits for a page
    std::thread m_thread;   // started with the first page
};

} // namespace lorvo::archive
