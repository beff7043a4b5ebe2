#include "plan/ChangeScript.h"

#include "plan/ChangeWriters.h"

#include "security/SafeText.h"

#include <QDateTime>
#include <QFileInfo>
#include <QSaveFile>
#include <QString>

#include <cctype>
#include <map>
#include <stdexcept>

namespace plan {
// The fixed logic, ChangeScriptLogic.js, embedded at build time (ChangeScriptLogic.cpp.in).
extern const char* const kChangeScriptLogic;

namespace {

// DAO reaches accounts by name only: an entry of a SID no account holds, or an owner no account is,
// cannot be set through it; an account is made with the same SID only from its name and PID; objects
// are not made or removed by a security script.
bool isCarried(const Change& c) {
    if (c.sidShown) return false; // two accounts of one name: DAO, which names them, cannot tell them apart
    switch (c.kind) {
    case ChangeKind::ObjectOnlyHere:
    case ChangeKind::ObjectOnlyThere:
        return false;
    case ChangeKind::Owner:
        return c.after != "<Unknown>";
    case ChangeKind::AccountCreated:
        return !c.account.empty() && !c.pid.empty();
    default:
        return !c.account.empty();
    }
}

std::string hex4(unsigned code) {
    static const char digits[] = "0123456789ABCDEF";
    std::string s = "\\u";
    for (int shift = 12; shift >= 0; shift -= 4)
        s += digits[(code >> shift) & 0xF];
    return s;
}

// The last path element, whichever separator the path uses.
std::string fileName(const std::string& path) {
    const auto cut = path.find_last_of("/\\");
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

// A text inside a "//" comment: the same escapes as in a string literal, so a line break or a non-ASCII
// letter in a path can neither end the comment nor leave the file's ASCII.
std::string commentText(std::string_view text) {
    return JScriptString(text);
}

// The script's file name in its usage line: as it is when that is plain, else quoted and escaped.
std::string usageName(const std::string& name) {
    if (name.empty()) return "THIS.js";
    for (char c : name)
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '.' && c != '-' && c != '_')
            return commentText(name);
    return name;
}

void field(std::string& out, const char* name, std::string_view value, bool first = false) {
    if (!first) out += ", ";
    out += name;
    out += ": ";
    out += JScriptString(value);
}

std::string changeLiteral(const Change& c) {
    std::string out = "{";
    field(out, "kind", ChangeKindName(c.kind), true);
    field(out, "container", c.container);
    field(out, "object", c.object);
    field(out, "account", c.account);
    field(out, "accountKind", c.accountKind ? std::string(1, c.accountKind) : std::string());
    field(out, "group", c.group);
    field(out, "pid", c.pid);
    field(out, "before", c.before);
    field(out, "after", c.after);
    field(out, "words", ChangeLine(c));
    return out + "}";
}

// "2 accounts created, 1 membership added, ...": what the script changes, for its header.
std::string countsInWords(const std::vector<Change>& changes) {
    struct Words {
        ChangeKind kind;
        const char* one;
        const char* many;
        const char* done;
    };
    const Words words[] = {
        {ChangeKind::AccountCreated, "account", "accounts", "created"},
        {ChangeKind::MembershipAdded, "membership", "memberships", "added"},
        {ChangeKind::Owner, "owner", "owners", "changed"},
        {ChangeKind::Inherit, "inherit setting", "inherit settings", "changed"},
        {ChangeKind::Permissions, "permission value", "permission values", "set"},
        {ChangeKind::MembershipRemoved, "membership", "memberships", "removed"},
        {ChangeKind::AccountDeleted, "account", "accounts", "deleted"},
    };
    std::map<ChangeKind, int> count;
    for (const Change& c : changes)
        ++count[c.kind];
    std::string out;
    for (const Words& w : words) {
        const int n = count[w.kind];
        if (!n) continue;
        if (!out.empty()) out += ", ";
        out += std::to_string(n) + " " + (n == 1 ? w.one : w.many) + " " + w.done;
    }
    return out;
}

void originLine(std::string& out, const char* what, const OriginFile& f) {
    out += "//   " + std::string(what) + commentText(f.path) + "\n";
    out += "//     " + std::to_string(f.size) + " bytes, sha256 " + commentText(f.sha256) + ", modified " +
           commentText(f.modified) + "\n";
}

} // namespace

std::vector<Change> ApplicableChanges(const std::vector<Change>& changes) {
    std::vector<Change> carried;
    for (const Change& c : changes)
        if (isCarried(c)) carried.push_back(c);
    return carried;
}

std::string JScriptString(std::string_view text) {
    const QString wide = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    std::string out = "\"";
    for (QChar ch : wide) {
        const unsigned u = ch.unicode();
        if (u == '"' || u == '\\') {
            out += '\\';
            out += static_cast<char>(u);
        } else if (u >= 0x20 && u < 0x7F) {
            out += static_cast<char>(u);
        } else {
            out += hex4(u); // line breaks, control characters, and every letter beyond ASCII
        }
    }
    return out + "\"";
}

std::string WriteChangeScript(const std::vector<Change>& all, const OriginRecord& origin,
                              const ScriptStamp& stamp) {
    const std::vector<Change> changes = ApplicableChanges(all);
    if (changes.empty()) throw std::runtime_error("There are no changes to carry: no script is written.");
    const std::string mdbName = fileName(origin.database.path);
    const std::string mdwName = fileName(origin.workgroup.path);

    std::string out;
    out += "// Keyloupe change script: applies planned security changes to a Jet database and its\n"
           "// workgroup information file through DAO, checking every value before it changes it.\n"
           "//\n"
           "// How to run it (in a command prompt, never by double-click; on 64-bit Windows use\n"
           "// %SystemRoot%\\SysWOW64\\cscript.exe, since DAO is a 32-bit component):\n"
           "//   cscript //nologo " +
           usageName(stamp.fileName) +
           " [/mdb:PATH] [/mdw:PATH] [/user:NAME] [/apply] [/force]\n"
           "// Without /apply it is a dry run: the database is opened read-only and each change is\n"
           "// reported as WOULD (to be made), ALREADY (done) or CONFLICT (someone changed the value since\n"
           "// the audit); exit status 0, or 2 when something conflicts. With /apply the database is opened\n"
           "// exclusively and each change reports OK, ALREADY, CONFLICT (skipped; /force applies it) or\n"
           "// FAILED n: text; exit status 0, 2 when some conflicted, 1 when any failed. The last line sums "
           "up.\n"
           "// /mdb and /mdw default to " +
           commentText(mdbName) + " and " + commentText(mdwName) +
           " in this script's folder, /user\n"
           "// to " +
           commentText(stamp.user) +
           ". The password is read as one line from standard input (prompts go to\n"
           "// standard error), then, with /apply, one line per new user (an empty line: no password).\n"
           "// Passwords are never written into this file and never taken as arguments.\n"
           "//\n"
           "// What it changes (" +
           std::to_string(changes.size()) + " changes, in this order): " + countsInWords(changes) + ".\n";
    if (changes.size() != all.size()) {
        out += "// Not carried, since DAO cannot make them: objects on one side only, entries of SIDs and\n"
               "// owners that no account is, accounts whose PID is unknown (create those on Windows first)\n"
               "// and accounts whose name another SID holds:\n";
        for (const Change& c : all)
            if (!isCarried(c)) out += "//   " + commentText(ChangeLine(c)) + "\n";
    }
    out += "// Planned against (as audited):\n";
    originLine(out, "database        ", origin.database);
    originLine(out, "workgroup file  ", origin.workgroup);
    out += "//   Jet format " + commentText(origin.jetFormat) + ", read as " + commentText(origin.user);
    if (!origin.importedAt.empty())
        out += ", imported into a sandbox " + commentText(origin.importedAt) + " with Keyloupe " +
               commentText(origin.keyloupeVersion);
    out += "\n";
    out += "// Made " + commentText(stamp.madeAt) + " by " + commentText(stamp.user) + " with Keyloupe " +
           commentText(stamp.keyloupeVersion) + ".\n\n";

    out += "var PLAN = {\n";
    out += "    jetFormat: " + JScriptString(origin.jetFormat) + ",\n";
    out += "    mdbName: " + JScriptString(mdbName) + ",\n";
    out += "    mdwName: " + JScriptString(mdwName) + ",\n";
    out += "    user: " + JScriptString(stamp.user) + ",\n";
    out += "    changes: [\n";
    for (std::size_t i = 0; i < changes.size(); ++i)
        out += "        " + changeLiteral(changes[i]) + (i + 1 < changes.size() ? ",\n" : "\n");
    out += "    ]\n};\n\n";
    out += kChangeScriptLogic;
    return out;
}

bool IsChangeScriptName(const std::string& file) {
    const QString name = QFileInfo(QString::fromStdString(file)).fileName();
    return name.size() > 3 && name.endsWith(QStringLiteral(".js"), Qt::CaseInsensitive);
}

ScriptFileResult WriteChangeScriptFile(const std::vector<Change>& changes, const OriginRecord& origin,
                                       const std::string& user, const std::string& file) {
    if (!IsChangeScriptName(file))
        throw std::runtime_error("'" + VisibleText(file) +
                                 "' does not end in .js: a change script is run by cscript as JScript, "
                                 "which it takes from the name's ending.");
    ScriptFileResult result;
    result.carried = ApplicableChanges(changes).size();
    result.notCarried = changes.size() - result.carried;
    if (result.carried == 0) {
        result.message = "No changes to carry out: no script written.";
        return result;
    }
    const QString path = QString::fromStdString(file);
    const ScriptStamp stamp{QDateTime::currentDateTimeUtc().toString(Qt::ISODate).toStdString(), user,
                            KEYLOUPE_VERSION, QFileInfo(path).fileName().toStdString()};
    const std::string text = WriteChangeScript(changes, origin, stamp);
    QSaveFile out(path);
    if (!out.open(QIODevice::WriteOnly) ||
        out.write(text.data(), static_cast<qint64>(text.size())) != static_cast<qint64>(text.size()) ||
        !out.commit())
        throw std::runtime_error("Cannot write '" + VisibleText(file) +
                                 "': " + out.errorString().toStdString());
    result.written = true;
    result.message = "Wrote " + VisibleText(file) + ": " + std::to_string(result.carried) +
                     (result.carried == 1 ? " change" : " changes");
    if (result.notCarried > 0)
        result.message += "; " + std::to_string(result.notCarried) + " not carried (named in its header)";
    return result;
}

} // namespace plan
