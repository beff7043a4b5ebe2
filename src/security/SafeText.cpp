#include "security/SafeText.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <utility>

namespace {

// One decoded step through UTF-8: the code point and its length, or length 1 and ok false for a byte
// that starts no valid sequence (overlong forms and surrogates included).
struct Step {
    char32_t cp = 0;
    std::size_t len = 1;
    bool ok = false;
};

Step decode(std::string_view s, std::size_t i) {
    const auto b = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
    const unsigned char c = b(i);
    if (c < 0x80) return {c, 1, true};
    std::size_t len = 0;
    char32_t cp = 0, min = 0;
    if ((c & 0xE0) == 0xC0) {
        len = 2, cp = c & 0x1F, min = 0x80;
    } else if ((c & 0xF0) == 0xE0) {
        len = 3, cp = c & 0x0F, min = 0x800;
    } else if ((c & 0xF8) == 0xF0) {
        len = 4, cp = c & 0x07, min = 0x10000;
    } else {
        return {};
    }
    if (i + len > s.size()) return {};
    for (std::size_t k = 1; k < len; ++k) {
        if ((b(i + k) & 0xC0) != 0x80) return {};
        cp = (cp << 6) | (b(i + k) & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return {};
    return {cp, len, true};
}

void appendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

std::string hex(const char* format, unsigned value) {
    char buf[16];
    std::snprintf(buf, sizeof buf, format, value);
    return buf;
}

constexpr char32_t FirstStrongIsolate = 0x2068, PopDirectionalIsolate = 0x2069;

// Printable ASCII without a backslash: what every form leaves as it is (the common case, checked first).
bool plainAscii(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return c >= 0x20 && c < 0x7F && c != '\\'; });
}

// Walks text one character (or one stray byte) at a time: escape appends a replacement to out and
// returns true, or returns false to keep the character as it is.
template <class Escape> void rewrite(std::string& out, std::string_view text, Escape escape) {
    out.reserve(out.size() + text.size());
    for (std::size_t i = 0; i < text.size();) {
        const Step st = decode(text, i);
        if (!escape(st, static_cast<unsigned char>(text[i]))) out.append(text.substr(i, st.len));
        i += st.len;
    }
}

// The short escapes that text fields and JSON strings share.
const char* shortEscape(char32_t c) {
    switch (c) {
    case '\\':
        return "\\\\";
    case '\n':
        return "\\n";
    case '\t':
        return "\\t";
    case '\r':
        return "\\r";
    default:
        return nullptr;
    }
}

} // namespace

bool IsInvisibleCodePoint(char32_t c) {
    static constexpr std::pair<char32_t, char32_t> ranges[] = {
        {0x0000, 0x001F},   {0x007F, 0x009F},   {0x00AD, 0x00AD},   {0x034F, 0x034F},   {0x0600, 0x0605},
        {0x061C, 0x061C},   {0x06DD, 0x06DD},   {0x070F, 0x070F},   {0x08E2, 0x08E2},   {0x115F, 0x1160},
        {0x17B4, 0x17B5},   {0x180B, 0x180F},   {0x200B, 0x200F},   {0x2028, 0x202E},   {0x2060, 0x206F},
        {0x3164, 0x3164},   {0xFE00, 0xFE0F},   {0xFEFF, 0xFEFF},   {0xFFA0, 0xFFA0},   {0xFFF9, 0xFFFB},
        {0x110BD, 0x110BD}, {0x110CD, 0x110CD}, {0x1BCA0, 0x1BCA3}, {0x1D173, 0x1D17A}, {0xE0000, 0xE0FFF},
    };
    return std::any_of(std::begin(ranges), std::end(ranges),
                       [c](const auto& r) { return c >= r.first && c <= r.second; });
}

std::string TextField(std::string_view text) {
    if (plainAscii(text)) return std::string(text);
    std::string out;
    rewrite(out, text, [&out](const Step& st, unsigned char byte) {
        if (!st.ok)
            out += hex("\\x%02x", byte);
        else if (const char* e = shortEscape(st.cp))
            out += e;
        else if (st.cp < 0x20 || st.cp == 0x7F)
            out += hex("\\x%02x", static_cast<unsigned>(st.cp));
        else if (IsInvisibleCodePoint(st.cp))
            out += st.cp > 0xFFFF ? hex("\\U%08x", static_cast<unsigned>(st.cp))
                                  : hex("\\u%04x", static_cast<unsigned>(st.cp));
        else
            return false;
        return true;
    });
    return out;
}

std::string VisibleText(std::string_view text) {
    if (plainAscii(text)) return std::string(text);
    std::string out;
    rewrite(out, text, [&out](const Step& st, unsigned char byte) {
        if (!st.ok)
            out += hex("<0x%02X>", byte);
        else if (IsInvisibleCodePoint(st.cp))
            out += hex("<U+%04X>", static_cast<unsigned>(st.cp));
        else
            return false;
        return true;
    });
    return out;
}

