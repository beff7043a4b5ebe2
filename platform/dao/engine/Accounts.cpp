// Users, Groups and their collections. A collection shows the accounts as loaded when it was made (or
// last refreshed or changed through it); its items are made once per index, so walking a collection
// repeatedly costs no allocations.
#include "dao/engine/WorkspaceState.h"

#include <optional>

namespace dao::engine {
namespace {

constexpr std::uint32_t npos = AccountSnapshot::npos;

struct Scope {
    std::optional<Sid> sid; // the user whose groups, or the group whose members; none: the workspace
    std::string name;
};

class UserImpl : public User {
public:
    UserImpl(WorkspaceStatePtr ws, std::string name, std::string pid, std::string password)
        : ws_(std::move(ws)), name_(std::move(name)), pid_(std::move(pid)), password_(std::move(password)) {}
    UserImpl(WorkspaceStatePtr ws, SnapshotPtr snap, std::uint32_t idx)
        : ws_(std::move(ws)), snap_(std::move(snap)), idx_(idx) {}

    std::string Name() override { return pending() ? name_ : snap_->at(idx_).name; }
    void SetName(const std::string& name) override { setPending(name_, name); }
    void SetPID(const std::string& pid) override { setPending(pid_, pid); }
    void SetPassword(const std::string& password) override { setPending(password_, password); }
    GroupsPtr Groups() override;
    void NewPassword(const std::string& oldPassword, const std::string& newPassword) override {
        guarded(*ws_->log, [&] {
            requireAppended();
            ws_->workgroup->changePassword(ws_->userSid, snap_->at(idx_).name, oldPassword, newPassword,
                                           ws_->maxPassword());
            ws_->reload();
        });
    }

    bool pending() const { return idx_ == npos; }
    NewAccount newAccount() const { return {name_, pid_, password_, false, {}}; }

private:
    void setPending(std::string& field, const std::string& value) {
        guarded(*ws_->log, [&] {
            if (!pending())
                fail(errOperationNotAllowed, "The property cannot be changed once the user exists.");
            field = value;
        });
    }
    void requireAppended() {
        if (pending()) fail(errOperationNotAllowed, "The user has not been appended to a collection yet.");
    }

    WorkspaceStatePtr ws_;
    SnapshotPtr snap_;
    std::uint32_t idx_ = npos;
    std::string name_, pid_, password_;
};

class GroupImpl : public Group {
public:
    GroupImpl(WorkspaceStatePtr ws, std::string name, std::string pid)
        : ws_(std::move(ws)), name_(std::move(name)), pid_(std::move(pid)) {}
    GroupImpl(WorkspaceStatePtr ws, SnapshotPtr snap, std::uint32_t idx)
        : ws_(std::move(ws)), snap_(std::move(snap)), idx_(idx) {}

    std::string Name() override { return pending() ? name_ : snap_->at(idx_).name; }
    void SetName(const std::string& name) override { setPending(name_, name); }
    void SetPID(const std::string& pid) override { setPending(pid_, pid); }
    UsersPtr Users() override;
    UserPtr CreateUser(const Variant& name, const Variant& pid, const Variant& password) override {
        return makeNewUser(ws_, name, pid, password);
    }

    bool pending() const { return idx_ == npos; }
    NewAccount newAccount() const { return {name_, pid_, {}, true, {}}; }

private:
    void setPending(std::string& field, const std::string& value) {
        guarded(*ws_->log, [&] {
            if (!pending())
                fail(errOperationNotAllowed, "The property cannot be changed once the group exists.");
            field = value;
        });
    }

    WorkspaceStatePtr ws_;
    SnapshotPtr snap_;
    std::uint32_t idx_ = npos;
    std::string name_, pid_;
};

// Shared machinery of the two collection kinds: the snapshot, the scope and the item cache.
template <class Item, class Ptr> class AccountCollection {
protected:
    // groups: the collection lists groups (else users). It is a constructor argument, not a virtual
    // function, because the list is built here, before the derived object exists.
    AccountCollection(WorkspaceStatePtr ws, SnapshotPtr snap, Scope scope, bool groups)
        : ws_(std::move(ws)), snap_(std::move(snap)), scope_(std::move(scope)), groups_(groups) {
        rebuild();
    }

    void rebuild() {
        list_.clear();
        items_.clear();
        if (!scope_.sid) {
            list_ = groups_ ? snap_->groups() : snap_->users();
        } else {
            const std::uint32_t owner = snap_->findSid(*scope_.sid);
            if (owner != npos) list_ = groups_ ? snap_->groupsOf(owner) : snap_->membersOf(owner);
            std::sort(list_.begin(), list_.end(), [&](std::uint32_t a, std::uint32_t b) {
                return compareNoCase(snap_->at(a).name, snap_->at(b).name) < 0;
            });
        }
        items_.resize(list_.size());
    }
    void reloadAfterChange() {
        ws_->reload();
        snap_ = ws_->snapshot;
        rebuild();
    }

    Ptr item(const Variant& key) {
        long i = indexKey(key, static_cast<long>(list_.size()));
        if (i < 0) {
            if (!key.isString()) fail(errItemNotFound, "Item not found in this collection.");
            const std::uint32_t idx = snap_->find(key.toString());
            const auto it = std::find(list_.begin(), list_.end(), idx);
            if (idx == npos || it == list_.end())
                fail(errItemNotFound, "'" + key.toString() + "' is not an item of this collection.");
            i = it - list_.begin();
        }
        auto& slot = items_[static_cast<std::size_t>(i)];
        if (!slot) slot = std::make_shared<Item>(ws_, snap_, list_[static_cast<std::size_t>(i)]);
        return slot;
    }

    WorkspaceStatePtr ws_;
    SnapshotPtr snap_;
    Scope scope_;
    bool groups_;
    std::vector<std::uint32_t> list_;
    std::vector<Ptr> items_;
};

class UsersImpl : public Users, AccountCollection<UserImpl, UserPtr> {
public:
    UsersImpl(WorkspaceStatePtr ws, SnapshotPtr snap, Scope scope)
        : AccountCollection(std::move(ws), std::move(snap), std::move(scope), false) {}

