#include "grids/model/StringGridModel.h"

#include <QCollator>

#include <algorithm>
#include <bit>
#include <functional>
#include <stdexcept>
#include <string>
#include <utility>

using Handle = TCellStringTable::Handle;

namespace {

constexpr std::uint32_t None = 0xFFFFFFFFu; // never a valid handle (hex tag with length code 3)

// Open-addressing map from inline handles to a rank; small and allocation-free per lookup.
class HandleMap {
public:
    HandleMap() : m_slots(64, Empty) {}
    // Adds handle (with no value yet); false when it was already present.
    bool insert(Handle handle) {
        if (2 * (m_count + 1) > m_slots.size()) grow();
        std::uint64_t& s = m_slots[position(handle)];
        if (s != Empty) return false;
        s = (std::uint64_t(handle) << 32) | None;
        ++m_count;
        return true;
    }
    std::uint32_t value(Handle handle) const { return std::uint32_t(m_slots[position(handle)]); }
    void set(Handle handle, std::uint32_t value) {
        std::uint64_t& s = m_slots[position(handle)];
        s = (s & 0xFFFFFFFF00000000ull) | value;
    }

private:
    static constexpr std::uint64_t Empty = ~0ull;
    std::size_t position(Handle handle) const {
        const std::size_t mask = m_slots.size() - 1;
        std::size_t slot = (handle * 2654435761u) & mask;
        while (m_slots[slot] != Empty && std::uint32_t(m_slots[slot] >> 32) != handle)
            slot = (slot + 1) & mask;
        return slot;
    }
    void grow() {
        std::vector<std::uint64_t> old(m_slots.size() * 2, Empty);
        old.swap(m_slots);
        for (std::uint64_t s : old)
            if (s != Empty) m_slots[position(std::uint32_t(s >> 32))] = s;
    }
    std::vector<std::uint64_t> m_slots;
    std::size_t m_count = 0;
};

// One filter condition prepared for a pass: its verdict is computed once per distinct text.
// One test of one column over many rows, evaluated once per distinct text.
class ConditionPass {
public:
    using Matcher = std::function<bool(QStringView)>;
    ConditionPass(const TFilterCondition& condition, const TCellTable* cells, int col,
                  const TCellStringTable& strings)
        : ConditionPass([&condition](QStringView text) { return condition.matches(text); }, cells, col,
                        strings) {}
    ConditionPass(Matcher matches, const TCellTable* cells, int col, const TCellStringTable& strings)
        : m_matches(std::move(matches)), m_cells(cells), m_col(col), m_strings(strings) {
        if (m_cells && m_cells->coded(col)) {
            for (Handle h : m_cells->dictionary(col))
                m_codeVerdict.push_back(evaluate(h));
        } else {
            m_interned.assign(strings.internedCount(), -1);
            m_cache.assign(4096, None);
        }
    }

    bool test(int realRow) {
        if (!m_cells) return verdictOf(TCellStringTable::EmptyHandle);
        if (!m_codeVerdict.empty()) return m_codeVerdict[m_cells->code(m_col, std::size_t(realRow))];
        return verdictOf(m_cells->get(m_col, std::size_t(realRow)));
    }

private:
    bool verdictOf(Handle h) {
        if (TCellStringTable::isInterned(h)) {
            std::int8_t& verdict = m_interned[TCellStringTable::internedIndex(h)];
            if (verdict < 0) verdict = evaluate(h);
            return verdict;
        }
        const std::size_t slot = (h * 2654435761u) >> 20;
        if (m_cache[slot] != h) {
            m_cache[slot] = h;
            m_cacheVerdict[slot] = evaluate(h);
        }
        return m_cacheVerdict[slot];
    }

    bool evaluate(Handle h) const {
        TCellStringTable::InlineBuffer buffer;
        return m_matches(m_strings.view(h, buffer));
    }

