#include "dao/engine/Names.h"

#include <algorithm>
#include <cstring>

namespace dao::engine {

std::string foldCase(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        c = foldChar(c);
    return out;
}

int compareNoCase(std::string_view a, std::string_view b) {
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const auto x = static_cast<unsigned char>(foldChar(a[i]));
        const auto y = static_cast<unsigned char>(foldChar(b[i]));
        if (x != y) return x < y ? -1 : 1;
    }
    if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
    const int raw = a.compare(b);
    return raw < 0 ? -1 : (raw > 0 ? 1 : 0);
}

bool equalNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (foldChar(a[i]) != foldChar(b[i])) return false;
    return true;
}

std::size_t characterCount(std::string_view s) {
    std::size_t n = 0;
    for (char c : s)
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++n;
    return n;
}

std::size_t utf8SequenceLength(std::string_view s, std::size_t i) {
    const auto b = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
    const unsigned char c = b(i);
    if (c < 0x80) return 1;
    std::size_t n;
    std::uint32_t cp;
    if (c >= 0xC2 && c <= 0xDF) {
        n = 2;
        cp = c & 0x1F;
    } else if (c >= 0xE0 && c <= 0xEF) {
        n = 3;
        cp = c & 0x0F;
    } else if (c >= 0xF0 && c <= 0xF4) {
        n = 4;
        cp = c & 0x07;
    } else {
        return 0;
    }
    if (s.size() - i < n) return 0;
    for (std::size_t k = 1; k < n; ++k) {
        if ((b(i + k) & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (b(i + k) & 0x3F);
    }
    // Overlong forms, UTF-16 surrogates and code points beyond U+10FFFF are not UTF-8.
    if ((n == 3 && cp < 0x800) || (n == 4 && cp < 0x10000) || (cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF)
        return 0;
    return n;
}

bool isValidUtf8(std::string_view s) {
    for (std::size_t i = 0; i < s.size();) {
        const std::size_t n = utf8SequenceLength(s, i);
        if (n == 0) return false;
        i += n;
    }
    return true;
}

std::string printableName(std::string_view s) {
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    for (std::size_t i = 0; i < s.size();) {
        const std::size_t n = utf8SequenceLength(s, i);
        if (n == 0) {
            const auto c = static_cast<unsigned char>(s[i++]);
            out += "\\x";
            out += hex[c >> 4];
            out += hex[c & 0xF];
        } else {
            out.append(s.substr(i, n));
            i += n;
        }
    }
    return out;
}

namespace {

std::string commonProblem(std::string_view name, std::size_t maxChars, const char* forbidden) {
    if (!isValidUtf8(name)) return "the name is not valid UTF-8 text";
    const std::size_t chars = characterCount(name);
    if (chars == 0) return "the name is empty";
    if (chars > maxChars) return "the name is longer than " + std::to_string(maxChars) + " characters";
    if (name.front() == ' ') return "the name begins with a blank";
    for (char c : name) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7F) return "the name contains a control character";
        if (std::strchr(forbidden, c) != nullptr) return std::string("the name contains '") + c + "'";
    }
    return {};
}

} // namespace

std::string accountNameProblem(std::string_view name) {
    return commonProblem(name, 20, "\"\\[]:|<>+=;,.?*");
}

std::string objectNameProblem(std::string_view name) {
    std::string problem = commonProblem(name, 64, ".!`[]");
    if (!problem.empty()) return problem;
    if (equalNoCase(name.substr(0, std::min<std::size_t>(name.size(), 7)), "sqlite_"))
        return "names beginning with \"sqlite_\" are reserved";
    // The engine's own objects begin with "MSys" in exactly this case; "msys..." is an ordinary name.
    if (name.substr(0, std::min<std::size_t>(name.size(), 4)) == "MSys")
        return "names beginning with \"MSys\" are reserved for the engine";
    // The permission listings name a container's own rows so; a document of that name would be its twin.
    if (equalNoCase(name, "<container>")) return "\"<container>\" stands for a container itself";
    return {};
}

std::string quoteIdentifier(std::string_view name) {
    std::string out = "\"";
    for (char c : name) {
        if (c == '"') out += '"';
        out += c;
    }
    out += '"';
    return out;
}

} // namespace dao::engine