    std::int16_t Count() override { return static_cast<std::int16_t>(list_.size()); }
    UserPtr Item(const Variant& key) override {
        return guarded(*ws_->log, [&] { return item(key); });
    }
    void Append(const UserPtr& user) override {
        guarded(*ws_->log, [&] {
            auto* u = dynamic_cast<UserImpl*>(user.get());
            if (!u) fail(errInvalidArgument, "Only users made by this engine can be appended.");
            if (!scope_.sid) {
                if (!u->pending())
                    fail(errNameExists, "The account name '" + u->Name() + "' already exists.");
                ws_->workgroup->createAccounts(ws_->userSid, {u->newAccount()}, ws_->maxPassword());
            } else {
                ws_->workgroup->addMember(ws_->userSid, u->Name(), scope_.name);
            }
            reloadAfterChange();
        });
    }
    void Delete(const std::string& name) override {
        guarded(*ws_->log, [&] {
            if (!scope_.sid)
                ws_->workgroup->deleteAccount(ws_->userSid, name, false);
            else
                ws_->workgroup->removeMember(ws_->userSid, name, scope_.name);
            reloadAfterChange();
        });
    }
    void Refresh() override {
        guarded(*ws_->log, [&] {
            snap_ = ws_->current();
            rebuild();
        });
    }
};

class GroupsImpl : public Groups, AccountCollection<GroupImpl, GroupPtr> {
public:
    GroupsImpl(WorkspaceStatePtr ws, SnapshotPtr snap, Scope scope)
        : AccountCollection(std::move(ws), std::move(snap), std::move(scope), true) {}

    std::int16_t Count() override { return static_cast<std::int16_t>(list_.size()); }
    GroupPtr Item(const Variant& key) override {
        return guarded(*ws_->log, [&] { return item(key); });
    }
    void Append(const GroupPtr& group) override {
        guarded(*ws_->log, [&] {
            auto* g = dynamic_cast<GroupImpl*>(group.get());
            if (!g) fail(errInvalidArgument, "Only groups made by this engine can be appended.");
            if (!scope_.sid) {
                if (!g->pending())
                    fail(errNameExists, "The account name '" + g->Name() + "' already exists.");
                ws_->workgroup->createAccounts(ws_->userSid, {g->newAccount()}, ws_->maxPassword());
            } else {
                ws_->workgroup->addMember(ws_->userSid, scope_.name, g->Name());
            }
            reloadAfterChange();
        });
    }
    void Delete(const std::string& name) override {
        guarded(*ws_->log, [&] {
            if (!scope_.sid)
                ws_->workgroup->deleteAccount(ws_->userSid, name, true);
            else
                ws_->workgroup->removeMember(ws_->userSid, scope_.name, name);
            reloadAfterChange();
        });
    }
    void Refresh() override {
        guarded(*ws_->log, [&] {
            snap_ = ws_->current();
            rebuild();
        });
    }
};

GroupsPtr UserImpl::Groups() {
    return guarded(*ws_->log, [&]() -> GroupsPtr {
        requireAppended();
        const Account& a = snap_->at(idx_);
        return std::make_shared<GroupsImpl>(ws_, snap_, Scope{a.sid, a.name});
    });
}

UsersPtr GroupImpl::Users() {
    return guarded(*ws_->log, [&]() -> UsersPtr {
        if (pending()) fail(errOperationNotAllowed, "The group has not been appended to a collection yet.");
        const Account& a = snap_->at(idx_);
        return std::make_shared<UsersImpl>(ws_, snap_, Scope{a.sid, a.name});
    });
}

} // namespace

std::string optionalText(const Variant& v, const char* what) {
    if (v.isEmpty() || v.isNull()) return {};
    if (!v.isString()) fail(errInvalidArgument, std::string("The ") + what + " must be text.");
    return v.toString();
}

UsersPtr makeWorkspaceUsers(const WorkspaceStatePtr& ws) {
    return std::make_shared<UsersImpl>(ws, ws->current(), Scope{});
}

GroupsPtr makeWorkspaceGroups(const WorkspaceStatePtr& ws) {
    return std::make_shared<GroupsImpl>(ws, ws->current(), Scope{});
}

UserPtr makeNewUser(const WorkspaceStatePtr& ws, const Variant& name, const Variant& pid,
                    const Variant& password) {
    return guarded(*ws->log, [&]() -> UserPtr {
        return std::make_shared<UserImpl>(ws, optionalText(name, "name"), optionalText(pid, "PID"),
                                          optionalText(password, "password"));
    });
}

GroupPtr makeNewGroup(const WorkspaceStatePtr& ws, const Variant& name, const Variant& pid) {
    return guarded(*ws->log, [&]() -> GroupPtr {
        return std::make_shared<GroupImpl>(ws, optionalText(name, "name"), optionalText(pid, "PID"));
    });
}

} // namespace dao::engine
