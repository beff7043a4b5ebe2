#include "plan/ChangeWriters.h"

#include "plan/CompareCatalogues.h"
#include "security/AuditReport.h"

#include <cstdio>

namespace plan {
namespace {

// Control characters as \xHH, so that every change stays one line.
std::string visible(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < 0x20 || c == 0x7F) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\x%02X", c);
            out += buf;
        } else {
            out += ch;
        }
    }
    return out;
}

std::string where(const Change& c) {
    if (c.object.empty()) return visible(c.container) + " (container)";
    return visible(c.container) + " \\ " + visible(c.object);
}

std::string kindWord(const Change& c) {
    return c.accountKind == 'G' ? "group" : c.accountKind == 'U' ? "user" : "account";
}

// The account as a line names it: "NAME (group)", or its SID when no account holds it.
std::string who(const Change& c) {
    if (c.account.empty()) return "the unknown SID " + c.accountSid;
    return visible(c.account) + " (" + kindWord(c) + (c.sidShown ? ", SID " + c.accountSid : "") + ")";
}

// A created or deleted account: "group Admins", with its SID when the name is not enough.
std::string named(const Change& c) {
    return kindWord(c) + " " + visible(c.account) + (c.sidShown ? " (SID " + c.accountSid + ")" : "");
}

std::string jsonString(const std::string& text) {
    std::string out = "\"";
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (ch == '"' || ch == '\\') {
            out += '\\';
            out += ch;
        } else if (ch == '\n') {
            out += "\\n";
        } else if (ch == '\r') {
            out += "\\r";
        } else if (ch == '\t') {
            out += "\\t";
        } else if (c < 0x20 || c == 0x7F) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04X", c);
            out += buf;
        } else {
            out += ch;
        }
    }
    return out + "\"";
}

} // namespace

std::string ChangeLine(const Change& c) {
    switch (c.kind) {
    case ChangeKind::AccountCreated:
        return "create " + named(c) + (c.pid.empty() ? "" : " (PID " + visible(c.pid) + ")");
    case ChangeKind::MembershipAdded:
        return "add user " + visible(c.account) + " to group " + visible(c.group);
    case ChangeKind::Owner:
        return "owner of " + where(c) + ": " + visible(c.before) + " -> " + visible(c.after);
    case ChangeKind::Inherit:
        return "inherit of " + who(c) + " on " + where(c) + ": " + c.before + " -> " + c.after;
    case ChangeKind::Permissions: {
        std::string line =
            "permissions of " + who(c) + " on " + where(c) + ": " + c.before + " -> " + c.after;
        if (!c.rightsAdded.empty()) line += ", adds " + c.rightsAdded;
        if (!c.rightsRemoved.empty()) line += ", removes " + c.rightsRemoved;
        return line;
    }
    case ChangeKind::MembershipRemoved:
        return "remove user " + visible(c.account) + " from group " + visible(c.group);
    case ChangeKind::AccountDeleted:
        return "delete " + named(c);
    case ChangeKind::ObjectOnlyHere:
        return "only in the newer database (not a change to apply): " + where(c);
    case ChangeKind::ObjectOnlyThere:
        return "only in the older database (not a change to apply): " + where(c);
    }
    return {};
}

std::string ChangesSummary(const std::vector<Change>& changes) {
    if (changes.empty()) return "No differences.";
    const std::size_t applicable = ApplicableChangeCount(changes);
    const std::size_t oneSide = changes.size() - applicable;
    std::string s = std::to_string(applicable) + (applicable == 1 ? " change" : " changes");
    if (oneSide > 0)
        s += ", " + std::to_string(oneSide) + (oneSide == 1 ? " object" : " objects") + " on one side only";
    return s;
}

void WriteChangesText(std::ostream& out, const std::vector<Change>& changes,
                      const std::vector<std::string>& notes) {
    for (const std::string& n : notes)
        out << "[note] " << visible(n) << '\n';
    for (const Change& c : changes)
        out << ChangeLine(c) << '\n';
    out << ChangesSummary(changes) << '\n';
}

void WriteChangesCsv(std::ostream& out, const std::vector<Change>& changes) {
    out << "kind,container,object,account,accountKind,group,pid,before,after,rightsAdded,rightsRemoved\r\n";
    for (const Change& c : changes)
        out << ChangeKindName(c.kind) << ',' << CsvField(c.container) << ',' << CsvField(c.object) << ','
            << CsvField(c.account) << ',' << (c.accountKind ? std::string(1, c.accountKind) : std::string())
            << ',' << CsvField(c.group) << ',' << CsvField(c.pid) << ',' << CsvField(c.before) << ','
            << CsvField(c.after) << ',' << CsvField(c.rightsAdded) << ',' << CsvField(c.rightsRemoved)
            << "\r\n";
}

void WriteChangesJson(std::ostream& out, const std::vector<Change>& changes) {
    out << '[';
    bool first = true;
    for (const Change& c : changes) {
        std::string o = "{\"kind\": " + jsonString(ChangeKindName(c.kind));
        auto key = [&](const char* name, const std::string& value) {
            o += std::string(", \"") + name + "\": " + jsonString(value);
        };
        auto account = [&] {
            key("account", c.account);
            key("accountKind", std::string(1, c.accountKind ? c.accountKind : 'U'));
        };
        auto object = [&] {
            key("container", c.container);
            key("object", c.object);
        };
        switch (c.kind) {
        case ChangeKind::AccountCreated:
            account();
            if (!c.pid.empty()) key("pid", c.pid);
            break;
        case ChangeKind::MembershipAdded:
        case ChangeKind::MembershipRemoved:
            key("account", c.account);
            key("group", c.group);
            break;
        case ChangeKind::Owner:
            object();
            key("before", c.before);
            key("after", c.after);
            break;
        case ChangeKind::Inherit:
            object();
            account();
            o += ", \"before\": " + c.before + ", \"after\": " + c.after;
            break;
        case ChangeKind::Permissions:
            object();
            account();
            key("before", c.before);
            key("after", c.after);
            break;
        case ChangeKind::AccountDeleted:
            account();
            break;
        case ChangeKind::ObjectOnlyHere:
        case ChangeKind::ObjectOnlyThere:
            object();
            break;
        }
        out << (first ? "\n  " : ",\n  ") << o << '}';
        first = false;
    }
    out << (changes.empty() ? "]\n" : "\n]\n");
}

} // namespace plan
