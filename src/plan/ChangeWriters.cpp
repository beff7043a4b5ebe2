#include "plan/ChangeWriters.h"

#include "plan/CompareCatalogues.h"
#include "security/SafeText.h"

namespace plan {
namespace {

// A name in a line: control and invisible characters as C escapes and a backslash doubled (TextField), so
// that every change stays one line and " \\ " between container and object stays unambiguous.
std::string visible(const std::string& text) {
    return TextField(text);
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
    return JsonString(text);
}

// A CSV field: one record one line (TextField), and never a formula (CsvCell).
std::string csv(const std::string& text) {
    return CsvCell(TextField(text));
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
        out << "[note] " << VisibleText(StripIsolates(n)) << '\n';
    for (const Change& c : changes)
        out << ChangeLine(c) << '\n';
    out << ChangesSummary(changes) << '\n';
}

void WriteChangesCsv(std::ostream& out, const std::vector<Change>& changes) {
    out << "kind,container,object,account,accountKind,group,pid,before,after,rightsAdded,rightsRemoved\r\n";
    for (const Change& c : changes)
        out << ChangeKindName(c.kind) << ',' << csv(c.container) << ',' << csv(c.object) << ','
            << csv(c.account) << ',' << (c.accountKind ? std::string(1, c.accountKind) : std::string()) << ','
            << csv(c.group) << ',' << csv(c.pid) << ',' << csv(c.before) << ',' << csv(c.after) << ','
            << csv(c.rightsAdded) << ',' << csv(c.rightsRemoved) << "\r\n";
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
