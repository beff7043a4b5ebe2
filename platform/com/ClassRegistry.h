#pragma once
// In-process object creation by class id: classes register a factory under a GUID and are created
// asking for an interface id. Creating a class that is not registered fails with REGDB_E_CLASSNOTREG.
#include "com/Status.h"

#include <functional>
#include <memory>
#include <string>

namespace com {

// Base of every object handed out by class id; objects are held by counted reference (shared_ptr).
class IUnknown {
public:
    virtual ~IUnknown() = default;
};

using Factory = std::function<std::shared_ptr<IUnknown>(const std::string& iid)>;

// GUIDs are compared in their canonical braced upper-case text form, e.g.
// "{00000010-0000-0010-8000-00AA006D2EA4}"; any letter case is accepted.
void registerClass(const std::string& clsid, Factory factory);
void unregisterClass(const std::string& clsid);
bool isClassRegistered(const std::string& clsid);

// Creates an instance; throws ComError(REGDB_E_CLASSNOTREG, "Class not registered") for an unknown
// class and ComError(E_NOINTERFACE, ...) when the factory returns nothing for the interface.
std::shared_ptr<IUnknown> createInstance(const std::string& clsid, const std::string& iid);

template <class T> std::shared_ptr<T> createInstanceAs(const std::string& clsid, const std::string& iid) {
    auto obj = std::dynamic_pointer_cast<T>(createInstance(clsid, iid));
    if (!obj) throw ComError(E_NOINTERFACE, "No such interface supported");
    return obj;
}

} // namespace com
