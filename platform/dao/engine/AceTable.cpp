#include "dao/engine/AceTable.h"

#include <algorithm>

namespace dao::engine {

void AceTable::assign(std::vector<Entry> entries) {
    std::stable_sort(entries.begin(), entries.end(),
                     [](const Entry& a, const Entry& b) { return key(a.obj, a.sid) < key(b.obj, b.sid); });
    // Of equal keys the last one read counts.
    std::vector<Entry> unique;
    unique.reserve(entries.size());
    for (const Entry& e : entries) {
        if (!unique.empty() && unique.back().obj == e.obj && unique.back().sid == e.sid)
            unique.back() = e;
        else
            unique.push_back(e);
    }
    const std::uint32_t objects = unique.empty() ? 0 : unique.back().obj + 1;
    first_.assign(std::size_t(objects) + 1, 0);
    sids_.resize(unique.size());
    aces_.resize(unique.size());
    for (std::size_t i = 0; i < unique.size(); ++i) {
        ++first_[unique[i].obj + 1];
        sids_[i] = unique[i].sid;
        aces_[i] = unique[i].ace;
    }
    for (std::size_t o = 1; o < first_.size(); ++o)
        first_[o] += first_[o - 1];
    added_.clear();
}

Ace& AceTable::upsert(std::uint32_t obj, std::uint32_t sid) {
    if (const Ace* a = find(obj, sid)) return const_cast<Ace&>(*a);
    // Many entries made since the layout: lay everything out flat again, then add to the map.
    if (added_.size() >= 4096 && added_.size() >= aces_.size() / 4) assign(entries());
    return added_[key(obj, sid)];
}

std::vector<AceTable::Entry> AceTable::entries() const {
    std::vector<Entry> out;
    out.reserve(aces_.size() + added_.size());
    for (std::uint32_t obj = 0; obj + 1 < first_.size(); ++obj)
        for (std::uint32_t i = first_[obj]; i < first_[obj + 1]; ++i)
            out.push_back({obj, sids_[i], aces_[i]});
    for (const auto& [k, ace] : added_)
        out.push_back({std::uint32_t(k >> 32), std::uint32_t(k), ace});
    std::sort(out.begin(), out.end(),
              [](const Entry& a, const Entry& b) { return key(a.obj, a.sid) < key(b.obj, b.sid); });
    return out;
}

} // namespace dao::engine