    Matcher m_matches;
    const TCellTable* m_cells;
    int m_col;
    const TCellStringTable& m_strings;
    std::vector<std::uint8_t> m_codeVerdict; // coded column: verdict by code
    std::vector<std::int8_t> m_interned;
    std::vector<std::uint32_t> m_cache;
    std::uint8_t m_cacheVerdict[4096] = {};
};

int bitsFor(std::uint32_t distinct) {
    return distinct <= 1 ? 0 : std::bit_width(distinct - 1);
}

// Sorts count keys by their bits lowBit .. highBit - 1 only, least significant digit first; keys equal in
// those bits (and none is set above highBit) keep their order. buffer holds count keys too. Returns where
// the sorted keys are: keys or buffer.
const std::uint64_t* radixSort(std::uint64_t* keys, std::uint64_t* buffer, std::size_t count, int lowBit,
                               int highBit) {
    constexpr int DigitBits = 11;
    constexpr std::size_t Digits = std::size_t(1) << DigitBits;
    const int passes = (highBit - lowBit + DigitBits - 1) / DigitBits;
    // Every digit's counts in one pass over the keys.
    std::vector<std::size_t> counts(std::size_t(std::max(0, passes)) * Digits, 0);
    for (std::size_t i = 0; i < count; ++i)
        for (int p = 0; p < passes; ++p)
            ++counts[std::size_t(p) * Digits + ((keys[i] >> (lowBit + p * DigitBits)) & (Digits - 1))];
    for (int p = 0; p < passes; ++p) {
        const int shift = lowBit + p * DigitBits;
        const std::uint64_t mask = Digits - 1;
        std::size_t* start = counts.data() + std::size_t(p) * Digits;
        if (start[(keys[0] >> shift) & mask] == count) continue; // one digit value: no move
        std::size_t sum = 0;
        for (std::size_t d = 0; d < Digits; ++d)
            sum += std::exchange(start[d], sum);
        for (std::size_t i = 0; i < count; ++i) {
            const std::uint64_t k = keys[i];
            buffer[start[(k >> shift) & mask]++] = k;
        }
        std::swap(keys, buffer);
    }
    return keys;
}

// Sorts rows 0 .. n - 1 that are in order by the leading bits of their keys (lead) already, run by run: a
// run is rows whose keys share those bits. keyOf(i) is the key of row i, whose bits with row bits below
// them fit in 64; move(begin, perm, count) moves the rows of a run (row begin + j takes row begin +
// perm[j]). Runs alike (equal keys below the leading bits, row by row) are ordered alike. False, with
// some runs sorted, when a run is too long to be sorted apart: then all rows need sorting.
template <class KeyOf, class Move>
bool sortRuns(std::size_t n, std::uint64_t lead, int rowBits, const KeyOf& keyOf, const Move& move) {
    constexpr std::size_t MaxRun = std::size_t(1) << 16;
    std::vector<std::uint64_t> tails, lastTails, keys;
    std::vector<std::uint32_t> perm;
    bool identity = true;
    for (std::size_t begin = 0, end = 0; begin < n; begin = end) {
        const std::uint64_t head = keyOf(begin) & lead;
        tails.clear();
        for (end = begin; end < n; ++end) {
            const std::uint64_t key = keyOf(end);
            if ((key & lead) != head) break;
            if (end - begin == MaxRun) return false;
            tails.push_back(key & ~lead);
        }
        if (tails != lastTails) {
            keys.resize(tails.size());
            for (std::size_t j = 0; j < tails.size(); ++j)
                keys[j] = (tails[j] << rowBits) | j;
            std::sort(keys.begin(), keys.end());
            perm.resize(keys.size());
            identity = true;
            for (std::size_t j = 0; j < keys.size(); ++j) {
                perm[j] = std::uint32_t(keys[j] & ((1ull << rowBits) - 1));
                identity = identity && perm[j] == j;
            }
            tails.swap(lastTails);
        }
        if (!identity) move(begin, perm.data(), perm.size());
    }
    return true;
}

} // namespace

TStringGridModel::TStringGridModel() : m_locale(QLocale()) {}

