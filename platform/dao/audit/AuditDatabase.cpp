// The audit engine's Database: containers and documents with their owners and permissions, the two
// counting queries on MSysACEs, and the database's properties. Nothing is refused to read: whoever can
// read the file can read every row of it, whatever Jet would have let them see.
#include "dao/audit/Audit.h"
#include "dao/audit/AuditCatalog.h"

#include "dao/FileProbe.h"
#include "dao/engine/PropertyList.h"

#include <regex>

namespace dao::audit {
namespace {

template <class Base> class AuditSecured : public Base {
public:
    AuditSecured(AuditCatalogPtr c, std::uint32_t obj)
        : c_(std::move(c)), obj_(obj), user_(c_->workspace()->user) {}

    std::string Name() override { return c_->object(obj_).name; }
    std::string Owner() override { return c_->ownerName(obj_); }
    void SetOwner(const std::string&) override { refuse(); }
    std::string UserName() override { return c_->workgroup().at(user_).name; }
    void SetUserName(const std::string& accountName) override {
        guarded(*c_->log(), [&] { user_ = c_->account(accountName); });
    }
    std::int32_t Permissions() override { return c_->explicitPermissions(obj_, user_); }
    void SetPermissions(std::int32_t) override { refuse(); }
    std::int32_t AllPermissions() override { return c_->allPermissions(obj_, user_); }

protected:
    void refuse() {
        guarded(*c_->log(), [&] { refuseWrite(c_->path()); });
    }
    AuditCatalogPtr c_;
    std::uint32_t obj_;
    std::uint32_t user_;
};

class AuditDocument : public AuditSecured<Document> {
public:
    using AuditSecured::AuditSecured;
    std::string Container() override { return c_->object(c_->object(obj_).container).name; }
};

// Items of a container or of the Containers collection, made once per index.
template <class Ptr, class Make>
Ptr itemOf(const AuditCatalog& c, const std::vector<std::uint32_t>& list, std::vector<Ptr>& items,
           const Variant& key, Make find) {
    return guarded(*c.log(), [&]() -> Ptr {
        long i = engine::indexKey(key, static_cast<long>(list.size()));
        if (i < 0) {
            if (!key.isString()) fail(errItemNotFound, "Item not found in this collection.");
            const std::uint32_t obj = find(key.toString());
            const auto it = std::find(list.begin(), list.end(), obj);
            if (obj == npos || it == list.end())
                fail(errItemNotFound, "'" + key.toString() + "' is not an item of this collection.");
            i = it - list.begin();
        }
        return items[static_cast<std::size_t>(i)];
    });
}

class AuditDocuments : public Documents {
public:
    AuditDocuments(AuditCatalogPtr c, std::uint32_t container) : c_(std::move(c)), container_(container) {
        for (const std::uint32_t d : c_->documents(container_))
            items_.push_back(std::make_shared<AuditDocument>(c_, d));
    }
    std::int32_t Count() override { return static_cast<std::int32_t>(items_.size()); }
    DocumentPtr Item(const Variant& key) override {
        return itemOf(*c_, c_->documents(container_), items_, key,
                      [&](const std::string& n) { return c_->findDocument(container_, n); });
    }

private:
    AuditCatalogPtr c_;
    std::uint32_t container_;
    std::vector<DocumentPtr> items_;
};

class AuditContainer : public AuditSecured<dao::Container> {
public:
    AuditContainer(AuditCatalogPtr c, std::uint32_t obj) : AuditSecured(std::move(c), obj) {}
    bool Inherit() override { return c_->inheritable(obj_, user_); }
    void SetInherit(bool) override { refuse(); }
    DocumentsPtr Documents() override {
        if (!documents_) documents_ = std::make_shared<AuditDocuments>(c_, obj_);
        return documents_;
    }

private:
    DocumentsPtr documents_;
};

class AuditContainers : public Containers {
public:
    explicit AuditContainers(AuditCatalogPtr c) : c_(std::move(c)) {
        for (const std::uint32_t o : c_->containers())
            items_.push_back(std::make_shared<AuditContainer>(c_, o));
    }
    std::int16_t Count() override { return static_cast<std::int16_t>(items_.size()); }
    ContainerPtr Item(const Variant& key) override {
        return itemOf(*c_, c_->containers(), items_, key,
                      [&](const std::string& n) { return c_->findContainer(n); });
    }

private:
    AuditCatalogPtr c_;
    std::vector<ContainerPtr> items_;
};

// A one-row, one-field recordset holding a count.
class CountRecordset : public Recordset {
public:
    CountRecordset(ErrorLogPtr log, std::string field, std::int32_t value)
        : log_(std::move(log)), field_(std::move(field)), value_(value) {}
    bool AtEOF() override { return eof_; }
    void MoveNext() override {
        guarded(*log_, [&] {
            if (eof_) fail(errNoCurrentRecord, "No current record.");
            eof_ = true;
        });
    }
    std::int16_t FieldCount() override { return 1; }
    std::string FieldName(std::int16_t index) override {
        return guarded(*log_, [&] {
            if (index != 0) fail(errItemNotFound, "Item not found in this collection.");
            return field_;
        });
    }
    Variant Field(const Variant& key) override {
        return guarded(*log_, [&] {
            const bool byName = key.isString() && engine::equalNoCase(key.toString(), field_);
            const bool byIndex = key.isInteger() && key.toInt32() == 0;
            if (!byName && !byIndex) fail(errItemNotFound, "Item not found in this collection.");
            if (eof_) fail(errNoCurrentRecord, "No current record.");
            return Variant(value_);
        });
    }

private:
    ErrorLogPtr log_;
    std::string field_;
    std::int32_t value_;
    bool eof_ = false;
};

// The counting queries on MSysACEs: SELECT Count(ACM) [AS name] FROM MSysACEs [WHERE ACM <> 0], with
// optional table qualifiers, brackets, parentheses and a closing semicolon.
class CountQuery : public QueryDef {
public:
    CountQuery(AuditCatalogPtr c, std::string sql) : c_(std::move(c)), sql_(std::move(sql)) {
        static const std::regex pattern(
            R"(^\s*SELECT\s+COUNT\s*\(\s*(\*|(\[?MSysACEs\]?\s*\.\s*)?\[?ACM\]?)\s*\)(\s+AS\s+\[?(\w+)\]?)?)"
            R"(\s+FROM\s+\[?MSysACEs\]?(\s+WHERE\s+(\(\s*)?(\[?MSysACEs\]?\s*\.\s*)?\[?ACM\]?\s*<>\s*0\s*(\)\s*)?)?)"
            R"(\s*;?\s*$)",
            std::regex::icase | std::regex::ECMAScript);
        std::smatch m;
        if (!std::regex_match(sql_, m, pattern))
            fail(errNotSupported, "A genuine Jet file opened for audit runs only the counting queries on "
                                  "MSysACEs (SELECT Count(ACM) FROM MSysACEs, optionally WHERE ACM <> 0).");
        field_ = m[4].matched ? m[4].str() : "Expr1000";
        nonZero_ = m[5].matched;
    }
    std::string SQL() override { return sql_; }
    RecordsetPtr OpenRecordset(const Variant&, const Variant&) override {
        return std::make_shared<CountRecordset>(c_->log(), field_,
                                                nonZero_ ? c_->nonZeroAceCount() : c_->aceCount());
    }

private:
    AuditCatalogPtr c_;
    std::string sql_;
    std::string field_;
    bool nonZero_ = false;
};

class AuditDatabase : public Database {
public:
    AuditDatabase(AuditCatalogPtr c, std::string name) : c_(std::move(c)), name_(std::move(name)) {}

