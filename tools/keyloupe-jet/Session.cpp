#include "keyloupe-jet/Session.h"

#include "dao/AuditFacts.h"
#include "jet/DaoDS.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <limits>

namespace jettool {

Session::Session(const std::string& daoVersion, const std::string& workgroup, const std::string& user,
                 const std::string& password)
    : engine_(CreateDAOEngine(daoVersion == "3.5" ? dvDAO35 : dvDAO36, false)) {
    engine_->SetSystemDB(workgroup);
    workspace_ = engine_->CreateWorkspace("", user, password, com::Variant(std::int32_t{dao::dbUseJet}));
    noteUnread(dao::UnreadWorkgroupParts(workspace_));
}

namespace {
const std::string& requireWorkgroup(const GlobalOptions& options) {
    if (!options.workgroup) throw UsageError("--workgroup FILE is needed to log in");
    return *options.workgroup;
}
} // namespace

Session::Session(const GlobalOptions& options)
    : Session(options.daoVersion, requireWorkgroup(options), options.user, options.password) {}

dao::DatabasePtr Session::openDatabase(const std::string& path, bool readOnly) {
    dao::DatabasePtr db =
        workspace_->OpenDatabase(path, com::Variant(false), com::Variant(readOnly), com::Variant());
    if (db->AuditOnly()) noteUnread(dao::ReadCatalogueFacts(db).unread);
    return db;
}

void noteUnread(const std::vector<std::string>& parts) {
    for (const std::string& part : parts) // the workgroup's parts come again with each database
        if (std::find(unreadParts().begin(), unreadParts().end(), part) == unreadParts().end())
            unreadParts().push_back(part);
}

std::vector<std::string>& unreadParts() {
    static std::vector<std::string> parts;
    return parts;
}

std::shared_ptr<dao::SecuredObject> findObject(dao::Database& db, const std::string& container,
                                               const std::string& object) {
    return FindSecuredObject(db.Containers(), container, object, RowKindOfObjectName(object));
}

std::int32_t parsePermHex(const std::string& text) {
    std::string_view digits = text;
    for (std::string_view prefix : {"0x", "0X", "&H", "&h", "$"}) {
        if (digits.substr(0, prefix.size()) == prefix) {
            digits.remove_prefix(prefix.size());
            break;
        }
    }
    if (digits.empty() || digits.size() > 8)
        throw UsageError("not a hexadecimal permission value (1 to 8 digits): \"" + text + "\"");
    std::uint32_t value = 0;
    for (char ch : digits) {
        if (!std::isxdigit(static_cast<unsigned char>(ch)))
            throw UsageError("not a hexadecimal permission value (1 to 8 digits): \"" + text + "\"");
        int digit = std::isdigit(static_cast<unsigned char>(ch))
                        ? ch - '0'
                        : std::toupper(static_cast<unsigned char>(ch)) - 'A' + 10;
        value = value * 16 + static_cast<std::uint32_t>(digit);
    }
    return static_cast<std::int32_t>(value);
}

bool parseBool(const std::string& text) {
    std::string lower;
    for (char ch : text)
        lower += static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    if (lower == "true") return true;
    if (lower == "false") return false;
    throw UsageError("expected true or false, not \"" + text + "\"");
}

int parseCount(const std::string& optionName, const std::string& text, int maximum) {
    long long value = 0;
    bool ok = !text.empty() && text.size() <= 10;
    for (char ch : text) {
        if (!std::isdigit(static_cast<unsigned char>(ch))) {
            ok = false;
            break;
        }
        value = value * 10 + (ch - '0');
    }
    if (!ok || value > maximum)
        throw UsageError("--" + optionName + " needs a whole number from 0 to " + std::to_string(maximum) +
                         ", not \"" + text + "\"");
    return static_cast<int>(value);
}

} // namespace jettool