void TStringGridModel::notifyLayout() {
    if (m_layoutChanged) m_layoutChanged();
}

void TStringGridModel::setColCount(int count) {
    count = std::max(0, count);
    m_cells.setColCount(count);
    std::erase_if(m_rotated, [count](std::uint64_t key) { return int(key >> 32) >= count; });
    notifyLayout();
}

void TStringGridModel::setRowCount(int count) {
    count = std::max(0, count);
    const int old = m_rowCount;
    if (count == old) return;
    m_cells.setRowCount(std::size_t(count));
    m_rowCount = count;
    std::erase_if(m_rotated, [count](std::uint64_t key) { return int(key & 0xFFFFFFFFu) >= count; });
    if (m_filterActive) evaluateFilter(std::min(old, count));
    notifyLayout();
}

void TStringGridModel::setFixedColCount(int count) {
    m_fixedCols = std::max(0, count);
    notifyLayout();
}

void TStringGridModel::setFixedRowCount(int count) {
    m_fixedRows = std::max(0, count);
    if (m_filterActive) evaluateFilter(0);
    notifyLayout();
}

int TStringGridModel::fixedColCount() const {
    return std::min(m_fixedCols, colCount());
}
int TStringGridModel::fixedRowCount() const {
    return std::min(m_fixedRows, m_rowCount);
}

void TStringGridModel::checkCell(int col, int realRow) const {
    if (col < 0 || col >= colCount() || realRow < 0 || realRow >= m_rowCount)
        throw std::out_of_range("Grid cell (" + std::to_string(col) + ", " + std::to_string(realRow) +
                                ") is outside the grid");
}

QString TStringGridModel::cell(int col, int realRow) const {
    checkCell(col, realRow);
    return m_strings.text(m_cells.get(col, std::size_t(realRow)));
}

QStringView TStringGridModel::cellView(int col, int realRow, TCellStringTable::InlineBuffer& buffer) const {
    checkCell(col, realRow);
    return m_strings.view(m_cells.get(col, std::size_t(realRow)), buffer);
}

void TStringGridModel::setCell(int col, int realRow, QStringView text) {
    checkCell(col, realRow);
    m_cells.set(col, std::size_t(realRow), m_strings.intern(text));
}

void TStringGridModel::setRowHandles(int realRow, const TCellStringTable::Handle* handles, int count) {
    checkCell(0, realRow);
    m_cells.setRow(static_cast<std::size_t>(realRow), handles, std::min(std::max(0, count), colCount()));
}

void TStringGridModel::copyRowCells(int fromRow, int toRow, int fromCol, int count) {
    checkCell(0, fromRow);
    checkCell(0, toRow);
    const int begin = std::clamp(fromCol, 0, colCount());
    const int end = std::clamp(fromCol + std::max(0, count), begin, colCount());
    m_cells.copyCells(std::size_t(fromRow), std::size_t(toRow), begin, end);
}

void TStringGridModel::clearRows(int first, int count) {
    const int begin = std::clamp(first, 0, m_rowCount);
    const int end = std::clamp(first + std::max(0, count), begin, m_rowCount);
    for (int col = 0; col < colCount(); ++col)
        m_cells.fill(col, std::size_t(begin), std::size_t(end), TCellStringTable::EmptyHandle);
}

void TStringGridModel::setCellRotated(int col, int realRow, bool rotated) {
    checkCell(col, realRow);
    const std::uint64_t key = (std::uint64_t(col) << 32) | std::uint32_t(realRow);
    const auto it = std::lower_bound(m_rotated.begin(), m_rotated.end(), key);
    const bool present = it != m_rotated.end() && *it == key;
    if (rotated && !present) m_rotated.insert(it, key);
    if (!rotated && present) m_rotated.erase(it);
}

bool TStringGridModel::cellRotated(int col, int realRow) const {
    const std::uint64_t key = (std::uint64_t(col) << 32) | std::uint32_t(realRow);
    return std::binary_search(m_rotated.begin(), m_rotated.end(), key);
}

