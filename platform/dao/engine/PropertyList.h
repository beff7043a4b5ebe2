#pragma once
// Properties collections: a fixed list of named values, each read when asked for.
#include "dao/engine/ErrorLog.h"

#include <functional>
#include <string>
#include <vector>

namespace dao::engine {

struct PropertyDef {
    std::string name;
    std::function<Variant()> value; // may throw DaoError
};

class PropertiesImpl : public Properties {
public:
    PropertiesImpl(ErrorLogPtr log, std::vector<PropertyDef> defs)
        : log_(std::move(log)), defs_(std::move(defs)) {}
    std::int16_t Count() override { return static_cast<std::int16_t>(defs_.size()); }
    PropertyPtr Item(const Variant& key) override;

private:
    ErrorLogPtr log_;
    std::vector<PropertyDef> defs_;
};

} // namespace dao::engine
