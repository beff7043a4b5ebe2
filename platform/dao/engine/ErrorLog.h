#pragma once
// The engine's record of failures behind DBEngine.Errors, and the helpers every public member uses to
// raise a DaoError and record it.
#include "dao/Dao.h"

#include <memory>
#include <mutex>
#include <new>
#include <string>
#include <vector>

namespace dao::engine {

struct ErrorRecord {
    int number = 0;
    std::string description;
    std::string source;
};

// Failures of one engine and everything made from it. Each failed call replaces the list with its own
// errors (most detailed first); successful calls leave it alone.
class ErrorLog {
public:
    void record(const DaoError& e);
    std::vector<ErrorRecord> snapshot() const;

private:
    mutable std::mutex mutex_;
    std::vector<ErrorRecord> last_;
};
using ErrorLogPtr = std::shared_ptr<ErrorLog>;

[[noreturn]] void fail(int number, const std::string& description);

// Runs body; a DaoError is recorded and passed on, any other std::exception is turned into a DaoError
// (number errUnexpected) first. Out-of-memory passes unchanged.
template <class F> auto guarded(ErrorLog& log, F&& body) -> decltype(body()) {
    try {
        return body();
    } catch (const DaoError& e) {
        log.record(e);
        throw;
    } catch (const std::bad_alloc&) {
        throw;
    } catch (const std::exception& e) {
        DaoError converted(errUnexpected, e.what());
        log.record(converted);
        throw converted;
    }
}

// The Errors collection: a copy of the log taken when made and at each Refresh.
class ErrorsImpl : public Errors {
public:
    explicit ErrorsImpl(ErrorLogPtr log);
    void Refresh() override;
    std::int16_t Count() override;
    ErrorPtr Item(const Variant& key) override;

private:
    ErrorLogPtr log_;
    std::vector<ErrorRecord> items_;
};

// Index of an Item key in a collection of count items, or -1 when the key is not an integer.
// An integer key outside 0..count-1 fails with errItemNotFound.
long indexKey(const Variant& key, long count);

} // namespace dao::engine