// ---- filter ------------------------------------------------------------------------------------

void TStringGridModel::clearFilterConditions() {
    m_conditions.clear();
    if (m_filterActive) {
        evaluateFilter(0);
        notifyLayout();
    }
}

void TStringGridModel::addFilterCondition(int col, const QString& text, bool caseSensitive) {
    m_conditions.emplace_back(col, text, caseSensitive);
}

void TStringGridModel::setFilterActive(bool active) {
    if (!active && !m_filterActive) return;
    m_filterActive = active;
    if (active) {
        evaluateFilter(0);
    } else {
        m_shownBody.clear();
    }
    notifyLayout();
}

void TStringGridModel::evaluateFilter(int fromRealRow) {
    const int fixedRows = fixedRowCount();
    const int from = std::max(fromRealRow, fixedRows);
    // Room for every row from `from` (untouched memory costs nothing), trimmed to the rows shown at the end.
    std::size_t count = std::size_t(
        std::lower_bound(m_shownBody.begin(), m_shownBody.end(), std::uint32_t(from)) - m_shownBody.begin());
    m_shownBody.resize(count + std::size_t(std::max(0, m_rowCount - from)));
    std::uint32_t* shownRows = m_shownBody.data();
    std::vector<ConditionPass> passes;
    passes.reserve(m_conditions.size());
    for (const TFilterCondition& condition : m_conditions) {
        const int col = condition.column();
        passes.emplace_back(condition, col >= 0 && col < colCount() ? &m_cells : nullptr, col, m_strings);
    }
    // The quick filter: one of its columns contains the text, ignoring case.
    std::vector<ConditionPass> quick;
    if (!m_quickText.isEmpty()) {
        const QString text = m_quickText;
        for (const int col : m_quickCols)
            if (col >= 0 && col < colCount())
                quick.emplace_back(
                    [text](QStringView cell) { return cell.contains(text, Qt::CaseInsensitive); }, &m_cells,
                    col, m_strings);
    }
    for (int row = from; row < m_rowCount; ++row) {
        bool shown = true;
        for (ConditionPass& pass : passes) {
            if (!pass.test(row)) {
                shown = false;
                break;
            }
        }
        if (shown && !m_quickText.isEmpty())
            shown = std::any_of(quick.begin(), quick.end(),
                                [row](ConditionPass& pass) { return pass.test(row); });
        if (shown) shownRows[count++] = std::uint32_t(row);
    }
    m_shownBody.resize(count);
}

void TStringGridModel::setQuickFilter(const QString& text, std::vector<int> columns) {
    m_quickText = text;
    m_quickCols = std::move(columns);
}

// ---- real and display rows ---------------------------------------------------------------------

int TStringGridModel::displayRowCount() const {
    return m_filterActive ? fixedRowCount() + int(m_shownBody.size()) : m_rowCount;
}

int TStringGridModel::realRowIndex(int displayRow) const {
    if (displayRow < 0 || displayRow >= displayRowCount())
        throw std::out_of_range("Display row " + std::to_string(displayRow) + " is outside the grid");
    const int fixedRows = fixedRowCount();
    if (!m_filterActive || displayRow < fixedRows) return displayRow;
    return int(m_shownBody[std::size_t(displayRow - fixedRows)]);
}

int TStringGridModel::displayRowIndex(int realRow) const {
    if (realRow < 0 || realRow >= m_rowCount) return -1;
    const int fixedRows = fixedRowCount();
    if (!m_filterActive || realRow < fixedRows) return realRow;
    const auto it = std::lower_bound(m_shownBody.begin(), m_shownBody.end(), std::uint32_t(realRow));
    if (it == m_shownBody.end() || *it != std::uint32_t(realRow)) return -1;
    return fixedRows + int(it - m_shownBody.begin());
}

