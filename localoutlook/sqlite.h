#pragma once

// A thin RAII layer over SQLite's C interface: one connection, prepared statements kept for reuse,
// every failure turned into lorvo::Error naming the store file.

#include "shared/error.h"

#include <QByteArray>
#include <QString>
#include <QVariant>
#include <functional>
#include <map>
#include <memory>
#include <mutex>

struct sqlite3;
struct sqlite3_stmt;

namespace localoutlook::sql {

class Database;

// A prepared statement; reset on every exec()/next() cycle start.
class Statement
{
public:
    Statement(Database& db, sqlite3_stmt* stmt) : m_db(db), m_stmt(stmt) {}
    ~Statement();
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    // Resets the statement and clears its bindings; returns *this for chaining.
    Statement& reset();
    Statement& bind(int index, qint64 value);
    Statement& bind(int index, int value) { return bind(index, qint64(value)); }
    Statement& bind(int index, bool value) { return bind(index, qint64(value ? 1 : 0)); }
    Statement& bind(int index, double value);
    Statement& bind(int index, const QString& value);
    Statement& bind(int index, const QByteArray& blob);
    Statement& bindNull(int index);

    // Steps once; true while a row is available.
    bool next();
    // Runs to completion.
    void exec();

    qint64 int64(int column) const;
    double real(int column) const;
    QString text(int column) const;
    QByteArray blob(int column) const;
    bool isNull(int column) const;

private:
    Database& m_db;
    sqlite3_stmt* m_stmt;
};

class Database
{
public:
    // Opens an existing file read-write, or creates it when create is set. Raises lorvo::Error.
    Database(const QString& path, bool create);
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    const QString& path() const { return m_path; }

    // Runs one or more statements without results.
    void exec(const char* sql);
    // A statement prepared once and reused: the text must be a literal that lives forever.
    Statement& cached(const char* sql);
    qint64 lastInsertId() const;

    // Runs work inside one transaction: everything or nothing. Nested calls join the outer one.
    void transaction(const std::function<void()>& work);

    // While a read scope is open, reads share one transaction instead of taking and releasing
    // the file's lock each time. Writers elsewhere wait little for it: it is renewed at the first
    // read after kReadSliceMs, and a watch thread ends it once no read came for kReadIdleMs
    // (the program waits for its user, or a writer of this very thread waits for the lock). A
    // write of this connection ends it first. Scopes nest; it ends with the last one.
    void beginReadScope();
    void endReadScope();
    static constexpr qint64 kReadSliceMs = 100;
    static constexpr qint64 kReadIdleMs = 50;

    // Raises the error of the connection for a failed call, naming the store file.
    [[noreturn]] void fail(int code) const;

    // For the watch thread: ends the shared read transaction when no read came for
    // kReadIdleMs by now (steady milliseconds). Whether it is still open.
    bool endReadIfIdle(qint64 now);

private:
    friend class Statement;
    // Before a statement's first step: joins or starts the shared read transaction of a read
    // scope, or ends it before a write.
    void beforeStep(sqlite3_stmt* stmt);
    void endRead();
    void endReadLocked();

    QString m_path;
    sqlite3* m_db = nullptr;
    std::map<const char*, std::unique_ptr<Statement>> m_cache;
    int m_depth = 0;
    int m_readScopes = 0;
    // The shared read transaction, also ended by the watch thread: guarded by m_readMutex.
    std::mutex m_readMutex;
    bool m_reading = false;
    qint64 m_readStarted = 0; // steady milliseconds
    qint64 m_lastRead = 0;
    bool m_watched = false; // registered with the watch thread
};

} // namespace localoutlook::sql
