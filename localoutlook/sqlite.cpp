#include "localoutlook/sqlite.h"

#include "localoutlook/errors.h"

#include <QDir>
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <sqlite3.h>
#include <thread>
#include <vector>

using namespace Qt::StringLiterals;

namespace localoutlook::sql {

namespace {

qint64 steadyMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// The thread that ends the shared read transactions nobody uses any more (Database::
// beginReadScope). It sleeps while none is open.
class ReadWatch
{
public:
    static ReadWatch& instance()
    {
        static ReadWatch watch;
        return watch;
    }

    ~ReadWatch()
    {
        {
            std::lock_guard lock(m_mutex);
            m_stop = true;
        }
        m_wake.notify_one();
        if (m_thread.joinable())
            m_thread.join();
    }

    void add(Database* db)
    {
        std::lock_guard lock(m_mutex);
        m_databases.push_back(db);
        if (!m_thread.joinable())
            m_thread = std::thread([this] { run(); });
    }

    void remove(Database* db)
    {
        std::lock_guard lock(m_mutex);
        std::erase(m_databases, db);
    }

    // A read transaction began: the watch looks after it.
    void readStarted()
    {
        {
            std::lock_guard lock(m_mutex);
            m_open = true;
        }
        m_wake.notify_one();
    }

private:
    void run()
    {
        std::unique_lock lock(m_mutex);
        while (!m_stop) {
            if (!m_open) {
                m_wake.wait(lock, [this] { return m_stop || m_open; });
                continue;
            }
            m_wake.wait_for(lock, std::chrono::milliseconds(Database::kReadIdleMs / 2));
            bool open = false;
            const qint64 now = steadyMs();
            for (Database* db : m_databases)
                open = db->endReadIfIdle(now) || open;
            m_open = open;
        }
    }