int TStringGridModel::nearestDisplayRow(int realRow) const {
    const int shown = displayRowCount();
    if (shown == 0) return -1;
    realRow = std::clamp(realRow, 0, m_rowCount - 1);
    const int fixedRows = fixedRowCount();
    if (!m_filterActive || realRow < fixedRows) return realRow;
    const auto it = std::lower_bound(m_shownBody.begin(), m_shownBody.end(), std::uint32_t(realRow));
    return it == m_shownBody.end() ? shown - 1 : fixedRows + int(it - m_shownBody.begin());
}

// ---- sort --------------------------------------------------------------------------------------

// Rank of every body row's text in column col (equal texts by the style share a rank). For a coded
// column the ranks are given per code instead, in codeRanks, for every text of its dictionary, and
// no row ranks are returned.
std::vector<std::uint32_t> TStringGridModel::columnRanks(int col, TSortStyle style, std::uint32_t& rankCount,
                                                         std::vector<std::uint32_t>& codeRanks) const {
    const int first = fixedRowCount();
    const bool coded = m_cells.coded(col);
    std::vector<std::uint32_t> internedRank(coded ? 0 : m_strings.internedCount(), None);
    HandleMap inlineRank;
    std::vector<Handle> distinct;
    if (coded) distinct = m_cells.dictionary(col); // distinct index = code
    for (int row = first; row < m_rowCount && !coded; ++row) {
        const Handle h = m_cells.get(col, std::size_t(row));
        if (TCellStringTable::isInterned(h)) {
            std::uint32_t& r = internedRank[TCellStringTable::internedIndex(h)];
            if (r == None) {
                r = 0;
                distinct.push_back(h);
            }
        } else {
            if (inlineRank.insert(h)) distinct.push_back(h);
        }
    }

    // Order the distinct texts once, by collation keys computed once per text.
    QCollator collator(m_locale);
    const bool noCase = style != TSortStyle::Alphabetic;
    collator.setCaseSensitivity(noCase ? Qt::CaseInsensitive : Qt::CaseSensitive);
    // The C locale's sort keys ignore the case setting, so fold the text first there.
    const bool foldFirst = noCase && m_locale.language() == QLocale::C;
    std::vector<QCollatorSortKey> keys;
    std::vector<double> numbers;
    std::vector<std::uint8_t> isNumber;
    keys.reserve(distinct.size());
    for (Handle h : distinct) {
        const QString text = m_strings.text(h);
        keys.push_back(collator.sortKey(foldFirst ? text.toCaseFolded() : text));
        if (style == TSortStyle::Numeric) {
            bool ok = false;
            numbers.push_back(text.trimmed().toDouble(&ok));
            isNumber.push_back(ok);
        }
    }
    auto compare = [&](std::size_t a, std::size_t b) -> int {
        if (style == TSortStyle::Numeric) {
            if (isNumber[a] != isNumber[b]) return isNumber[a] ? -1 : 1;
            if (isNumber[a] && numbers[a] != numbers[b]) return numbers[a] < numbers[b] ? -1 : 1;
        }
        return keys[a].compare(keys[b]);
    };
    std::vector<std::uint32_t> order(distinct.size());
    for (std::size_t i = 0; i < order.size(); ++i)
        order[i] = std::uint32_t(i);
    std::sort(order.begin(), order.end(),
              [&](std::uint32_t a, std::uint32_t b) { return compare(a, b) < 0; });

    std::uint32_t rank = 0;
    if (coded) codeRanks.assign(distinct.size(), 0);
    for (std::size_t i = 0; i < order.size(); ++i) {
        if (i > 0 && compare(order[i - 1], order[i]) != 0) ++rank;
        if (coded) {
            codeRanks[order[i]] = rank;
            continue;
        }
        const Handle h = distinct[order[i]];
        if (TCellStringTable::isInterned(h))
            internedRank[TCellStringTable::internedIndex(h)] = rank;
        else
            inlineRank.set(h, rank);
    }
    rankCount = order.empty() ? 0 : rank + 1;
    if (coded) return {};

    std::vector<std::uint32_t> ranks(std::size_t(m_rowCount - first));
    for (int row = first; row < m_rowCount; ++row) {
        const Handle h = m_cells.get(col, std::size_t(row));
        ranks[std::size_t(row - first)] = TCellStringTable::isInterned(h)
                                              ? internedRank[TCellStringTable::internedIndex(h)]
                                              : inlineRank.value(h);
    }
    return ranks;
}

