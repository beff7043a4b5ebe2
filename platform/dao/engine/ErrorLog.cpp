#include "dao/engine/ErrorLog.h"

namespace dao::engine {

void ErrorLog::record(const DaoError& e) {
    std::lock_guard lock(mutex_);
    last_.clear();
    last_.push_back({e.number(), e.description(), "DAO.DBEngine"});
}

std::vector<ErrorRecord> ErrorLog::snapshot() const {
    std::lock_guard lock(mutex_);
    return last_;
}

void fail(int number, const std::string& description) {
    throw DaoError(number, description);
}

namespace {

class ErrorImpl : public Error {
public:
    explicit ErrorImpl(ErrorRecord r) : r_(std::move(r)) {}
    std::int32_t Number() override { return r_.number; }
    std::string Description() override { return r_.description; }
    std::string Source() override { return r_.source; }

private:
    ErrorRecord r_;
};

} // namespace

ErrorsImpl::ErrorsImpl(ErrorLogPtr log) : log_(std::move(log)), items_(log_->snapshot()) {}

void ErrorsImpl::Refresh() {
    items_ = log_->snapshot();
}

std::int16_t ErrorsImpl::Count() {
    return static_cast<std::int16_t>(items_.size());
}

ErrorPtr ErrorsImpl::Item(const Variant& key) {
    const long i = indexKey(key, static_cast<long>(items_.size()));
    if (i < 0) fail(errItemNotFound, "Item not found in this collection.");
    return std::make_shared<ErrorImpl>(items_[static_cast<std::size_t>(i)]);
}

long indexKey(const Variant& key, long count) {
    if (!key.isInteger()) return -1;
    const long i = key.toInt32();
    if (i < 0 || i >= count) fail(errItemNotFound, "Item not found in this collection.");
    return i;
}

} // namespace dao::engine
