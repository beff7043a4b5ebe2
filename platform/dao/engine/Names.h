#pragma once
// Account and object names: Jet compares names without regard to letter case. The engine folds ASCII
// letters only (the same rule as SQLite's NOCASE collation, which the files' unique indexes use), so
// the in-memory lookups and the files always agree on what counts as the same name.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace dao::engine {

inline char foldChar(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + ('a' - 'A')) : c;
}

std::string foldCase(std::string_view s);

// Case-insensitive three-way comparison; ties broken by the raw bytes so the order is total.
int compareNoCase(std::string_view a, std::string_view b);
bool equalNoCase(std::string_view a, std::string_view b);

// Hash and equality for case-insensitive unordered maps with heterogeneous (string_view) lookup.
struct NoCaseHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view s) const noexcept {
        std::uint64_t h = 1469598103934665603ull;
        for (char c : s) {
            h ^= static_cast<unsigned char>(foldChar(c));
            h *= 1099511628211ull;
        }
        return static_cast<std::size_t>(h);
    }
};
struct NoCaseEqual {
    using is_transparent = void;
    bool operator()(std::string_view a, std::string_view b) const noexcept { return equalNoCase(a, b); }
};
struct NoCaseLess {
    bool operator()(std::string_view a, std::string_view b) const noexcept { return compareNoCase(a, b) < 0; }
};

// Number of characters (UTF-8 code points) in s.
std::size_t characterCount(std::string_view s);

// Length of the well-formed UTF-8 sequence at s[i], or 0 when there is none.
std::size_t utf8SequenceLength(std::string_view s, std::size_t i);
bool isValidUtf8(std::string_view s);
// The text with every byte that is not part of well-formed UTF-8 written as \xNN, for messages.
std::string printableName(std::string_view s);

// Every name must be well-formed UTF-8 text.
// Empty when name is a valid account name, else the reason: 1 to 20 characters, no leading blank, no
// control characters and none of " \ [ ] : | < > + = ; , . ? *
std::string accountNameProblem(std::string_view name);

// Empty when name is a valid object (document) name, else the reason: 1 to 64 characters, no leading
// blank, no control characters, none of . ! ` [ ] and not starting with "sqlite_" or "MSys", and not
// "<container>" in any case.
std::string objectNameProblem(std::string_view name);

// An SQL identifier in double quotes with embedded quotes doubled (table names cannot be bound).
std::string quoteIdentifier(std::string_view name);

} // namespace dao::engine