std::string ShownName(std::string_view text) {
    std::string visible = VisibleText(text);
    if (std::all_of(visible.begin(), visible.end(),
                    [](char c) { return static_cast<unsigned char>(c) < 0x80; }))
        return visible;
    std::string out;
    appendUtf8(out, FirstStrongIsolate);
    out += visible;
    appendUtf8(out, PopDirectionalIsolate);
    return out;
}

std::string StripIsolates(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const Step st = decode(text, i);
        if (!st.ok || (st.cp != FirstStrongIsolate && st.cp != PopDirectionalIsolate))
            out.append(text.substr(i, st.len));
        i += st.len;
    }
    return out;
}

std::string JsonString(std::string_view text) {
    std::string out = "\"";
    rewrite(out, text, [&out](const Step& st, unsigned char) {
        if (!st.ok) {
            out += "\\ufffd";
        } else if (st.cp == '"') {
            out += "\\\"";
        } else if (const char* e = shortEscape(st.cp)) {
            out += e;
        } else if (!IsInvisibleCodePoint(st.cp)) {
            return false;
        } else if (st.cp > 0xFFFF) {
            const char32_t v = st.cp - 0x10000;
            out += hex("\\u%04x", static_cast<unsigned>(0xD800 + (v >> 10)));
            out += hex("\\u%04x", static_cast<unsigned>(0xDC00 + (v & 0x3FF)));
        } else {
            out += hex("\\u%04x", static_cast<unsigned>(st.cp));
        }
        return true;
    });
    return out + "\"";
}

std::string CsvCell(std::string_view text) {
    std::string field(text);
    static constexpr std::string_view formulaStarts = "=+-@\t\r";
    if (!field.empty() && formulaStarts.find(field.front()) != std::string_view::npos && field != "-")
        field.insert(field.begin(), '\'');
    if (field.find_first_of(",\"\r\n") == std::string::npos) return field;
    std::string quoted = "\"";
    for (const char c : field)
        quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    return quoted + "\"";
}

namespace {

// Letters of other scripts drawn like a Latin letter, as that letter.
char32_t latinTwin(char32_t c) {
    static constexpr std::pair<char32_t, char> twins[] = {
        {0x0391, 'A'}, {0x0392, 'B'}, {0x0395, 'E'}, {0x0396, 'Z'}, {0x0397, 'H'}, {0x0399, 'I'},
        {0x039A, 'K'}, {0x039C, 'M'}, {0x039D, 'N'}, {0x039F, 'O'}, {0x03A1, 'P'}, {0x03A4, 'T'},
        {0x03A5, 'Y'}, {0x03A7, 'X'}, {0x03B9, 'i'}, {0x03BD, 'v'}, {0x03BF, 'o'}, {0x0405, 'S'},
        {0x0406, 'I'}, {0x0408, 'J'}, {0x0410, 'A'}, {0x0412, 'B'}, {0x0415, 'E'}, {0x041A, 'K'},
        {0x041C, 'M'}, {0x041D, 'H'}, {0x041E, 'O'}, {0x0420, 'P'}, {0x0421, 'C'}, {0x0422, 'T'},
        {0x0425, 'X'}, {0x0430, 'a'}, {0x0435, 'e'}, {0x043E, 'o'}, {0x0440, 'p'}, {0x0441, 'c'},
        {0x0443, 'y'}, {0x0445, 'x'}, {0x0455, 's'}, {0x0456, 'i'}, {0x0458, 'j'}, {0x04BB, 'h'},
        {0x0501, 'd'}, {0x051B, 'q'}, {0x051D, 'w'}, {0x0131, 'i'}, {0x0269, 'i'}, {0x0261, 'g'},
    };
    if (c >= 0xFF01 && c <= 0xFF5E) return c - 0xFF01 + 0x21; // full-width ASCII
    for (const auto& [from, to] : twins)
        if (from == c) return static_cast<unsigned char>(to);
    return c;
}

std::string skeleton(std::string_view name) {
    std::string out;
    for (std::size_t i = 0; i < name.size();) {
        const Step st = decode(name, i);
        i += st.len;
        if (!st.ok) {
            out += '?';
            continue;
        }
        if (IsInvisibleCodePoint(st.cp) || (st.cp >= 0x0300 && st.cp <= 0x036F)) continue;
        char32_t c = latinTwin(st.cp);
        if (c >= 'A' && c <= 'Z') c += 'a' - 'A';
        appendUtf8(out, c);
    }
    return out;
}

} // namespace

std::string BuiltInLookAlike(std::string_view name) {
    static constexpr std::array<std::string_view, 5> builtIns = {"admin", "Admins", "Users", "Engine",
                                                                 "Creator"};
    const std::string shape = skeleton(name);
    for (const std::string_view builtIn : builtIns) {
        if (shape != skeleton(builtIn)) continue;
        const bool same = name.size() == builtIn.size() &&
                          std::equal(name.begin(), name.end(), builtIn.begin(), [](char a, char b) {
                              const auto lower = [](char x) {
                                  return x >= 'A' && x <= 'Z' ? static_cast<char>(x + 32) : x;
                              };
                              return lower(a) == lower(b);
                          });
        return same ? std::string() : std::string(builtIn);
    }
    return {};
}