    std::string Name() override { return name_; }
    std::string Version() override { return c_->format(); }
    std::int32_t CollatingOrder() override { return c_->collatingOrder(); }
    Variant ReplicaID() override { return Variant::null(); }
    bool Updatable() override { return false; }
    bool AuditOnly() override { return true; }
    ContainersPtr Containers() override {
        if (!containers_) containers_ = std::make_shared<AuditContainers>(c_);
        return containers_;
    }
    QueryDefPtr CreateQueryDef(const std::string& name, const std::string& sql) override {
        return guarded(*c_->log(), [&]() -> QueryDefPtr {
            if (!name.empty())
                fail(errNotSupported, "Only temporary query definitions (with an empty name) are supported.");
            return std::make_shared<CountQuery>(c_, sql);
        });
    }
    PropertiesPtr Properties() override {
        auto c = c_;
        const std::string name = name_;
        return std::make_shared<engine::PropertiesImpl>(
            c_->log(), std::vector<engine::PropertyDef>{
                           {"Name", [name] { return Variant(name); }},
                           {"Connect", [] { return Variant(""); }},
                           {"Transactions", [] { return Variant(true); }},
                           {"Updatable", [] { return Variant(false); }},
                           {"CollatingOrder", [c] { return Variant(c->collatingOrder()); }},
                           {"QueryTimeout", [] { return Variant(std::int16_t(60)); }},
                           {"Version", [c] { return Variant(c->format()); }},
                           {"RecordsAffected", [] { return Variant(std::int32_t(0)); }},
                           {"ReplicaID", [] { return Variant::null(); }},
                           {"DesignMasterID", [] { return Variant(""); }},
                           {"Connection",
                            []() -> Variant {
                                fail(errNotSupported,
                                     "The Connection property is not available in a Jet workspace.");
                            }},
                       });
    }
    DocumentPtr CreateDocument(const std::string&, const std::string&) override {
        return guarded(*c_->log(), [&]() -> DocumentPtr { refuseWrite(c_->path()); });
    }
    const AuditCatalogPtr& catalog() const { return c_; }

private:
    AuditCatalogPtr c_;
    std::string name_;
    ContainersPtr containers_;
};

} // namespace

CatalogueFacts catalogueFacts(const DatabasePtr& database) {
    auto* db = dynamic_cast<AuditDatabase*>(database.get());
    if (!db) fail(errInvalidArgument, "The database was not opened by the audit engine.");
    return db->catalog()->facts();
}

CatalogueSnapshot catalogueSnapshot(const DatabasePtr& database) {
    auto* db = dynamic_cast<AuditDatabase*>(database.get());
    if (!db) fail(errInvalidArgument, "The database was not opened by the audit engine.");
    return db->catalog()->snapshot();
}

DatabasePtr openAuditDatabase(const AuditWorkspaceStatePtr& ws, const std::string& path) {
    const FileProbe probe = probeFile(path);
    switch (probe.family) {
    case FileFamily::Missing:
        fail(errFileNotFound, probe.problem);
    case FileFamily::Unreadable:
    case FileFamily::NotAFile:
        fail(errNotDatabaseFile, "Cannot open the database: " + probe.problem);
    case FileFamily::Own:
        fail(errNotDatabaseFile,
             "Cannot open the database: " + pairMismatchText(path, false, ws->workgroup->path()));
    case FileFamily::Ace:
        fail(errUnrecognizedFormat, "Cannot open the database: " + aceFileText(path));
    case FileFamily::Other:
        fail(errNotDatabaseFile, "Cannot open the database: " + notJetFileText(path));
    case FileFamily::Jet4:
        if (ws->engineVersion == "3.5")
            fail(errUnrecognizedFormat,
                 "Unrecognized database format '" + path + "': a Jet 4 database needs DAO 3.6.");
        break;
    case FileFamily::Jet3:
        break;
    }
    return std::make_shared<AuditDatabase>(std::make_shared<const AuditCatalog>(ws, path), path);
}

} // namespace dao::audit
