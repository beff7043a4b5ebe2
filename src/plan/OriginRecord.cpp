#include "plan/OriginRecord.h"

#include <map>
#include <stdexcept>

namespace plan {
namespace {

// Values are single lines: a backslash and a line break are written as "\\" and "\n".
std::string escapeValue(std::string_view v) {
    std::string out;
    for (char c : v) {
        if (c == '\\')
            out += "\\\\";
        else if (c == '\n')
            out += "\\n";
        else if (c == '\r')
            out += "\\r";
        else
            out += c;
    }
    return out;
}

std::string unescapeValue(std::string_view v) {
    std::string out;
    for (std::size_t i = 0; i < v.size(); ++i) {
        if (v[i] != '\\' || i + 1 == v.size()) {
            out += v[i];
            continue;
        }
        const char next = v[++i];
        out += next == 'n' ? '\n' : next == 'r' ? '\r' : next;
    }
    return out;
}

void putFile(std::string& out, const char* prefix, const OriginFile& f) {
    const std::string p(prefix);
    out += p + ".path=" + escapeValue(f.path) + "\n";
    out += p + ".size=" + std::to_string(f.size) + "\n";
    out += p + ".sha256=" + escapeValue(f.sha256) + "\n";
    out += p + ".modified=" + escapeValue(f.modified) + "\n";
}

} // namespace

std::string FormatOriginRecord(const OriginRecord& r) {
    std::string out;
    putFile(out, "workgroup", r.workgroup);
    putFile(out, "database", r.database);
    out += "user=" + escapeValue(r.user) + "\n";
    out += "importedAt=" + escapeValue(r.importedAt) + "\n";
    out += "keyloupeVersion=" + escapeValue(r.keyloupeVersion) + "\n";
    out += "jetFormat=" + escapeValue(r.jetFormat) + "\n";
    return out;
}

OriginRecord ParseOriginRecord(std::string_view text) {
    std::map<std::string, std::string> values;
    std::size_t lineNo = 0;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        const std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        ++lineNo;
        if (line.empty()) continue;
        const std::size_t eq = line.find('=');
        if (eq == std::string_view::npos || eq == 0)
            throw std::runtime_error("origin record, line " + std::to_string(lineNo) + ": no key=value");
        values[std::string(line.substr(0, eq))] = unescapeValue(line.substr(eq + 1));
    }
    auto take = [&](const char* key) {
        const auto it = values.find(key);
        if (it == values.end()) throw std::runtime_error(std::string("origin record: no ") + key);
        return it->second;
    };
    auto takeSize = [&](const char* key) {
        const std::string v = take(key);
        if (v.empty() || v.find_first_not_of("0123456789") != std::string::npos)
            throw std::runtime_error(std::string("origin record: ") + key + " is not a size");
        return static_cast<std::uint64_t>(std::stoull(v));
    };
    OriginRecord r;
    for (auto [file, prefix] : {std::pair{&r.workgroup, std::string("workgroup")},
                                std::pair{&r.database, std::string("database")}}) {
        file->path = take((prefix + ".path").c_str());
        file->size = takeSize((prefix + ".size").c_str());
        file->sha256 = take((prefix + ".sha256").c_str());
        file->modified = take((prefix + ".modified").c_str());
    }
    r.user = take("user");
    r.importedAt = take("importedAt");
    r.keyloupeVersion = take("keyloupeVersion");
    r.jetFormat = take("jetFormat");
    return r;
}

} // namespace plan
