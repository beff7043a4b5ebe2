// The audit engine's Workspace and its accounts: every user and group of a genuine workgroup file,
// read once at login. Account changes are refused.
#include "dao/audit/Audit.h"
#include "dao/audit/AuditCatalog.h"

#include "dao/FileProbe.h"
#include "dao/engine/PropertyList.h"

namespace dao::audit {
namespace {

class AuditUser : public User {
public:
    AuditUser(AuditWorkspaceStatePtr ws, std::uint32_t idx) : ws_(std::move(ws)), idx_(idx) {}
    std::string Name() override { return ws_->workgroup->at(idx_).name; }
    void SetName(const std::string&) override { refuse(); }
    void SetPID(const std::string&) override { refuse(); }
    void SetPassword(const std::string&) override { refuse(); }
    GroupsPtr Groups() override { return makeGroups(ws_, idx_); }
    void NewPassword(const std::string&, const std::string&) override { refuse(); }

private:
    void refuse() {
        guarded(*ws_->log, [&] { refuseWrite(ws_->workgroup->path()); });
    }
    AuditWorkspaceStatePtr ws_;
    std::uint32_t idx_;
};

class AuditGroup : public Group {
public:
    AuditGroup(AuditWorkspaceStatePtr ws, std::uint32_t idx) : ws_(std::move(ws)), idx_(idx) {}
    std::string Name() override { return ws_->workgroup->at(idx_).name; }
    void SetName(const std::string&) override { refuse(); }
    void SetPID(const std::string&) override { refuse(); }
    UsersPtr Users() override { return makeUsers(ws_, idx_); }
    UserPtr CreateUser(const Variant&, const Variant&, const Variant&) override {
        refuse();
        return nullptr;
    }

private:
    void refuse() {
        guarded(*ws_->log, [&] { refuseWrite(ws_->workgroup->path()); });
    }
    AuditWorkspaceStatePtr ws_;
    std::uint32_t idx_;
};

// One collection of accounts: the workspace's users or groups, a group's members or a user's groups.
template <class Base, class ItemImpl, class ItemPtr> class AuditAccounts : public Base {
public:
    AuditAccounts(AuditWorkspaceStatePtr ws, std::vector<std::uint32_t> list)
        : ws_(std::move(ws)), list_(std::move(list)), items_(list_.size()) {}

    std::int16_t Count() override { return static_cast<std::int16_t>(list_.size()); }
    ItemPtr Item(const Variant& key) override {
        return guarded(*ws_->log, [&]() -> ItemPtr {
            long i = engine::indexKey(key, static_cast<long>(list_.size()));
            if (i < 0) {
                if (!key.isString()) fail(errItemNotFound, "Item not found in this collection.");
                const std::uint32_t a = ws_->workgroup->find(key.toString());
                const auto it = std::find(list_.begin(), list_.end(), a);
                if (a == npos || it == list_.end())
                    fail(errItemNotFound, "'" + key.toString() + "' is not an item of this collection.");
                i = it - list_.begin();
            }
            auto& slot = items_[static_cast<std::size_t>(i)];
            if (!slot) slot = std::make_shared<ItemImpl>(ws_, list_[static_cast<std::size_t>(i)]);
            return slot;
        });
    }
    void Append(const ItemPtr&) override { refuse(); }
    void Delete(const std::string&) override { refuse(); }
    void Refresh() override {}

private:
    void refuse() {
        guarded(*ws_->log, [&] { refuseWrite(ws_->workgroup->path()); });
    }
    AuditWorkspaceStatePtr ws_;
    std::vector<std::uint32_t> list_;
    std::vector<ItemPtr> items_;
};

using AuditUsers = AuditAccounts<Users, AuditUser, UserPtr>;
using AuditGroups = AuditAccounts<Groups, AuditGroup, GroupPtr>;

class AuditWorkspace : public Workspace {
public:
    explicit AuditWorkspace(AuditWorkspaceStatePtr ws) : ws_(std::move(ws)) {}

