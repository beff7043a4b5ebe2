// The DBEngine and Workspace objects, and the registration of the engine classes.
#include "dao/FileProbe.h"
#include "dao/audit/Audit.h"
#include "dao/engine/DatabaseOpen.h"
#include "dao/engine/PropertyList.h"
#include "dao/engine/WorkspaceState.h"

#include <mutex>

namespace dao {
namespace engine {
namespace {

class WorkspaceImpl : public Workspace {
public:
    explicit WorkspaceImpl(WorkspaceStatePtr state) : s_(std::move(state)) {}

    std::string Name() override { return s_->name; }
    std::string UserName() override { return s_->userName; }
    DatabasePtr OpenDatabase(const std::string& name, const Variant& options, const Variant& readOnly,
                             const Variant& connect) override {
        return guarded(*s_->log, [&] {
            const bool exclusive = flag(options, "Options");
            const bool ro = flag(readOnly, "ReadOnly");
            const std::string conn = optionalText(connect, "Connect");
            if (!conn.empty() && conn != ";")
                fail(errNotSupported, "Only Jet databases can be opened; the connect string must be empty.");
            return openDatabase(s_, name, exclusive, ro);
        });
    }
    DatabasePtr CreateDatabase(const std::string& name, const std::string& format) override {
        return guarded(*s_->log, [&] { return createDatabase(s_, name, format); });
    }
    UsersPtr Users() override {
        return guarded(*s_->log, [&] { return makeWorkspaceUsers(s_); });
    }
    GroupsPtr Groups() override {
        return guarded(*s_->log, [&] { return makeWorkspaceGroups(s_); });
    }
    UserPtr CreateUser(const Variant& name, const Variant& pid, const Variant& password) override {
        return makeNewUser(s_, name, pid, password);
    }
    GroupPtr CreateGroup(const Variant& name, const Variant& pid) override {
        return makeNewGroup(s_, name, pid);
    }
    PropertiesPtr Properties() override {
        auto s = s_;
        return std::make_shared<PropertiesImpl>(
            s_->log, std::vector<PropertyDef>{
                         {"Name", [s] { return Variant(s->name); }},
                         {"UserName", [s] { return Variant(s->userName); }},
                         {"IsolateODBCTrans", [] { return Variant(std::int16_t(0)); }},
                         {"Type", [] { return Variant(std::int32_t(dbUseJet)); }},
                     });
    }

    const WorkspaceStatePtr& state() const { return s_; }

private:
    static bool flag(const Variant& v, const char* what) {
        if (v.isEmpty() || v.isNull()) return false;
        if (v.type() == com::VarType::Boolean) return v.toBool();
        if (v.isInteger()) return v.toInt32() != 0;
        fail(errInvalidArgument, std::string("The ") + what + " argument must be a Boolean.");
    }

    WorkspaceStatePtr s_;
};

class EngineImpl : public DBEngine {
public:
    explicit EngineImpl(std::string version) : version_(std::move(version)) {}

    std::string Version() override { return version_; }
    std::string SystemDB() override { return systemDb_; }
    void SetSystemDB(const std::string& path) override { systemDb_ = path; }
    std::string DefaultUser() override { return defaultUser_; }
    void SetDefaultUser(const std::string& name) override { defaultUser_ = name; }
    std::string DefaultPassword() override { return defaultPassword_; }
    void SetDefaultPassword(const std::string& pwd) override { defaultPassword_ = pwd; }

    WorkspacePtr CreateWorkspace(const std::string& name, const std::string& userName,
                                 const std::string& password, const Variant& useType) override {
        return guarded(*log_, [&]() -> WorkspacePtr {
            if (!useType.isEmpty() && !(useType.isInteger() && useType.toInt32() == dbUseJet))
                fail(errNotSupported, "Only Jet workspaces (dbUseJet) are supported.");
            if (systemDb_.empty())
                fail(errSystemDbMissing, "Cannot use the workgroup information file: no SystemDB is set.");
            const FileFamily family = probeFile(systemDb_).family;
            if (isGenuineJet(family))
                return audit::createAuditWorkspace(log_, version_, name, systemDb_, userName);
            if (family == FileFamily::Ace)
                fail(errSystemDbMissing,
                     "Cannot use the workgroup information file: " + aceFileText(systemDb_));
            if (family == FileFamily::Other)
                fail(errSystemDbMissing,
                     "Cannot use the workgroup information file: " + notJetFileText(systemDb_));
            auto state = std::make_shared<WorkspaceState>();
            state->log = log_;
            state->engineVersion = version_;
            state->name = name;
            state->workgroup = std::make_unique<WorkgroupFile>(systemDb_);
            state->userName = state->workgroup->login(userName, password);
            state->snapshot = state->workgroup->load();
            state->userSid = state->snapshot->at(state->snapshot->find(state->userName)).sid;
            return std::make_shared<WorkspaceImpl>(std::move(state));
        });
    }

