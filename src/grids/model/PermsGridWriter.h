#pragma once
// Writes catalogue rows into the permissions grid by real row index, growing the grid to the rows the
// walk expects (else 20 rows at a time) as the rows arrive. Texts that repeat from row to row (names, values,
// letters) are turned into cell handles once and reused.
#include "grids/model/StringGridModel.h"
#include "security/CatalogueReader.h"

#include <array>
#include <string>
#include <unordered_map>
#include <vector>

class TPermsGridWriter : public TPermRowWriter {
public:
    explicit TPermsGridWriter(TStringGridModel& model);
    void ExpectRows(std::int32_t RowCount) override;
    void WriteRow(std::int32_t RowIndex, const TPermRow& Row) override;
    // Trims the grid to the rows written (two rows when none was) with one fixed row.
    void Finish(std::int32_t LastRowIndex);

private:
    using Handle = TCellStringTable::Handle;
    struct CachedText {
        std::string text;
        Handle handle = 0;
    };
    Handle text(const std::string& s);
    Handle cached(CachedText& cache, const std::string& s);
    Handle account(const std::string& name);
    Handle letter(char c);
    Handle hex(std::int32_t value);
    Handle hexLookup(std::int32_t value);
    Handle number(std::int32_t value);

    TStringGridModel& m_model;
    std::int32_t m_expectedRows = 0;
    CachedText m_container, m_object;
    std::vector<CachedText> m_accounts; // in the order rows name them; they repeat for every object
    std::size_t m_nextAccount = 0;
    std::array<Handle, 128> m_letters{};
    std::array<bool, 128> m_haveLetter{};
    std::unordered_map<std::int32_t, Handle> m_hex;
    std::int32_t m_lastHex = 0;
    Handle m_lastHexHandle = 0;
    bool m_haveLastHex = false;
    decltype(TPermRow::Letters) m_lastLetters{};
    bool m_haveLetters = false;
    std::array<Handle, SecColCount> m_cells{}; // the row written last
};