    std::mutex m_mutex; // before any Database's m_readMutex
    std::condition_variable m_wake;
    std::vector<Database*> m_databases;
    bool m_open = false; // some read transaction may be open
    bool m_stop = false;
    std::thread m_thread;
};

} // namespace

Statement::~Statement()
{
    sqlite3_finalize(m_stmt);
}

Statement& Statement::reset()
{
    sqlite3_reset(m_stmt);
    sqlite3_clear_bindings(m_stmt);
    return *this;
}

Statement& Statement::bind(int index, qint64 value)
{
    if (int rc = sqlite3_bind_int64(m_stmt, index, value); rc != SQLITE_OK)
        m_db.fail(rc);
    return *this;
}

Statement& Statement::bind(int index, double value)
{
    if (int rc = sqlite3_bind_double(m_stmt, index, value); rc != SQLITE_OK)
        m_db.fail(rc);
    return *this;
}

Statement& Statement::bind(int index, const QString& value)
{
    const QByteArray utf8 = value.toUtf8();
    if (int rc =
            sqlite3_bind_text(m_stmt, index, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
        rc != SQLITE_OK)
        m_db.fail(rc);
    return *this;
}

Statement& Statement::bind(int index, const QByteArray& blob)
{
    // A zero-length blob must stay a blob, not become NULL.
    const char* data = blob.isEmpty() ? "" : blob.constData();
    if (int rc = sqlite3_bind_blob(m_stmt, index, data, int(blob.size()), SQLITE_TRANSIENT);
        rc != SQLITE_OK)
        m_db.fail(rc);
    return *this;
}

Statement& Statement::bindNull(int index)
{
    if (int rc = sqlite3_bind_null(m_stmt, index); rc != SQLITE_OK)
        m_db.fail(rc);
    return *this;
}

bool Statement::next()
{
    if (!sqlite3_stmt_busy(m_stmt))
        m_db.beforeStep(m_stmt);
    const int rc = sqlite3_step(m_stmt);
    if (rc == SQLITE_ROW)
        return true;
    if (rc == SQLITE_DONE)
        return false;
    sqlite3_reset(m_stmt);
    m_db.fail(rc);
}

void Statement::exec()
{
    while (next()) {
    }
    sqlite3_reset(m_stmt);
}

qint64 Statement::int64(int column) const
{
    return sqlite3_column_int64(m_stmt, column);
}

double Statement::real(int column) const
{
    return sqlite3_column_double(m_stmt, column);
}

QString Statement::text(int column) const
{
    const auto* chars = reinterpret_cast<const char*>(sqlite3_column_text(m_stmt, column));
    return QString::fromUtf8(chars, sqlite3_column_bytes(m_stmt, column));
}

QByteArray Statement::blob(int column) const
{
    const auto* data = static_cast<const char*>(sqlite3_column_blob(m_stmt, column));
    return QByteArray(data, sqlite3_column_bytes(m_stmt, column));
}

bool Statement::isNull(int column) const
{
    return sqlite3_column_type(m_stmt, column) == SQLITE_NULL;
}

Database::Database(const QString& path, bool create) : m_path(path)
{
    const int flags = SQLITE_OPEN_READWRITE | (create ? SQLITE_OPEN_CREATE : 0);
    const QByteArray native = QDir::toNativeSeparators(path).toUtf8();
    const int rc = sqlite3_open_v2(native.constData(), &m_db, flags, nullptr);
    if (rc != SQLITE_OK) {
        const QString reason =
            m_db ? QString::fromUtf8(sqlite3_errmsg(m_db)) : QString::fromUtf8(sqlite3_errstr(rc));
        sqlite3_close(m_db);
        m_db = nullptr;
        throw lorvo::Error(errc::Corrupt, u"The file %1 cannot be opened: %2."_s.arg(
                                              QDir::toNativeSeparators(path), reason));
    }
    sqlite3_extended_result_codes(m_db, 1);
    sqlite3_busy_timeout(m_db, 5000);
}

Database::~Database()
{
    if (m_watched)
        ReadWatch::instance().remove(this);
    m_cache.clear(); // statements first: the connection closes only without them
    endRead();
    sqlite3_close(m_db);
}

void Database::exec(const char* sql)
{
    if (m_depth == 0)
        endRead();
    char* message = nullptr;
    const int rc = sqlite3_exec(m_db, sql, nullptr, nullptr, &message);
    sqlite3_free(message);
    if (rc != SQLITE_OK)
        fail(rc);
}

Statement& Database::cached(const char* sql)
{
    auto found = m_cache.find(sql);
    if (found != m_cache.end())
        return found->second->reset();
    sqlite3_stmt* stmt = nullptr;
    if (int rc = sqlite3_prepare_v3(m_db, sql, -1, SQLITE_PREPARE_PERSISTENT, &stmt, nullptr);
        rc != SQLITE_OK)
        fail(rc);
    auto& slot = m_cache[sql];
    slot = std::make_unique<Statement>(*this, stmt);
    return *slot;
}

qint64 Database::lastInsertId() const
{
    return sqlite3_last_insert_rowid(m_db);
}

void Database::transaction(const std::function<void()>& work)
{
    if (m_depth > 0) {
        work();
        return;
    }
    endRead();
    exec("BEGIN IMMEDIATE");
    ++m_depth;
    try {
        work();
        --m_depth;
        exec("COMMIT");
    } catch (...) {
        if (m_depth > 0)
            --m_depth;
        sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
        throw;
    }
}

void Database::beginReadScope()
{
    // The watch thread ends what this thread leaves open, so the connection must be shared
    // between threads; else reads lock the file one by one.
    if (sqlite3_threadsafe() != 1)
        return;
    if (!m_watched) {
        ReadWatch::instance().add(this);
        m_watched = true;
    }
    ++m_readScopes;
}

void Database::endReadScope()
{
    if (m_readScopes > 0 && --m_readScopes == 0)
        endRead();
}

void Database::beforeStep(sqlite3_stmt* stmt)
{
    if (m_depth > 0)
        return; // inside a write transaction
    const bool reads = sqlite3_stmt_readonly(stmt) != 0;
    bool started = false;
    {
        std::lock_guard lock(m_readMutex);
        const qint64 now = steadyMs();
        if (m_reading && (!reads || now - m_readStarted >= kReadSliceMs))
            endReadLocked();
        if (!m_reading && reads && m_readScopes > 0 && sqlite3_get_autocommit(m_db)) {
            // Deferred: the file's shared lock is taken by the first read and kept until the
            // transaction ends.
            if (sqlite3_exec(m_db, "BEGIN", nullptr, nullptr, nullptr) == SQLITE_OK) {
                m_reading = true;
                m_readStarted = now;
                started = true;
            }
        }
        m_lastRead = now;
    }
    if (started)
        ReadWatch::instance().readStarted();
}

void Database::endRead()
{
    std::lock_guard lock(m_readMutex);
    endReadLocked();
}

void Database::endReadLocked()
{
    if (!m_reading)
        return;
    m_reading = false;
    // Statements still stepping keep their snapshot until they are reset.
    sqlite3_exec(m_db, "COMMIT", nullptr, nullptr, nullptr);
}

bool Database::endReadIfIdle(qint64 now)
{
    std::lock_guard lock(m_readMutex);
    if (m_reading && now - m_lastRead >= kReadIdleMs)
        endReadLocked();
    return m_reading;
}

void Database::fail(int code) const
{
    const QString file = QDir::toNativeSeparators(m_path);
    const int primary = code & 0xFF;
    if (primary == SQLITE_CORRUPT || primary == SQLITE_NOTADB)
        throw lorvo::Error(errc::Corrupt,
                           u"The file %1 is damaged and cannot be read as a store."_s.arg(file));
    if (primary == SQLITE_READONLY || primary == SQLITE_PERM || primary == SQLITE_CANTOPEN)
        throw lorvo::Error(lorvo::err::PermissionDenied,
                           u"The file %1 cannot be written: %2."_s.arg(
                               file, QString::fromUtf8(sqlite3_errstr(code))));
    if (primary == SQLITE_FULL || primary == SQLITE_IOERR)
        throw lorvo::Error(lorvo::err::PathFileAccess,
                           u"The file %1 could not be written: %2."_s.arg(
                               file, QString::fromUtf8(sqlite3_errstr(code))));
    throw lorvo::Error(errc::Corrupt, u"The store %1 failed: %2."_s.arg(
                                          file, QString::fromUtf8(sqlite3_errmsg(m_db))));
}

} // namespace localoutlook::sql