    ErrorsPtr Errors() override { return std::make_shared<ErrorsImpl>(log_); }

    PropertiesPtr Properties() override {
        // The properties read the engine through a weak reference: the collection must not keep it alive.
        std::weak_ptr<EngineImpl> w = self_;
        auto get = [w](auto member) {
            return [w, member]() -> Variant {
                auto e = w.lock();
                if (!e) fail(errOperationNotAllowed, "The engine object no longer exists.");
                return Variant(((*e).*member)());
            };
        };
        const std::string ini =
            version_ == "3.5" ? "SOFTWARE\\Microsoft\\Jet\\3.5" : "SOFTWARE\\Microsoft\\Jet\\4.0";
        return std::make_shared<PropertiesImpl>(
            log_, std::vector<PropertyDef>{
                      {"Name", [] { return Variant("DBEngine"); }},
                      {"Version", get(&EngineImpl::Version)},
                      {"DefaultUser", get(&EngineImpl::DefaultUser)},
                      {"DefaultPassword", get(&EngineImpl::DefaultPassword)},
                      {"DefaultType", [] { return Variant(std::int32_t(dbUseJet)); }},
                      {"IniPath", [ini] { return Variant(ini); }},
                      {"LoginTimeout", [] { return Variant(std::int16_t(20)); }},
                      {"SystemDB", get(&EngineImpl::SystemDB)},
                  });
    }

    std::weak_ptr<EngineImpl> self_;

private:
    std::string version_;
    ErrorLogPtr log_ = std::make_shared<ErrorLog>();
    std::string systemDb_;
    std::string defaultUser_ = "admin";
    std::string defaultPassword_;
};

std::shared_ptr<EngineImpl> newEngine(const std::string& version) {
    auto e = std::make_shared<EngineImpl>(version);
    e->self_ = e;
    return e;
}

bool wantsEngineInterface(const std::string& iid) {
    return iid == IID_DBEngine || iid == "{00000000-0000-0000-C000-000000000046}";
}

// DBEngine is one shared object per process and version while anyone holds it (as DAO's DBEngine);
// PrivDBEngine makes a new, independent engine every time.
com::Factory sharedEngineFactory(const std::string& version) {
    return [version](const std::string& iid) -> std::shared_ptr<com::IUnknown> {
        if (!wantsEngineInterface(iid)) return nullptr;
        static std::mutex mutex;
        static std::weak_ptr<EngineImpl> shared35, shared36;
        std::lock_guard lock(mutex);
        auto& slot = version == "3.5" ? shared35 : shared36;
        auto e = slot.lock();
        if (!e) {
            e = newEngine(version);
            slot = e;
        }
        return e;
    };
}

com::Factory privateEngineFactory(const std::string& version) {
    return [version](const std::string& iid) -> std::shared_ptr<com::IUnknown> {
        if (!wantsEngineInterface(iid)) return nullptr;
        return newEngine(version);
    };
}

} // namespace

WorkspaceStatePtr stateOf(const WorkspacePtr& ws) {
    auto* impl = dynamic_cast<WorkspaceImpl*>(ws.get());
    if (!impl) fail(errInvalidArgument, "The workspace was not made by this engine.");
    return impl->state();
}

} // namespace engine

void registerEngineClasses() {
    com::registerClass(CLSID_DBEngine35, engine::sharedEngineFactory("3.5"));
    com::registerClass(CLSID_PrivDBEngine35, engine::privateEngineFactory("3.5"));
    com::registerClass(CLSID_DBEngine36, engine::sharedEngineFactory("3.6"));
    com::registerClass(CLSID_PrivDBEngine36, engine::privateEngineFactory("3.6"));
}

void CreateWorkgroupFile(const std::string& path, const std::string& name, const std::string& organisation,
                         const std::string& workgroupId) {
    engine::WorkgroupFile::create(path, name, organisation, workgroupId);
}

} // namespace dao
