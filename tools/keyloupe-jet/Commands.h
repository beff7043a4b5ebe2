#pragma once
// The command handlers. Each receives a validated invocation (argument count, options and --workgroup
// checked against its row of the command table) and throws on failure.
#include <ostream>

namespace dao {
class Workspace;
class Database;
} // namespace dao

namespace jettool {

struct Invocation;

// Workgroup and accounts (AccountCommands.cpp).
void cmdCreateWorkgroup(const Invocation& inv, std::ostream& out);
void cmdCreateDatabase(const Invocation& inv, std::ostream& out);
void cmdAddUser(const Invocation& inv, std::ostream& out);
void cmdAddGroup(const Invocation& inv, std::ostream& out);
void cmdDeleteUser(const Invocation& inv, std::ostream& out);
void cmdDeleteGroup(const Invocation& inv, std::ostream& out);
void cmdAddMember(const Invocation& inv, std::ostream& out);
void cmdRemoveMember(const Invocation& inv, std::ostream& out);
void cmdSetPassword(const Invocation& inv, std::ostream& out);
void cmdClearPassword(const Invocation& inv, std::ostream& out);
void cmdAccounts(const Invocation& inv, std::ostream& out);

// Objects and their security (ObjectCommands.cpp).
void cmdAddObject(const Invocation& inv, std::ostream& out);
void cmdSetPermissions(const Invocation& inv, std::ostream& out);
void cmdSetOwner(const Invocation& inv, std::ostream& out);
void cmdSetInherit(const Invocation& inv, std::ostream& out);

// The catalogue listing (Dump.cpp).
void cmdDump(const Invocation& inv, std::ostream& out);

// Writes one TAB-separated line per (object, account): containers in collection order, each with its
// own rows and then its documents' rows; for every object the users, then the groups. Fields:
// container, object or "<container>", U/G, account, explicit and effective permissions in hexadecimal,
// inherit T/F (containers) or "-", "O" when the account owns the object or "-". A value that cannot be
// read is written as "?".
void writeDump(dao::Workspace& workspace, dao::Database& db, std::ostream& out);

// The permissions grid as text or CSV, or the audit report as HTML (Report.cpp).
void cmdReport(const Invocation& inv, std::ostream& out);
// The security findings as text or CSV; returns 0 when there are none, else FindingsExitStatus.
int cmdFindings(const Invocation& inv, std::ostream& out);

// A sandbox copy of a genuine pair (SandboxCommand.cpp).
void cmdSandbox(const Invocation& inv, std::ostream& out);

// The changes between two catalogues as text, CSV or JSON; returns 0 when there are none, else
// ChangesExitStatus. The findings' mechanical fixes applied on a sandbox (Changes.cpp).
int cmdChanges(const Invocation& inv, std::ostream& out);
void cmdFix(const Invocation& inv, std::ostream& out);
// The changes against a sandbox's origin (or --from-workgroup/--from) as a change script
// (ChangeScriptCommand.cpp).
void cmdChangeScript(const Invocation& inv, std::ostream& out);

// Demo files (Demo.cpp).
void cmdDemo(const Invocation& inv, std::ostream& out);

} // namespace jettool
