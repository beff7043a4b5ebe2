#include "dao/engine/Sqlite.h"

#include "dao/engine/ErrorLog.h"

#include <sys/stat.h>

namespace dao::engine {
namespace {

bool hasLogContent(const std::string& path) {
    struct stat st {};
    return ::stat((path + "-wal").c_str(), &st) == 0 && st.st_size > 0;
}

// A file: URI for path; only the characters that URIs give a meaning to are escaped.
std::string fileUri(const std::string& path, const char* query) {
    std::string uri = "file:";
    for (char c : path) {
        if (c == '%' || c == '?' || c == '#') {
            static const char hex[] = "0123456789ABCDEF";
            uri += '%';
            uri += hex[static_cast<unsigned char>(c) >> 4];
            uri += hex[c & 0xF];
        } else {
            uri += c;
        }
    }
    return uri + "?" + query;
}

} // namespace

Connection::Connection(const std::string& path, Access access) : path_(path), readOnly_(access == ReadOnly) {
    const bool liveLog = hasLogContent(path);
    const int rc =
        readOnly_ ? sqlite3_open_v2(fileUri(path, liveLog ? "mode=ro" : "immutable=1").c_str(), &db_,
                                    SQLITE_OPEN_READONLY | SQLITE_OPEN_URI | SQLITE_OPEN_NOMUTEX, nullptr)
                  : sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc != SQLITE_OK) {
        const std::string msg = db_ ? sqlite3_errmsg(db_) : sqlite3_errstr(rc);
        sqlite3_close(db_);
        db_ = nullptr;
        fail(errNotDatabaseFile, "'" + path + "' cannot be opened (" + msg + ").");
    }
    if (!readOnly_ && liveLog) sqlite3_db_config(db_, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
    sqlite3_extended_result_codes(db_, 0);
    sqlite3_busy_timeout(db_, kBusyTimeoutMs);
    sqlite3_db_config(db_, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
    sqlite3_db_config(db_, SQLITE_DBCONFIG_ENABLE_TRIGGER, 0, nullptr);
    exec("PRAGMA foreign_keys=ON");
    exec("PRAGMA synchronous=FULL");
}

void Connection::accept() {
    if (!readOnly_) sqlite3_db_config(db_, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 0, nullptr);
}

Connection::~Connection() {
    if (db_) sqlite3_close_v2(db_);
}

void Connection::raise(int rc, std::string_view what) const {
    const std::string detail = db_ ? sqlite3_errmsg(db_) : sqlite3_errstr(rc);
    switch (rc & 0xFF) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        fail(errLocked, "The file '" + path_ + "' is locked by another user; try again later.");
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
        fail(errNotDatabaseFile, "'" + path_ + "' is damaged (" + detail + ").");
    case SQLITE_READONLY:
        fail(errReadOnly, "'" + path_ + "' cannot be written (" + detail + ").");
    default:
        fail(errUnexpected, std::string(what) + " failed on '" + path_ + "': " + detail + ".");
    }
}

void Connection::exec(const char* sql) {
    char* err = nullptr;
    const int rc = sqlite3_exec(db_, sql, nullptr, nullptr, &err);
    sqlite3_free(err);
    if (rc != SQLITE_OK) raise(rc, "SQL");
}

std::int64_t Connection::dataVersion() {
    Statement st(*this, "PRAGMA data_version");
    st.step();
    return st.int64(0);
}

bool Connection::tableExists(std::string_view name) {
    Statement st(*this, "SELECT 1 FROM sqlite_schema WHERE type='table' AND name=?1 COLLATE NOCASE");
    st.bind(1, name);
    return st.step();
}

Statement::Statement(Connection& db, std::string_view sql) : db_(db) {
    const int rc = sqlite3_prepare_v2(db.handle(), sql.data(), static_cast<int>(sql.size()), &stmt_, nullptr);
    if (rc != SQLITE_OK) db.raise(rc, "Preparing a statement");
}

Statement::~Statement() {
    sqlite3_finalize(stmt_);
}

Statement& Statement::bind(int index, std::int64_t value) {
    sqlite3_bind_int64(stmt_, index, value);
    return *this;
}

Statement& Statement::bind(int index, std::string_view text) {
    sqlite3_bind_text(stmt_, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
    return *this;
}

Statement& Statement::bindBlob(int index, const void* data, std::size_t size) {
    sqlite3_bind_blob(stmt_, index, data, static_cast<int>(size), SQLITE_TRANSIENT);
    return *this;
}

Statement& Statement::bindNull(int index) {
    sqlite3_bind_null(stmt_, index);
    return *this;
}

bool Statement::step() {
    const int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW) return true;
    if (rc == SQLITE_DONE) return false;
    sqlite3_reset(stmt_);
    db_.raise(rc, "A statement");
}

int Statement::stepAllowConstraint() {
    const int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW || rc == SQLITE_DONE) return rc;
    sqlite3_reset(stmt_);
    if ((rc & 0xFF) == SQLITE_CONSTRAINT) return SQLITE_CONSTRAINT;
    db_.raise(rc, "A statement");
}

void Statement::reset() {
    sqlite3_reset(stmt_);
    sqlite3_clear_bindings(stmt_);
}

std::string Statement::text(int col) const {
    const auto* p = sqlite3_column_text(stmt_, col);
    const int n = sqlite3_column_bytes(stmt_, col);
    return p ? std::string(reinterpret_cast<const char*>(p), static_cast<std::size_t>(n)) : std::string();
}

std::string_view Statement::blob(int col) const {
    const void* p = sqlite3_column_blob(stmt_, col);
    const int n = sqlite3_column_bytes(stmt_, col);
    return p ? std::string_view(static_cast<const char*>(p), static_cast<std::size_t>(n))
             : std::string_view();
}

Transaction::Transaction(Connection& db, Kind kind) : db_(db) {
    if (kind == Write && db.readOnly())
        fail(errReadOnly, "'" + db.path() +
                              "' cannot be written: it is opened read-only, as you may not "
                              "write to the file or its folder.");
    db_.exec(kind == Write ? "BEGIN IMMEDIATE" : "BEGIN");
    open_ = true;
}

Transaction::~Transaction() {
    if (open_) sqlite3_exec(db_.handle(), "ROLLBACK", nullptr, nullptr, nullptr);
}

void Transaction::commit() {
    db_.exec("COMMIT");
    open_ = false;
}

} // namespace dao::engine
