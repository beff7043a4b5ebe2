#pragma once
// Security findings: what in a database's catalogue is open to people who should not have it, and what
// to change. They follow from how Jet security works: the Users group and the admin user have the same
// SID in every workgroup file, so their rights and ownerships are open to anyone with any workgroup;
// the Admins group of Access's default workgroup is the same in every installation; entries of deleted
// accounts come back when an account is re-created with the same name and PID.
//
// The findings are worked out from the rows of one catalogue walk (TPermRowWriter) and the engine's
// audit facts; nothing here reads the engine.
#include "dao/AuditFacts.h"
#include "security/CatalogueReader.h"

#include <string>
#include <vector>

enum class TSeverity { High, Medium, Low };

// The mechanical fix of a finding ("Apply Suggested Fix", keyloupe-jet fix): none, the finding's
// account's explicit rights removed from its targets, or its targets given to an account the user picks.
enum class TFixKind { None, RemoveRights, GiveOwnership };
struct TFixTarget {
    std::string Container;
    std::string Object;        // document name, or "<container>" on a container's own row
    bool ContainerRow = false; // the container's own row (never guessed from the name)
};
const char* SeverityText(TSeverity s); // "high", "medium", "low"

struct TFinding {
    TSeverity Severity = TSeverity::Low;
    std::string What;   // what was found
    std::string Where;  // "Tables \ Orders", "Tables (container)", "workgroup file"
    std::string Why;    // why it matters, one sentence
    std::string Action; // what to do, in Keyloupe's terms
    // The permissions row to show for it; Container empty when the finding is about no one row.
    std::string Container;
    std::string Object; // document name or "<container>"
    std::string Account;
    TFixKind Fix = TFixKind::None;
    std::vector<TFixTarget> Targets; // every object the finding names, for its fix
};

// What the engine reports beside the walk, each part with whether it could be read.
struct TAuditInputs {
    bool FactsRead = false;
    std::string FactsProblem; // why not, when not read
    dao::CatalogueFacts Facts;
    bool PasswordsChecked = false;
    std::string PasswordsProblem;
    std::vector<std::string> EmptyPasswordUsers;
    std::vector<std::string> AdminsMembers; // users in Admins
    bool OwnWorkgroup = false;              // the engine's own workgroup file, not a genuine one
    bool Genuine = false; // genuine Jet files, where nothing can be changed (a sandbox is not genuine)
};

struct TFindingsResult {
    std::vector<TFinding> Findings; // high first, then medium, then low; each in reading order
    std::vector<std::string> Notes; // what could not be checked, and why
};

// Asks the engine for the audit facts, the members of Admins and the users without a password. What
// cannot be read (a login without RetrieveData on MSysACEs, a user outside Admins, a genuine
// workgroup file's passwords) is recorded as a problem, not raised.
TAuditInputs ReadAuditInputs(const dao::WorkspacePtr& Workspace, const dao::DatabasePtr& Database);

// Collects what the findings need from the rows of a walk: the Users group's and admin's rows only.
class TFindingsCollector : public TPermRowWriter {
public:
    void WriteRow(std::int32_t RowIndex, const TPermRow& Row) override;
    TFindingsResult Finish(const TAuditInputs& Inputs) const;

private:
    struct Kept {
        std::string Container, Object;
        bool Users = false; // the Users group's row, else admin's
        std::int32_t Explicit = 0;
        bool Owner = false;
        std::string Rights;  // names of the rights held explicitly
        bool Writes = false; // any of them changes data, design, security or the database
        bool ContainerRow = false;
    };
    std::vector<Kept> m_kept;
};

// The names, separated by ", ", of the rights a row holds explicitly (in full or in part); writes is
// set when one of them lets its holder change data, design or security.
std::string ExplicitRightNames(const TPermRow& Row, bool* writes = nullptr);