void TStringGridModel::sortBody() {
    if (m_sortKeys.empty()) return;
    if (m_strings.internedCount() > std::max<std::uint32_t>(65536, 2 * m_internedAtCompaction))
        compactStrings();
    const int first = fixedRowCount();
    const std::size_t n = std::size_t(std::max(0, m_rowCount - first));

    // Per key: the rank of each row, or for a coded column the rank of each code (codeRanks).
    std::vector<std::vector<std::uint32_t>> ranks, codeRanks;
    std::vector<int> bits, cols;
    for (int col : m_sortKeys) {
        if (col < 0 || col >= colCount()) continue; // a key outside the grid orders nothing
        TSortStyle style = TSortStyle::Alphabetic;
        if (m_format) m_format(col, style);
        std::uint32_t distinct = 0;
        codeRanks.emplace_back();
        ranks.push_back(columnRanks(col, style, distinct, codeRanks.back()));
        bits.push_back(bitsFor(distinct));
        cols.push_back(col);
        if (!m_multiKey) break;
    }
    if (ranks.empty() || n < 2) return;
    auto rankOf = [&](std::size_t k, std::size_t i) {
        return codeRanks[k].empty() ? ranks[k][i]
                                    : codeRanks[k][m_cells.code(cols[k], std::size_t(first) + i)];
    };

    // Row order: ties on every key keep the current order, so the sort is stable. The keys and the
    // permutation live in the table's room for sorting, kept from sort to sort.
    std::uint32_t* perm = nullptr;
    int keyBits = 0;
    for (int b : bits)
        keyBits += b;
    const int rowBits = bitsFor(std::uint32_t(n));
    if (keyBits + rowBits <= 64) {
        // Each key's ranks read straight from the codes (or the row ranks), in one pass over the rows;
        // the one-byte codes held as patterns are turned into their part of the key once per pattern.
        struct KeySource {
            TCellTable::CodeSpan span;
            const std::uint32_t* codeRank;
            const std::uint32_t* rowRank;
            int shift;
        };
        std::vector<KeySource> sources, patternSources;
        std::vector<std::uint64_t> leads{0}; // leads[k]: the bits of the first k keys
        int shift = keyBits;
        for (std::size_t k = 0; k < ranks.size(); ++k) {
            shift -= bits[k];
            leads.push_back((keyBits >= 64 ? ~0ull : (1ull << keyBits) - 1) & (~0ull << shift));
            const bool coded = !codeRanks[k].empty();
            const KeySource source{coded ? m_cells.codeSpan(cols[k]) : TCellTable::CodeSpan{},
                                   coded ? codeRanks[k].data() : nullptr, coded ? nullptr : ranks[k].data(),
                                   shift};
            (source.span.patterns ? patternSources : sources).push_back(source);
        }
        std::vector<std::uint64_t> patternKey;
        const std::uint16_t* patternOf = nullptr;
        if (!patternSources.empty()) {
            patternOf = patternSources.front().span.patterns;
            patternKey.assign(m_cells.patternCount(), 0);
            for (std::size_t id = 0; id < patternKey.size(); ++id)
                for (const KeySource& k : patternSources)
                    patternKey[id] |= std::uint64_t(k.codeRank[k.span.bytes[id * k.span.step]]) << k.shift;
        }
        auto keyOf = [&](std::size_t i) {
            const std::size_t row = std::size_t(first) + i;
            std::uint64_t key = patternOf ? patternKey[patternOf[row]] : 0;
            for (const KeySource& k : sources)
                key |= std::uint64_t(k.rowRank ? k.rowRank[i] : k.codeRank[k.span.at(row)]) << k.shift;
            return key;
        };
        // The most leading keys the rows are in order by already. In order by all, nothing moves; by
        // some, rows move only within runs of equal leading keys, sorted run by run in little room.
        std::size_t ordered = leads.size() - 1;
        for (std::uint64_t last = keyOf(0), i = 1; i < n && ordered > 0; ++i) {
            const std::uint64_t key = keyOf(i);
            while (ordered > 0 && (key & leads[ordered]) < (last & leads[ordered]))
                --ordered;
            last = key;
        }
        if (leads[ordered] == 0) ordered = 0; // leading keys of one value make one run of every row
        const auto moveRun = [&](std::size_t begin, const std::uint32_t* runPerm, std::size_t count) {
            m_cells.permute(std::size_t(first) + begin, runPerm, count);
        };
        if (ordered + 1 < leads.size() &&
            (ordered == 0 || !sortRuns(n, leads[ordered], rowBits, keyOf, moveRun))) {
            const TCellTable::SortScratch scratch = m_cells.sortScratch(n);
            std::uint64_t* packed = scratch.keys;
            for (std::size_t i = 0; i < n; ++i)
                packed[i] = (keyOf(i) << rowBits) | i;
            // The row index in the low bits already orders ties: only the key bits need sorting.
            const std::uint64_t* sorted = radixSort(packed, scratch.buffer, n, rowBits, rowBits + keyBits);
            perm = reinterpret_cast<std::uint32_t*>(sorted == scratch.keys ? scratch.buffer : scratch.keys);
            const std::uint64_t rowMask = rowBits >= 64 ? ~0ull : (1ull << rowBits) - 1;
            for (std::size_t i = 0; i < n; ++i)
                perm[i] = std::uint32_t(sorted[i] & rowMask);
        }
    } else {
        for (std::size_t k = 0; k < ranks.size(); ++k) {
            if (codeRanks[k].empty()) continue;
            ranks[k].resize(n);
            for (std::size_t i = 0; i < n; ++i)
                ranks[k][i] = rankOf(k, i);
        }
        perm = reinterpret_cast<std::uint32_t*>(m_cells.sortScratch(n).buffer);
        for (std::size_t i = 0; i < n; ++i)
            perm[i] = std::uint32_t(i);
        std::stable_sort(perm, perm + n, [&](std::uint32_t a, std::uint32_t b) {
            for (const auto& r : ranks)
                if (r[a] != r[b]) return r[a] < r[b];
            return false;
        });
    }
    ranks.clear();
    ranks.shrink_to_fit();

    // Move whole rows: gather every column through the permutation (unless no row moves).
    bool moved = false;
    for (std::size_t i = 0; perm && i < n && !moved; ++i)
        moved = perm[i] != i;
    if (moved) m_cells.permute(std::size_t(first), perm, n);
    if (m_filterActive) evaluateFilter(0);
    notifyLayout();
}

// ---- copy and housekeeping -----------------------------------------------------------------------

QString TStringGridModel::copyText() const {
    QString out;
    const int rows = displayRowCount();
    out.reserve(qsizetype(rows) * (colCount() * 4 + 2));
    TCellStringTable::InlineBuffer buffer;
    for (int d = 0; d < rows; ++d) {
        const int row = realRowIndex(d);
        for (int col = 0; col < colCount(); ++col) {
            if (col > 0) out.append(u'\t');
            out.append(m_strings.view(m_cells.get(col, std::size_t(row)), buffer));
        }
        out.append(u"\r\n");
    }
    return out;
}

void TStringGridModel::compactStrings() {
    std::vector<std::uint8_t> used(m_strings.internedCount(), 0);
    m_cells.markInterned(used);
    m_cells.remapInterned(m_strings.compact(used));
    m_internedAtCompaction = m_strings.internedCount();
}

std::size_t TStringGridModel::memoryUsage() const {
    std::size_t bytes = m_shownBody.capacity() * 4 + m_rotated.capacity() * 8 + m_strings.memoryUsage();
    bytes += m_cells.memoryUsage();
    return bytes;
}
