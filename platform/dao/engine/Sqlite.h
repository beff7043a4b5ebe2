#pragma once
// A thin layer over SQLite: connections with the engine's settings, prepared statements with bound
// parameters, and transactions that roll back unless committed. SQLite failures become DaoErrors that
// name the file.
#include <sqlite3.h>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace dao::engine {

class Connection;

class Statement {
public:
    Statement(Connection& db, std::string_view sql);
    ~Statement();
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    Statement& bind(int index, std::int64_t value);
    Statement& bind(int index, std::string_view text);
    Statement& bindBlob(int index, const void* data, std::size_t size);
    Statement& bindNull(int index);

    // Advances; true while a row is available. Throws on failure.
    bool step();
    // Advances and returns SQLite's result code without throwing on SQLITE_CONSTRAINT.
    int stepAllowConstraint();
    void run() {
        while (step()) {
        }
    }
    void reset();

    std::int64_t int64(int col) const { return sqlite3_column_int64(stmt_, col); }
    int int32(int col) const { return sqlite3_column_int(stmt_, col); }
    double real(int col) const { return sqlite3_column_double(stmt_, col); }
    bool isNull(int col) const { return sqlite3_column_type(stmt_, col) == SQLITE_NULL; }
    std::string text(int col) const;
    std::string_view blob(int col) const;

    sqlite3_stmt* handle() const { return stmt_; }

private:
    Connection& db_;
    sqlite3_stmt* stmt_ = nullptr;
};

class Connection {
public:
    enum Access { ReadWrite, ReadOnly };
    // Opens an existing file (never creates it). The caller has validated the file first.
    //
    // ReadWrite: while a write-ahead log with content lies beside the file, it is left as found on
    // closing until accept() is called, so a file refused after its open is never rewritten.
    // ReadOnly: nothing is written and no side file is made; a database at rest (no log with content)
    // is read as immutable, one with a live log through that log and its existing index.
    explicit Connection(const std::string& path, Access access = ReadWrite);
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // The file has passed the caller's checks: the log may be checkpointed into it on closing.
    void accept();
    bool readOnly() const { return readOnly_; }

    void exec(const char* sql);
    std::int64_t lastInsertId() const { return sqlite3_last_insert_rowid(db_); }
    // Changes when another connection has committed to the file since the last call.
    std::int64_t dataVersion();
    bool tableExists(std::string_view name);

    // Raises the DaoError for a failed SQLite call on this connection.
    [[noreturn]] void raise(int rc, std::string_view what) const;

    sqlite3* handle() const { return db_; }
    const std::string& path() const { return path_; }

private:
    sqlite3* db_ = nullptr;
    std::string path_;
    bool readOnly_ = false;
};

// BEGIN IMMEDIATE for writes (the write lock is taken at once, so two writers queue on the busy
// timeout instead of deadlocking), plain BEGIN for consistent multi-statement reads. Rolls back in the
// destructor unless committed.
class Transaction {
public:
    enum Kind { Read, Write };
    Transaction(Connection& db, Kind kind);
    ~Transaction();
    void commit();

private:
    Connection& db_;
    bool open_ = false;
};

// How long a call waits for another process's lock before giving up.
inline constexpr int kBusyTimeoutMs = 5000;

} // namespace dao::engine
