#include "dao/engine/PropertyList.h"

#include "dao/engine/Names.h"

namespace dao::engine {
namespace {

class PropertyImpl : public Property {
public:
    PropertyImpl(ErrorLogPtr log, PropertyDef def) : log_(std::move(log)), def_(std::move(def)) {}
    std::string Name() override { return def_.name; }
    Variant Value() override {
        return guarded(*log_, [&] { return def_.value(); });
    }

private:
    ErrorLogPtr log_;
    PropertyDef def_;
};

} // namespace

PropertyPtr PropertiesImpl::Item(const Variant& key) {
    return guarded(*log_, [&]() -> PropertyPtr {
        long i = indexKey(key, static_cast<long>(defs_.size()));
        if (i < 0 && key.isString()) {
            for (std::size_t k = 0; k < defs_.size(); ++k)
                if (equalNoCase(defs_[k].name, key.toString())) i = static_cast<long>(k);
        }
        if (i < 0) fail(errItemNotFound, "Item not found in this collection.");
        return std::make_shared<PropertyImpl>(log_, defs_[static_cast<std::size_t>(i)]);
    });
}

} // namespace dao::engine
