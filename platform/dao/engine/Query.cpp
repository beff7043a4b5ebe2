#include "dao/engine/Query.h"

#include "dao/engine/ErrorLog.h"
#include "dao/engine/Rights.h"

#include <cstring>
#include <limits>

namespace dao::engine {
namespace {

struct AuthContext {
    Session* session = nullptr;
    std::string deniedTable;
    bool deniedOther = false;
};

// Only reading is allowed: the statement itself must be a SELECT, it may call functions, and every table
// it reads must grant RetrieveData. Everything else (writes, PRAGMA, ATTACH, temporary objects) is denied.
int authorize(void* ctx, int action, const char* arg1, const char*, const char* dbName, const char*) {
    auto* c = static_cast<AuthContext*>(ctx);
    switch (action) {
    case SQLITE_SELECT:
    case SQLITE_FUNCTION:
    case SQLITE_RECURSIVE:
        return SQLITE_OK;
    case SQLITE_READ:
        if ((dbName == nullptr || std::strcmp(dbName, "main") == 0) && arg1 &&
            c->session->mayRetrieveData(arg1))
            return SQLITE_OK;
        if (c->deniedTable.empty()) c->deniedTable = arg1 ? arg1 : "";
        return SQLITE_DENY;
    default:
        c->deniedOther = true;
        return SQLITE_DENY;
    }
}

Variant columnValue(sqlite3_stmt* st, int col) {
    switch (sqlite3_column_type(st, col)) {
    case SQLITE_INTEGER: {
        const sqlite3_int64 v = sqlite3_column_int64(st, col);
        if (v >= std::numeric_limits<std::int32_t>::min() && v <= std::numeric_limits<std::int32_t>::max())
            return Variant(static_cast<std::int32_t>(v));
        return Variant(static_cast<double>(v));
    }
    case SQLITE_FLOAT:
        return Variant(sqlite3_column_double(st, col));
    case SQLITE_TEXT:
    case SQLITE_BLOB: {
        const auto* p = static_cast<const char*>(sqlite3_column_blob(st, col));
        return Variant(std::string(p ? p : "", static_cast<std::size_t>(sqlite3_column_bytes(st, col))));
    }
    default:
        return Variant::null();
    }
}

class RecordsetImpl : public Recordset {
public:
    RecordsetImpl(SessionPtr s, std::vector<std::string> names, std::vector<std::vector<Variant>> rows)
        : s_(std::move(s)), names_(std::move(names)), rows_(std::move(rows)) {}

    bool AtEOF() override { return pos_ >= rows_.size(); }
    void MoveNext() override {
        guarded(s_->log(), [&] {
            if (AtEOF()) fail(errNoCurrentRecord, "No current record.");
            ++pos_;
        });
    }
    std::int16_t FieldCount() override { return static_cast<std::int16_t>(names_.size()); }
    std::string FieldName(std::int16_t index) override {
        return guarded(s_->log(),
                       [&] { return names_.at(static_cast<std::size_t>(fieldIndex(Variant(index)))); });
    }
    Variant Field(const Variant& key) override {
        return guarded(s_->log(), [&] {
            const long i = fieldIndex(key);
            if (AtEOF()) fail(errNoCurrentRecord, "No current record.");
            return rows_[pos_][static_cast<std::size_t>(i)];
        });
    }

private:
    long fieldIndex(const Variant& key) const {
        long i = indexKey(key, static_cast<long>(names_.size()));
        if (i >= 0) return i;
        if (key.isString())
            for (std::size_t k = 0; k < names_.size(); ++k)
                if (equalNoCase(names_[k], key.toString())) return static_cast<long>(k);
        fail(errItemNotFound, "Item not found in this collection.");
    }

    SessionPtr s_;
    std::vector<std::string> names_;
    std::vector<std::vector<Variant>> rows_;
    std::size_t pos_ = 0;
};

class QueryDefImpl : public QueryDef {
public:
    QueryDefImpl(SessionPtr s, std::string sql) : s_(std::move(s)), sql_(std::move(sql)) {}

    std::string SQL() override { return sql_; }

    RecordsetPtr OpenRecordset(const Variant& type, const Variant& options) override {
        return guarded(s_->log(), [&]() -> RecordsetPtr {
            if (!type.isEmpty() && !(type.isInteger() && type.toInt32() == dbOpenDynaset))
                fail(errNotSupported, "Only dynaset-type recordsets are supported.");
            if (!options.isEmpty() && !options.isInteger())
                fail(errInvalidArgument, "The recordset options must be an integer.");
            return run();
        });
    }

private:
    RecordsetPtr run() {
        sqlite3* db = s_->connection().handle();
        AuthContext ctx;
        ctx.session = s_.get();
        sqlite3_stmt* raw = nullptr;
        const char* tail = nullptr;
        sqlite3_set_authorizer(db, authorize, &ctx);
        const int rc = sqlite3_prepare_v2(db, sql_.c_str(), static_cast<int>(sql_.size()), &raw, &tail);
        sqlite3_set_authorizer(db, nullptr, nullptr);
        std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt*)> st(raw, sqlite3_finalize);
        if (rc != SQLITE_OK) {
            if (!ctx.deniedTable.empty())
                fail(errNoReadData,
                     "Cannot read the records: no read data permission on '" + ctx.deniedTable + "'.");
            if (ctx.deniedOther) fail(errQueryNotSelect, "Only SELECT queries can be run.");
            fail(errSyntax, std::string("The query cannot be run: ") + sqlite3_errmsg(db) + ".");
        }
        const bool onlyOne = tail == nullptr || std::strspn(tail, " \t\r\n;") == std::strlen(tail);
        if (!st || !onlyOne || !sqlite3_stmt_readonly(st.get()) || sqlite3_stmt_isexplain(st.get()))
            fail(errQueryNotSelect, "Only a single SELECT query can be run.");

        std::vector<std::string> names;
        const int cols = sqlite3_column_count(st.get());
        for (int c = 0; c < cols; ++c)
            names.emplace_back(sqlite3_column_name(st.get(), c));
        std::vector<std::vector<Variant>> rows;
        for (;;) {
            const int step = sqlite3_step(st.get());
            if (step == SQLITE_DONE) break;
            if (step != SQLITE_ROW) s_->connection().raise(step, "The query");
            auto& row = rows.emplace_back();
            row.reserve(static_cast<std::size_t>(cols));
            for (int c = 0; c < cols; ++c)
                row.push_back(columnValue(st.get(), c));
        }
        return std::make_shared<RecordsetImpl>(s_, std::move(names), std::move(rows));
    }

    SessionPtr s_;
    std::string sql_;
};

} // namespace

QueryDefPtr makeTemporaryQuery(const SessionPtr& session, const std::string& sql) {
    return std::make_shared<QueryDefImpl>(session, sql);
}

} // namespace dao::engine
