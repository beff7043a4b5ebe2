#pragma once
// The access control entries of a loaded catalogue, by object index and SID index (the small integers the
// session assigns at load; the SIDs themselves are never looked at here). After the bulk load each object's
// entries lie side by side in flat arrays, ordered by SID index, so a read is a short scan of one object's
// run, not a hash lookup. Entries added later (new grants, new documents) are kept in a map beside them
// until it grows large, when everything is laid out flat again.
#include <cstdint>
#include <unordered_map>
#include <vector>

namespace dao::engine {

struct Ace {
    std::int32_t acm = 0;
    bool inheritable = false;
};

class AceTable {
public:
    struct Entry {
        std::uint32_t obj;
        std::uint32_t sid;
        Ace ace;
    };

    // Replaces every entry; of entries with the same object and SID the last one counts.
    void assign(std::vector<Entry> entries);
    const Ace* find(std::uint32_t obj, std::uint32_t sid) const {
        if (obj + 1 < first_.size()) {
            const std::uint32_t* begin = sids_.data() + first_[obj];
            const std::uint32_t* end = sids_.data() + first_[obj + 1];
            for (const std::uint32_t* at = begin; at != end && *at <= sid; ++at)
                if (*at == sid) return &aces_[std::size_t(at - sids_.data())];
        }
        if (added_.empty()) return nullptr;
        const auto it = added_.find(key(obj, sid));
        return it == added_.end() ? nullptr : &it->second;
    }
    // The entry of obj and sid, made empty (no rights, not inheritable) when there was none.
    Ace& upsert(std::uint32_t obj, std::uint32_t sid);
    // Every entry, by object index and then SID index.
    std::vector<Entry> entries() const;

private:
    static std::uint64_t key(std::uint32_t obj, std::uint32_t sid) {
        return (std::uint64_t(obj) << 32) | sid;
    }

    std::vector<std::uint32_t> first_; // object index -> its first entry; one more than the objects
    std::vector<std::uint32_t> sids_;  // SID index of each entry
    std::vector<Ace> aces_;
    std::unordered_map<std::uint64_t, Ace> added_; // entries made after the layout
};

} // namespace dao::engine
