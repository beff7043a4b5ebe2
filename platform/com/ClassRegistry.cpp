#include "com/ClassRegistry.h"

#include "com/Status.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <mutex>

namespace com {
namespace {

std::string canonical(std::string id) {
    std::transform(id.begin(), id.end(), id.begin(), [](unsigned char c) { return std::toupper(c); });
    return id;
}

struct Registry {
    std::mutex mutex;
    std::map<std::string, Factory> classes;
};

Registry& registry() {
    static Registry r;
    return r;
}

} // namespace

void registerClass(const std::string& clsid, Factory factory) {
    auto& r = registry();
    std::lock_guard lock(r.mutex);
    r.classes[canonical(clsid)] = std::move(factory);
}

void unregisterClass(const std::string& clsid) {
    auto& r = registry();
    std::lock_guard lock(r.mutex);
    r.classes.erase(canonical(clsid));
}

bool isClassRegistered(const std::string& clsid) {
    auto& r = registry();
    std::lock_guard lock(r.mutex);
    return r.classes.count(canonical(clsid)) != 0;
}

std::shared_ptr<IUnknown> createInstance(const std::string& clsid, const std::string& iid) {
    Factory factory;
    {
        auto& r = registry();
        std::lock_guard lock(r.mutex);
        auto it = r.classes.find(canonical(clsid));
        if (it == r.classes.end()) throw ComError(REGDB_E_CLASSNOTREG, "Class not registered");
        factory = it->second;
    }
    auto obj = factory(canonical(iid));
    if (!obj) throw ComError(E_NOINTERFACE, "No such interface supported");
    return obj;
}

} // namespace com
