#include "grids/model/PermsGridWriter.h"

#include <algorithm>

TPermsGridWriter::TPermsGridWriter(TStringGridModel& model) : m_model(model) {}

TPermsGridWriter::Handle TPermsGridWriter::text(const std::string& s) {
    return m_model.internText(QString::fromUtf8(s.data(), qsizetype(s.size())));
}

TPermsGridWriter::Handle TPermsGridWriter::cached(CachedText& cache, const std::string& s) {
    if (cache.handle == 0 || cache.text != s) {
        cache.text = s;
        cache.handle = text(s);
    }
    return cache.handle;
}

TPermsGridWriter::Handle TPermsGridWriter::account(const std::string& name) {
    // The accounts come in the same order for every object: the next expected one usually matches.
    if (m_nextAccount < m_accounts.size() && m_accounts[m_nextAccount].text == name)
        return m_accounts[m_nextAccount++].handle;
    for (std::size_t i = 0; i < m_accounts.size(); ++i) {
        if (m_accounts[i].text == name) {
            m_nextAccount = i + 1;
            return m_accounts[i].handle;
        }
    }
    m_accounts.push_back({name, text(name)});
    m_nextAccount = m_accounts.size();
    return m_accounts.back().handle;
}

TPermsGridWriter::Handle TPermsGridWriter::letter(char c) {
    const auto i = static_cast<unsigned char>(c) & 0x7F;
    if (!m_haveLetter[i]) {
        const QChar ch = QLatin1Char(static_cast<char>(i));
        m_letters[i] = m_model.internText(QStringView(&ch, 1));
        m_haveLetter[i] = true;
    }
    return m_letters[i];
}

TPermsGridWriter::Handle TPermsGridWriter::hex(std::int32_t value) {
    if (m_haveLastHex && value == m_lastHex) return m_lastHexHandle;
    const Handle h = hexLookup(value);
    m_lastHex = value;
    m_lastHexHandle = h;
    m_haveLastHex = true;
    return h;
}

TPermsGridWriter::Handle TPermsGridWriter::hexLookup(std::int32_t value) {
    auto it = m_hex.find(value);
    if (it != m_hex.end()) return it->second;
    const Handle h = m_model.internText(QString::fromStdString(PermHex(value)));
    m_hex.emplace(value, h);
    return h;
}

TPermsGridWriter::Handle TPermsGridWriter::number(std::int32_t value) {
    char16_t digits[12];
    int n = 0;
    auto v = static_cast<std::uint32_t>(value < 0 ? -static_cast<std::int64_t>(value) : value);
    do {
        digits[11 - n++] = char16_t(u'0' + v % 10);
        v /= 10;
    } while (v != 0);
    if (value < 0) digits[11 - n++] = u'-';
    return m_model.internText(QStringView(digits + 12 - n, n));
}

void TPermsGridWriter::ExpectRows(std::int32_t RowCount) {
    m_expectedRows = RowCount;
    m_model.reserveRows(RowCount + 1);
}

void TPermsGridWriter::WriteRow(std::int32_t RowIndex, const TPermRow& Row) {
    if (m_model.rowCount() - 1 < RowIndex)
        m_model.setRowCount(std::max(m_model.rowCount() + 20, m_expectedRows + 1));
    std::array<Handle, SecColCount>& cells = m_cells;
    cells[colNum] = number(Row.Seq);
    cells[colContainer] = cached(m_container, Row.Container);
    cells[colObjectName] = cached(m_object, Row.ObjectName);
    cells[colUserGroup] = letter(Row.Kind);
    cells[colUGName] = account(Row.UGName);
    cells[colPermExp] = hex(Row.Explicit);
    cells[colPermAll] = hex(Row.Effective);
    cells[colInherit] = letter(Row.Inherit);
    cells[colOwner] = letter(Row.Owner);
    // Most rows carry the letters of the row before: their handles are kept from it.
    if (!m_haveLetters || Row.Letters != m_lastLetters) {
        for (std::size_t i = 0; i < Row.Letters.size(); ++i)
            cells[FirstPermColumn + i] = letter(Row.Letters[i]);
        m_lastLetters = Row.Letters;
        m_haveLetters = true;
    }
    m_model.setRowHandles(RowIndex, cells.data(), SecColCount);
}

void TPermsGridWriter::Finish(std::int32_t LastRowIndex) {
    m_model.setRowCount(LastRowIndex > 0 ? LastRowIndex + 1 : 2);
    m_model.setFixedRowCount(1);
}
