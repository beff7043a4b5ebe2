// Workgroup, database and account commands.
#include "keyloupe-jet/CommandTable.h"
#include "keyloupe-jet/Commands.h"
#include "keyloupe-jet/Options.h"
#include "keyloupe-jet/Session.h"

#include "security/SafeText.h"

namespace jettool {

using com::Variant;

void cmdCreateWorkgroup(const Invocation& inv, std::ostream&) {
    dao::CreateWorkgroupFile(inv.arg(0), inv.option("name", "Keyloupe"), inv.option("org", ""),
                             inv.option("wid", ""));
}

void cmdCreateDatabase(const Invocation& inv, std::ostream&) {
    // DAO 3.5 makes Jet 3 databases by default, DAO 3.6 Jet 4 ones.
    const std::string format = inv.option("format", inv.global.daoVersion == "3.5" ? "3.0" : "4.0");
    if (format != "3.0" && format != "4.0")
        throw UsageError("--format must be 3.0 or 4.0, not \"" + format + "\"");
    Session session(inv.global);
    session.workspace().CreateDatabase(inv.arg(0), format);
}

void cmdAddUser(const Invocation& inv, std::ostream&) {
    Session session(inv.global);
    dao::Workspace& ws = session.workspace();
    Variant password = inv.newPassword ? Variant(*inv.newPassword)
                       : inv.hasArg(2) ? Variant(inv.arg(2))
                                       : Variant();
    ws.Users()->Append(ws.CreateUser(Variant(inv.arg(0)), Variant(inv.arg(1)), password));
}

void cmdAddGroup(const Invocation& inv, std::ostream&) {
    Session session(inv.global);
    dao::Workspace& ws = session.workspace();
    ws.Groups()->Append(ws.CreateGroup(Variant(inv.arg(0)), Variant(inv.arg(1))));
}

void cmdDeleteUser(const Invocation& inv, std::ostream&) {
    Session session(inv.global);
    session.workspace().Users()->Delete(inv.arg(0));
}

void cmdDeleteGroup(const Invocation& inv, std::ostream&) {
    Session session(inv.global);
    session.workspace().Groups()->Delete(inv.arg(0));
}

void cmdAddMember(const Invocation& inv, std::ostream&) {
    Session session(inv.global);
    dao::GroupPtr group = session.workspace().Groups()->Item(Variant(inv.arg(1)));
    group->Users()->Append(group->CreateUser(Variant(inv.arg(0)), Variant(), Variant()));
}

void cmdRemoveMember(const Invocation& inv, std::ostream&) {
    Session session(inv.global);
    session.workspace().Groups()->Item(Variant(inv.arg(1)))->Users()->Delete(inv.arg(0));
}

void cmdSetPassword(const Invocation& inv, std::ostream&) {
    Session session(inv.global);
    session.workspace()
        .Users()
        ->Item(Variant(inv.global.user))
        ->NewPassword(inv.global.password, inv.newPassword ? *inv.newPassword : inv.arg(0));
}

void cmdClearPassword(const Invocation& inv, std::ostream&) {
    Session session(inv.global);
    // Members of Admins set another user's password without the old one.
    session.workspace().Users()->Item(Variant(inv.arg(0)))->NewPassword("", "");
}

void cmdAccounts(const Invocation& inv, std::ostream& out) {
    Session session(inv.global);
    dao::Workspace& ws = session.workspace();
    dao::UsersPtr users = ws.Users();
    const int userCount = users->Count();
    for (int i = 0; i < userCount; ++i) {
        dao::UserPtr user = users->Item(Variant(std::int32_t{i}));
        out << "U\t" << TextField(user->Name());
        dao::GroupsPtr groups = user->Groups();
        const int groupCount = groups->Count();
        for (int j = 0; j < groupCount; ++j)
            out << '\t' << TextField(groups->Item(Variant(std::int32_t{j}))->Name());
        out << '\n';
    }
    dao::GroupsPtr groups = ws.Groups();
    const int groupCount = groups->Count();
    for (int i = 0; i < groupCount; ++i)
        out << "G\t" << TextField(groups->Item(Variant(std::int32_t{i}))->Name()) << '\n';
}

} // namespace jettool
