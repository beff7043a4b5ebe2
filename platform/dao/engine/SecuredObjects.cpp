// Container and Document objects. Each keeps the SID index of its current UserName; every security
// member is then a few hash lookups in the session's catalogue.
#include "dao/engine/SecuredObjects.h"

#include "dao/engine/ErrorLog.h"

namespace dao::engine {
namespace {

template <class Base> class SecuredImpl : public Base {
public:
    SecuredImpl(SessionPtr s, std::uint32_t obj) : s_(std::move(s)), obj_(obj), user_(s_->loginSid()) {}

    std::string Name() override { return s_->object(obj_).name; }
    std::string Owner() override { return std::string(s_->sidName(s_->object(obj_).owner)); }
    void SetOwner(const std::string& accountName) override {
        guarded(s_->log(), [&] { s_->setOwner(obj_, s_->accountSid(accountName)); });
    }
    std::string UserName() override { return std::string(s_->sidName(user_)); }
    void SetUserName(const std::string& accountName) override {
        guarded(s_->log(), [&] { user_ = s_->accountSid(accountName); });
    }
    std::int32_t Permissions() override {
        return guarded(s_->log(), [&] {
            s_->requireReadable(obj_, user_);
            return s_->explicitPermissions(obj_, user_);
        });
    }
    std::int32_t AllPermissions() override {
        return guarded(s_->log(), [&] {
            s_->requireReadable(obj_, user_);
            return s_->allPermissions(obj_, user_);
        });
    }

protected:
    SessionPtr s_;
    std::uint32_t obj_;
    std::uint32_t user_;
};

class DocumentImpl : public SecuredImpl<Document> {
public:
    using SecuredImpl::SecuredImpl;
    void SetPermissions(std::int32_t value) override {
        guarded(s_->log(), [&] { s_->setPermissions(obj_, user_, value, std::nullopt); });
    }
    std::string Container() override { return s_->object(s_->object(obj_).container).name; }
};

class DocumentsImpl : public Documents {
public:
    DocumentsImpl(SessionPtr s, std::uint32_t container) : s_(std::move(s)), container_(container) {}

    std::int32_t Count() override { return static_cast<std::int32_t>(s_->documents(container_).size()); }
    DocumentPtr Item(const Variant& key) override {
        return guarded(s_->log(), [&]() -> DocumentPtr {
            const auto& list = s_->documents(container_);
            const long i = indexKey(key, static_cast<long>(list.size()));
            std::uint32_t obj = Session::npos;
            if (i >= 0) {
                obj = list[static_cast<std::size_t>(i)];
            } else {
                if (!key.isString()) fail(errItemNotFound, "Item not found in this collection.");
                obj = s_->findDocument(container_, key.toString());
                if (obj == Session::npos)
                    fail(errItemNotFound, "'" + key.toString() + "' is not an item of this collection.");
            }
            auto& slot = items_[obj];
            if (!slot) slot = makeDocument(s_, obj);
            return slot;
        });
    }

private:
    SessionPtr s_;
    std::uint32_t container_;
    std::unordered_map<std::uint32_t, DocumentPtr> items_; // by object index, which never changes
};

class ContainerImpl : public SecuredImpl<dao::Container> {
public:
    using SecuredImpl::SecuredImpl;

    void SetPermissions(std::int32_t value) override {
        guarded(s_->log(), [&] {
            const auto it = findHeld();
            const bool held = it != held_.end();
            s_->setPermissions(obj_, user_, value, held ? std::optional<bool>(it->second) : std::nullopt);
            if (held) held_.erase(it);
        });
    }
    bool Inherit() override {
        const auto it = findHeld();
        return it != held_.end() ? it->second : s_->storedInherit(obj_, user_);
    }
    void SetInherit(bool value) override {
        const auto it = findHeld();
        if (it != held_.end())
            it->second = value;
        else
            held_.emplace_back(user_, value);
    }
    DocumentsPtr Documents() override {
        if (!documents_) documents_ = std::make_shared<DocumentsImpl>(s_, obj_);
        return documents_;
    }

private:
    using Held = std::vector<std::pair<std::uint32_t, bool>>;
    Held::iterator findHeld() {
        return std::find_if(held_.begin(), held_.end(), [&](const auto& h) { return h.first == user_; });
    }

    Held held_; // Inherit values set but not yet stored, by SID index of the UserName they were set for
    DocumentsPtr documents_;
};

class ContainersImpl : public Containers {
public:
    explicit ContainersImpl(SessionPtr s) : s_(std::move(s)), items_(s_->containers().size()) {}

    std::int16_t Count() override { return static_cast<std::int16_t>(s_->containers().size()); }
    ContainerPtr Item(const Variant& key) override {
        return guarded(s_->log(), [&]() -> ContainerPtr {
            const auto& list = s_->containers();
            long i = indexKey(key, static_cast<long>(list.size()));
            if (i < 0) {
                if (!key.isString()) fail(errItemNotFound, "Item not found in this collection.");
                const std::uint32_t obj = s_->findContainer(key.toString());
                if (obj == Session::npos)
                    fail(errItemNotFound, "'" + key.toString() + "' is not an item of this collection.");
                i = std::find(list.begin(), list.end(), obj) - list.begin();
            }
            auto& slot = items_[static_cast<std::size_t>(i)];
            if (!slot) slot = std::make_shared<ContainerImpl>(s_, list[static_cast<std::size_t>(i)]);
            return slot;
        });
    }

private:
    SessionPtr s_;
    std::vector<ContainerPtr> items_;
};

} // namespace

ContainersPtr makeContainers(const SessionPtr& session) {
    return std::make_shared<ContainersImpl>(session);
}

DocumentPtr makeDocument(const SessionPtr& session, std::uint32_t obj) {
    return std::make_shared<DocumentImpl>(session, obj);
}

} // namespace dao::engine