    std::string Name() override { return ws_->name; }
    std::string UserName() override { return ws_->workgroup->at(ws_->user).name; }
    DatabasePtr OpenDatabase(const std::string& name, const Variant& options, const Variant& readOnly,
                             const Variant& connect) override {
        return guarded(*ws_->log, [&] {
            for (const Variant* v : {&options, &readOnly})
                if (!v->isEmpty() && !v->isNull() && v->type() != com::VarType::Boolean && !v->isInteger())
                    fail(errInvalidArgument, "The Options and ReadOnly arguments must be Booleans.");
            if (!connect.isEmpty() && !connect.isNull() &&
                !(connect.isString() && (connect.toString().empty() || connect.toString() == ";")))
                fail(errNotSupported, "Only Jet databases can be opened; the connect string must be empty.");
            return openAuditDatabase(ws_, name);
        });
    }
    DatabasePtr CreateDatabase(const std::string& name, const std::string&) override {
        return guarded(*ws_->log, [&]() -> DatabasePtr { refuseWrite(name); });
    }
    UsersPtr Users() override { return makeUsers(ws_, npos); }
    GroupsPtr Groups() override { return makeGroups(ws_, npos); }
    UserPtr CreateUser(const Variant&, const Variant&, const Variant&) override {
        return guarded(*ws_->log, [&]() -> UserPtr { refuseWrite(ws_->workgroup->path()); });
    }
    GroupPtr CreateGroup(const Variant&, const Variant&) override {
        return guarded(*ws_->log, [&]() -> GroupPtr { refuseWrite(ws_->workgroup->path()); });
    }
    PropertiesPtr Properties() override {
        auto ws = ws_;
        return std::make_shared<engine::PropertiesImpl>(
            ws_->log, std::vector<engine::PropertyDef>{
                          {"Name", [ws] { return Variant(ws->name); }},
                          {"UserName", [ws] { return Variant(ws->workgroup->at(ws->user).name); }},
                          {"IsolateODBCTrans", [] { return Variant(std::int16_t(0)); }},
                          {"Type", [] { return Variant(std::int32_t(dbUseJet)); }},
                      });
    }

    const AuditWorkspaceState& state() const { return *ws_; }

private:
    AuditWorkspaceStatePtr ws_;
};

} // namespace

bool isAuditWorkspace(const WorkspacePtr& workspace) {
    return dynamic_cast<AuditWorkspace*>(workspace.get()) != nullptr;
}

std::vector<std::string> workgroupUnread(const WorkspacePtr& workspace) {
    auto* ws = dynamic_cast<AuditWorkspace*>(workspace.get());
    if (!ws) fail(errInvalidArgument, "The workspace was not made by the audit engine.");
    return ws->state().workgroup->unread();
}

UsersPtr makeUsers(const AuditWorkspaceStatePtr& ws, std::uint32_t groupScope) {
    return std::make_shared<AuditUsers>(ws, groupScope == npos ? ws->workgroup->users()
                                                               : ws->workgroup->membersOf(groupScope));
}

GroupsPtr makeGroups(const AuditWorkspaceStatePtr& ws, std::uint32_t userScope) {
    return std::make_shared<AuditGroups>(ws, userScope == npos ? ws->workgroup->groups()
                                                               : ws->workgroup->groupsOf(userScope));
}

WorkspacePtr createAuditWorkspace(engine::ErrorLogPtr log, const std::string& engineVersion,
                                  const std::string& name, const std::string& systemDb,
                                  const std::string& userName) {
    if (engineVersion == "3.5" && probeFile(systemDb).family == FileFamily::Jet4)
        fail(errUnrecognizedFormat, "Unrecognized database format: the workgroup information file '" +
                                        systemDb + "' is a Jet 4 file, which needs DAO 3.6.");
    auto state = std::make_shared<AuditWorkspaceState>();
    state->log = std::move(log);
    state->engineVersion = engineVersion;
    state->name = name;
    state->workgroup = std::make_shared<AuditWorkgroup>(systemDb);
    state->user = state->workgroup->find(userName);
    if (state->user == npos || state->workgroup->at(state->user).group) {
        // The account may be one of the rows that could not be read: say so.
        std::string why;
        for (const std::string& u : state->workgroup->unread())
            why += " " + u;
        fail(errBadLogin, "Not a valid account name or password." + why);
    }
    return std::make_shared<AuditWorkspace>(std::move(state));
}

} // namespace dao::audit
