#include "security/Findings.h"

#include "dao/CatalogueSnapshot.h"
#include "dao/engine/Names.h"
#include "security/SafeText.h"

#include <algorithm>
#include <map>
#include <tuple>

namespace {

constexpr std::size_t kListed = 10;   // objects named in one finding before "and N more"
constexpr std::size_t kGroupFrom = 4; // objects sharing a finding that make one finding for a container

bool isLetterExplicit(char c) {
    return c == 'E' || c == 'e' || c == 'J';
}

// Columns whose right changes data, design, security, ownership or the database as a whole.
bool isWriteColumn(std::string_view caption) {
    static constexpr std::string_view writes[] = {
        "Delete",     "WriteSec",       "WriteOwner",  "WriteDef",    "InsertData",  "ReplaceData",
        "DeleteData", "FrmRptWriteDef", "MacWriteDef", "ModWriteDef", "DBExclusive", "DBAdmin"};
    return std::find(std::begin(writes), std::end(writes), caption) != std::end(writes);
}

// Names in a finding's text are shown visibly and isolated (ShownName): a name that only looks like
// another, or that holds a line break or a bidi control, cannot pass for something else.
std::string whereOf(const std::string& container, const std::string& object) {
    if (container.empty()) return ShownName(object);
    if (object.empty() || object == ContainerObjectName) return ShownName(container) + " (container)";
    return ShownName(container) + " \\ " + ShownName(object);
}

// An account's name in a finding, quoted, and said to be a look-alike when it only looks like a
// built-in account.
std::string accountInText(const std::string& name) {
    const std::string lookAlike = BuiltInLookAlike(name);
    return "'" + ShownName(name) + "'" +
           (lookAlike.empty() ? "" : " (not the built-in " + lookAlike + ": a name that only looks like it)");
}

// The rights a raw value grants on an object, named as the grid's columns.
std::string rightsOfValue(std::int32_t value, const std::string& container, const std::string& object) {
    const bool isContainer = object.empty() || object == ContainerObjectName;
    const TContainerClass cls = ClassOfContainer(container);
    std::string names;
    for (int col = FirstPermColumn; col <= LastPermColumn; ++col) {
        const TSecColInfo& info = SecColInfo[static_cast<std::size_t>(col)];
        if (!ColumnApplies(col, cls, isContainer ? RowLevelContainer : RowLevelDocument,
                           isContainer ? "" : object))
            continue;
        if ((value & info.EnableMask) == info.EnableMask)
            names += (names.empty() ? "" : ", ") + std::string(info.Caption);
    }
    return names.empty() ? PermHex(value) : PermHex(value) + ": " + names;
}

std::string listed(const std::vector<std::string>& items) {
    std::string s;
    for (std::size_t i = 0; i < items.size() && i < kListed; ++i)
        s += (i ? "; " : "") + items[i];
    if (items.size() > kListed) s += "; and " + std::to_string(items.size() - kListed) + " more";
    return s;
}

std::string objects(std::size_t n) {
    return std::to_string(n) + (n == 1 ? " object" : " objects");
}

std::string counted(std::size_t n, const char* one, const char* many) {
    return std::to_string(n) + ' ' + (n == 1 ? one : many);
}

// "01DB8793… (102 bytes, an Admins group of another workgroup)"
std::string sidText(const std::string& hex) {
    const std::string shortSid = ShortSid(hex);
    return shortSid.substr(0, shortSid.size() - 1) + ", " + SidKind(hex) + ")";
}

bool hasUnreadLetter(const TPermRow& row) {
    return std::find(row.Letters.begin(), row.Letters.end(), '?') != row.Letters.end();
}

// Items grouped by a key, groups in the order their first item came.
template <class T> class Grouped {
public:
    void add(const std::string& key, T item) {
        auto [it, fresh] = m_groups.try_emplace(key);
        if (fresh) m_order.push_back(key);
        it->second.push_back(std::move(item));
    }
    // Calls f with each group of at least kGroupFrom items, and with every item of a smaller group on
    // its own: a few objects are named one by one, many in one list.
    template <class F> void each(F&& f) const {
        for (const std::string& k : m_order) {
            const std::vector<T>& group = m_groups.at(k);
            if (group.size() >= kGroupFrom)
                f(group);
            else
                for (const T& item : group)
                    f(std::vector<T>{item});
        }
    }

private:
    std::vector<std::string> m_order;
    std::map<std::string, std::vector<T>> m_groups;
};

// The objects of kept rows, as a fix acts on them.
template <class K> std::vector<TFixTarget> targetsOf(const std::vector<const K*>& kept) {
    std::vector<TFixTarget> targets;
    for (const K* k : kept)
        targets.push_back({k->Container, k->Object, k->ContainerRow});
    return targets;
}

// On genuine files every command that writes is disabled: the change is planned in a sandbox, where
// the command the action names works.
std::string inSandbox(const std::string& action) {
    std::string rest = action;
    if (!rest.empty() && rest[0] >= 'A' && rest[0] <= 'Z') rest[0] = static_cast<char>(rest[0] - 'A' + 'a');
    return "Plan the change in a sandbox (File > \"Plan Changes in a Sandbox...\"), where every command "
           "works: " +
           rest;
}

} // namespace

const char* SeverityText(TSeverity s) {
    switch (s) {
    case TSeverity::High:
        return "high";
    case TSeverity::Medium:
        return "medium";
    default:
        return "low";
    }
}

std::string ShortSid(const std::string& SidHex) {
    const std::size_t bytes = SidHex.size() / 2;
    if (SidHex.size() <= 8) return SidHex + " (" + counted(bytes, "byte", "bytes") + ")";
    return SidHex.substr(0, 8) + "\u2026 (" + counted(bytes, "byte", "bytes") + ")";
}

std::string SidKind(const std::string& SidHex) {
    if (dao::engine::equalNoCase(SidHex, dao::kAccessDefaultAdminsSid))
        return "the Admins group of Access's default workgroup";
    if (SidHex.size() == std::char_traits<char>::length(dao::kAccessDefaultAdminsSid))
        return "an Admins group of another workgroup";
    return "an account of another workgroup, or a deleted one";
}

std::size_t TFindingsResult::Count(TSeverity Severity) const {
    return static_cast<std::size_t>(std::count_if(Findings.begin(), Findings.end(),
                                                  [&](const TFinding& f) { return f.Severity == Severity; }));
}

std::string ExplicitRightNames(const TPermRow& Row, bool* writes) {
    std::string names;
    if (writes) *writes = false;
    for (int col = FirstPermColumn; col <= LastPermColumn; ++col) {
        if (!isLetterExplicit(Row.Letters[static_cast<std::size_t>(col - FirstPermColumn)])) continue;
        const std::string_view caption = SecColInfo[static_cast<std::size_t>(col)].Caption;
        names += (names.empty() ? "" : ", ") + std::string(caption);
        if (writes && isWriteColumn(caption)) *writes = true;
    }
    return names;
}

void TFindingsCollector::WriteRow(std::int32_t, const TPermRow& Row) {
    const bool users = Row.Kind == 'G' && Row.UGName == "Users";
    const bool admin = Row.Kind == 'U' && dao::engine::equalNoCase(Row.UGName, "admin");
    // A row the login could not read has no values and "?" for each right that applies.
    if (Row.Explicit == 0 && Row.Effective == 0 && hasUnreadLetter(Row)) {
        ++m_unread;
        if (users) ++m_unreadUsers;
        if (admin)
            ++(Row.Container == "Databases" && Row.ObjectName == "MSysDb" ? m_unreadAdminDb : m_unreadAdmin);
        return;
    }
    if (!(users && Row.Explicit != 0) && !(admin && (Row.Explicit != 0 || Row.Owner == 'O'))) return;
    Kept k{Row.Container, Row.ObjectName, users, Row.Explicit, Row.Owner == 'O', {}, false};
    k.Rights = ExplicitRightNames(Row, &k.Writes);
    k.ContainerRow = Row.Inherit != '-';
    if (k.Rights.empty() && k.Explicit != 0) k.Rights = PermHex(k.Explicit);
    m_kept.push_back(std::move(k));
}

TFindingsResult TFindingsCollector::Finish(const TAuditInputs& In) const {
    TFindingsResult r;
    r.Unread = In.Facts.unread;
    auto add = [&](TSeverity sev, std::string what, std::string where, std::string why, std::string action,
                   std::string container = {}, std::string object = {}, std::string account = {}) {
        r.Findings.push_back({sev,
                              std::move(what),
                              std::move(where),
                              std::move(why),
                              std::move(action),
                              std::move(container),
                              std::move(object),
                              std::move(account),
                              TFixKind::None,
                              {},
                              {}});
    };

    // What makes the verdict "Not secured", counted where the findings are made.
    std::size_t usersWriteObjects = 0, defaultAdminsObjects = 0;
    bool adminOwnsDatabase = false;

    // The Users group: one finding per object it holds rights on, or one per container for the objects
    // that hold the same rights. Read rights on the system tables are what Jet itself needs.
    Grouped<const Kept*> usersRights;
    for (const Kept& k : m_kept) {
        if (!k.Users || (!k.Writes && k.Object.rfind("MSys", 0) == 0)) continue;
        usersRights.add(k.Container + '\n' + (k.Object == ContainerObjectName ? "" : k.Rights), &k);
    }
    usersRights.each([&](const std::vector<const Kept*>& group) {
        const Kept& k = *group.front();
        if (k.Writes) usersWriteObjects += group.size();
        std::vector<std::string> names;
        for (const Kept* g : group)
            names.push_back(whereOf(g->Container, g->Object));
        add(k.Writes ? TSeverity::High : TSeverity::Medium,
            group.size() == 1 ? "The Users group holds " + k.Rights + "."
                              : "The Users group holds " + k.Rights + " on " + objects(group.size()) + ": " +
                                    listed(names) + ".",
            group.size() == 1 ? whereOf(k.Container, k.Object) : ShownName(k.Container),
            "Users has the same SID in every workgroup file, so anyone who opens the database with any "
            "workgroup, Access's default one included, holds these rights.",
            std::string(group.size() == 1
                            ? "On the Permissions tab, right-click the Users row of this object"
                            : "On the Permissions tab, right-click the Users row of each of these objects") +
                " and choose \"Remove All Permissions\"; give what your users need to a group of your own "
                "workgroup instead.",
            k.Container, k.Object, "Users");
        r.Findings.back().Fix = TFixKind::RemoveRights;
        r.Findings.back().Targets = targetsOf(group);
    });

    // admin: the database's owner, other ownerships and explicit rights, by container.
    std::map<std::string, std::vector<const Kept*>> owned, held;
    std::vector<std::string> order;
    for (const Kept& k : m_kept) {
        if (k.Users) continue;
        if (k.Owner && k.Container == "Databases" && k.Object == "MSysDb") {
            adminOwnsDatabase = true;
            add(TSeverity::High, "The database (MSysDb) is owned by admin.", whereOf(k.Container, k.Object),
                "admin has the same SID in every workgroup file, so anyone with Access's default workgroup "
                "is "
                "admin, and the owner of the database can do anything to it, whatever its permissions say.",
                "Log in as an administrator account of your own workgroup and choose \"Set New Owner\" on "
                "that account's MSysDb row on the Permissions tab.",
                k.Container, k.Object, "admin");
            r.Findings.back().Fix = TFixKind::GiveOwnership;
            r.Findings.back().Targets = targetsOf(std::vector<const Kept*>{&k});
        } else if (k.Owner) {
            if (!owned.count(k.Container) && !held.count(k.Container)) order.push_back(k.Container);
            owned[k.Container].push_back(&k);
        }
        if (k.Explicit != 0) {
            if (!owned.count(k.Container) && !held.count(k.Container)) order.push_back(k.Container);
            held[k.Container].push_back(&k);
        }
    }
    for (const std::string& c : order) {
        if (const auto it = owned.find(c); it != owned.end()) {
            std::vector<std::string> names;
            for (const Kept* k : it->second)
                names.push_back(whereOf(k->Container, k->Object));
            add(TSeverity::Medium, "admin owns " + objects(names.size()) + ": " + listed(names) + ".",
                ShownName(c),
                "admin has the same SID in every workgroup file, and an owner may always change an object's "
                "permissions: anyone with Access's default workgroup can give themselves everything on "
                "these.",
                "On the Permissions tab, choose \"Set New Owner\" on the row of an account of your own "
                "workgroup for each of these objects.",
                c, it->second.front()->Object, "admin");
            r.Findings.back().Fix = TFixKind::GiveOwnership;
            r.Findings.back().Targets = targetsOf(it->second);
        }
        if (const auto it = held.find(c); it != held.end()) {
            std::vector<std::string> names;
            for (const Kept* k : it->second)
                names.push_back(whereOf(k->Container, k->Object) + " (" + k->Rights + ")");
            add(TSeverity::Medium,
                "admin holds rights explicitly on " + objects(names.size()) + ": " + listed(names) + ".",
                ShownName(c),
                "admin has the same SID in every workgroup file, so these rights are open to anyone with "
                "Access's default workgroup.",
                "On the Permissions tab, choose \"Remove All Permissions\" on admin's rows of these objects "
                "and "
                "grant the rights to a group of your own workgroup instead.",
                c, it->second.front()->Object, "admin");
            r.Findings.back().Fix = TFixKind::RemoveRights;
            r.Findings.back().Targets = targetsOf(it->second);
        }
    }

    // Entries of SIDs the workgroup does not know.
    if (In.FactsRead) {
        if (In.Facts.workgroupIsAccessDefault)
            add(TSeverity::High,
                "This workgroup file is Access's default one: its Admins group is the same in "
                "every Access installation.",
                "workgroup file",
                "Whatever this workgroup's Admins group holds, and whatever admin owns, anyone with an "
                "unchanged Access installation holds too.",
                "Create a workgroup file of your own with a secret workgroup ID (keyloupe-jet "
                "create-workgroup "
                "or Access's workgroup administrator) and secure the database with it.");
        // Entries in reading order, whatever order the engine read them in.
        std::vector<dao::SecurityEntry> orphans = In.Facts.orphanEntries, owners = In.Facts.unknownOwners;
        const auto byObject = [](const dao::SecurityEntry& a, const dao::SecurityEntry& b) {
            return std::tie(a.container, a.object, a.sidHex) < std::tie(b.container, b.object, b.sidHex);
        };
        std::sort(orphans.begin(), orphans.end(), byObject);
        std::sort(owners.begin(), owners.end(), byObject);
        std::map<std::string, std::vector<const dao::SecurityEntry*>> defaultAdmins;
        std::vector<std::string> adminOrder;
        for (const auto& e : orphans) {
            // An entry of no rights grants nothing, whoever it names.
            if (e.permissions != 0 && e.accessDefaultAdmins && !In.Facts.workgroupIsAccessDefault) {
                if (!defaultAdmins.count(e.container)) adminOrder.push_back(e.container);
                defaultAdmins[e.container].push_back(&e);
            }
        }
        for (const std::string& c : adminOrder) {
            std::vector<std::string> names;
            for (const auto* e : defaultAdmins[c])
                names.push_back(whereOf(e->container, e->object) + " (" +
                                rightsOfValue(e->permissions, e->container, e->object) + ")");
            const auto* first = defaultAdmins[c].front();
            defaultAdminsObjects += names.size();
            add(TSeverity::High,
                "The Admins group of Access's default workgroup holds rights on " + objects(names.size()) +
                    ": " + listed(names) + ".",
                c.empty() ? "objects outside every container" : ShownName(c),
                "That Admins group has the same SID wherever Access is installed, so anyone with an "
                "unchanged "
                "Access installation holds these rights.",
                "No account of this workgroup holds these entries, so they cannot be changed from here: open "
                "the "
                "database with Access's default workgroup and remove the Admins group's rights, or re-create "
                "the "
                "database as an account of your own workgroup and import its objects.",
                first->container, first->object.empty() ? ContainerObjectName : first->object);
            r.Findings.back().Sid = first->sidHex;
        }
        // Other unknown SIDs: one finding per SID, container and value, and one per SID and container
        // for the objects they own.
        Grouped<const dao::SecurityEntry*> orphanGroups, ownerGroups;
        for (const auto& e : orphans)
            if (e.permissions != 0 && !(e.accessDefaultAdmins && !In.Facts.workgroupIsAccessDefault))
                orphanGroups.add(e.sidHex + '\n' + e.container + '\n' + std::to_string(e.permissions), &e);
        for (const auto& e : owners)
            ownerGroups.add(e.sidHex + '\n' + e.container, &e);
        auto namesOf = [](const std::vector<const dao::SecurityEntry*>& group) {
            std::vector<std::string> names;
            for (const auto* e : group)
                names.push_back(whereOf(e->container, e->object));
            return names;
        };
        orphanGroups.each([&](const std::vector<const dao::SecurityEntry*>& group) {
            const dao::SecurityEntry& e = *group.front();
            const std::string rights = rightsOfValue(e.permissions, e.container, e.object);
            add(TSeverity::Low,
                group.size() == 1
                    ? "An entry of the unknown SID " + sidText(e.sidHex) + " holds " + rights + "."
                    : "Entries of the unknown SID " + sidText(e.sidHex) + " hold " + rights + " on " +
                          objects(group.size()) + ": " + listed(namesOf(group)) + ".",
                group.size() == 1 ? whereOf(e.container, e.object) : ShownName(e.container),
                "The account was deleted or belongs to another workgroup; re-created with the same name and "
                "PID, it has these rights again.",
                "If the account is not to come back, re-create it with its name and PID, choose \"Remove All "
                "Permissions\" on its rows, then delete it again.",
                e.container, e.object.empty() ? ContainerObjectName : e.object);
            r.Findings.back().Sid = e.sidHex;
        });
        ownerGroups.each([&](const std::vector<const dao::SecurityEntry*>& group) {
            const dao::SecurityEntry& e = *group.front();
            add(TSeverity::Low,
                group.size() == 1
                    ? "The owner of this object is no account of this workgroup (SID " + sidText(e.sidHex) +
                          ")."
                    : "The owner of " + objects(group.size()) + " is no account of this workgroup (SID " +
                          sidText(e.sidHex) + "): " + listed(namesOf(group)) + ".",
                group.size() == 1 ? whereOf(e.container, e.object) : ShownName(e.container),
                "An owner may always change an object's permissions, and whoever re-creates that account "
                "with "
                "the same name and PID owns the object again.",
                "Log in as a member of Admins and choose \"Set New Owner\" on the row of an account of your "
                "own.",
                e.container, e.object.empty() ? ContainerObjectName : e.object);
            r.Findings.back().Sid = e.sidHex;
        });
    } else {
        r.Notes.push_back("Orphan permissions and unknown owners were not checked: " + In.FactsProblem);
    }

    // Passwords and Admins (the engine's own workgroup files only).
    if (In.PasswordsChecked) {
        auto inAdmins = [&](const std::string& u) {
            return std::any_of(In.AdminsMembers.begin(), In.AdminsMembers.end(),
                               [&](const std::string& m) { return dao::engine::equalNoCase(m, u); });
        };
        for (const std::string& u : In.EmptyPasswordUsers) {
            if (inAdmins(u))
                add(TSeverity::High, accountInText(u) + " is a member of Admins and has no password.",
                    "workgroup file",
                    "Anyone who uses this workgroup file can log in as " + ShownName(u) +
                        " without a password and administer every database secured with it.",
                    "Log in as " + ShownName(u) +
                        " and set a password (keyloupe-jet set-password), or remove " + ShownName(u) +
                        " from Admins on the Users/Groups tab (\"Remove User from Group\").",
                    {}, {}, u);
            else
                add(TSeverity::Medium, accountInText(u) + " has no password.", "workgroup file",
                    "Anyone who uses this workgroup file can log in as " + ShownName(u) +
                        " without a password and hold its rights.",
                    "Log in as " + ShownName(u) +
                        " and set a password (keyloupe-jet set-password), or delete the user on the "
                        "Users/Groups tab (\"Delete User\").",
                    {}, {}, u);
        }
    } else {
        r.Notes.push_back("Passwords were not checked: " + In.PasswordsProblem);
    }
    // Any login may read who is in Admins, so this needs no password check; genuine workgroup files are
    // left out, as for the passwords.
    if (In.OwnWorkgroup &&
        std::any_of(In.AdminsMembers.begin(), In.AdminsMembers.end(),
                    [](const std::string& m) { return dao::engine::equalNoCase(m, "admin"); }))
        add(TSeverity::Medium, "admin is still a member of Admins.", "workgroup file",
            "admin is the account Access logs in with when it asks nobody, so whoever learns admin's "
            "password "
            "in this workgroup administers every database secured with it.",
            "Make an account of your own a member of Admins, then remove admin from Admins on the "
            "Users/Groups "
            "tab (\"Remove User from Group\").",
            {}, {}, "admin");

    // Members of Admins whose names read like a built-in account's.
    for (const std::string& m : In.AdminsMembers)
        if (const std::string lookAlike = BuiltInLookAlike(m); !lookAlike.empty())
            add(TSeverity::Medium, accountInText(m) + " is a member of Admins.", "workgroup file",
                "Its name reads like the built-in " + lookAlike +
                    ", so whoever reads a list of accounts, or these findings, may take it for " + lookAlike +
                    " and overlook an administrator nobody knows of.",
                "Find out who made it; if nobody needs it, remove it from Admins or delete it on the "
                "Users/Groups tab (\"Delete User\").",
                {}, {}, m);

    if (In.Genuine)
        for (TFinding& f : r.Findings)
            if (f.Fix != TFixKind::None || f.Action.find("\"Set New Owner\"") != std::string::npos)
                f.Action = inSandbox(f.Action);

    std::stable_sort(r.Findings.begin(), r.Findings.end(),
                     [](const TFinding& a, const TFinding& b) { return a.Severity < b.Severity; });

    // Rows the login could not read: the Users group's could hide a high finding (rights that change
    // data), admin's a high one on MSysDb (the database's owner) and a medium one elsewhere; no finding
    // comes from the rows of other accounts.
    r.UnreadRows = m_unread;
    if (m_unread > 0) {
        r.UnreadMayHide = m_unreadUsers + m_unreadAdminDb + m_unreadAdmin > 0;
        r.UnreadWorst = m_unreadUsers + m_unreadAdminDb > 0 ? TSeverity::High : TSeverity::Medium;
        r.UnreadNote = counted(std::size_t(m_unread), "permission row", "permission rows") +
                       " could not be read by this login (\"?\" on the Permissions tab), so findings about " +
                       (m_unread == 1 ? "it were" : "them were") + " not checked. ";
        if (!r.UnreadMayHide)
            r.UnreadNote += "They are rows of accounts no finding is about.";
        else {
            std::string whose;
            if (m_unreadUsers > 0)
                whose = "the Users group's rights on " + objects(std::size_t(m_unreadUsers));
            if (m_unreadAdminDb + m_unreadAdmin > 0)
                whose += (whose.empty() ? "" : " and ") + std::string("admin's rights and ownerships on ") +
                         objects(std::size_t(m_unreadAdminDb + m_unreadAdmin));
            r.UnreadNote += "The worst that could hide there is a " +
                            std::string(SeverityText(r.UnreadWorst)) + " finding (" + whose +
                            "); log in as a member of Admins to check them.";
        }
    }

    const std::size_t high = r.Count(TSeverity::High), medium = r.Count(TSeverity::Medium),
                      low = r.Count(TSeverity::Low);
    std::string reason;
    if (usersWriteObjects > 0)
        reason = "anyone with any workgroup file can open it and change data (the Users group holds rights "
                 "that change data, design or security on " +
                 objects(usersWriteObjects) + ")";
    else if (adminOwnsDatabase)
        reason = "anyone with Access's default workgroup is admin, who owns the database and can do anything "
                 "to it";
    else if (defaultAdminsObjects > 0)
        reason =
            "anyone with an unchanged Access installation holds the rights of the Admins group of Access's "
            "default workgroup on " +
            objects(defaultAdminsObjects);
    else if (In.FactsRead && In.Facts.workgroupIsAccessDefault)
        reason = "this is Access's default workgroup file, the same in every Access installation";
    const std::string tally = counted(high, "high finding", "high findings") + ", " +
                              counted(medium, "medium", "medium") + ", " + counted(low, "low", "low") + ".";
    if (!reason.empty())
        r.Verdict = "Not secured: " + reason + ". " + tally;
    else {
        const bool partial = r.UnreadMayHide || !In.FactsRead || (In.OwnWorkgroup && !In.PasswordsChecked);
        r.Verdict = std::string(partial ? "Secured by this workgroup as far as this login could read; "
                                        : "Secured by this workgroup; ") +
                    (high > 0             ? tally
                     : r.Findings.empty() ? std::string("no findings.")
                                          : "no high findings, " + counted(medium, "medium", "medium") +
                                                " and " + counted(low, "low", "low") + ".");
    }
    return r;
}

TAuditInputs ReadAuditInputs(const dao::WorkspacePtr& Workspace, const dao::DatabasePtr& Database) {
    TAuditInputs in;
    try {
        in.Facts = dao::ReadCatalogueFacts(Database);
        in.FactsRead = true;
    } catch (const dao::DaoError& e) {
        in.FactsProblem = e.description();
    }
    try {
        auto members = Workspace->Groups()->Item(dao::Variant("Admins"))->Users();
        for (std::int16_t i = 0; i < members->Count(); ++i)
            in.AdminsMembers.push_back(members->Item(dao::Variant(std::int32_t(i)))->Name());
    } catch (const dao::DaoError&) {
        // A workgroup without an Admins group has no members of it to report.
    }
    // A sandbox's accounts all have the empty password, which says nothing about its origin's.
    const bool sandbox = !dao::SandboxOrigin(Database).empty();
    in.OwnWorkgroup = !Database->AuditOnly() && !sandbox;
    in.Genuine = Database->AuditOnly();
    if (Database->AuditOnly() || sandbox) {
        in.PasswordsProblem = sandbox
                                  ? "the passwords of a sandbox are not its origin's (every account in it "
                                    "has the empty password)."
                                  : "the passwords of a genuine Jet workgroup file cannot be checked (Jet's "
                                    "stored password scheme is not public).";
        return in;
    }
    try {
        in.EmptyPasswordUsers = dao::UsersWithEmptyPassword(Workspace);
        in.PasswordsChecked = true;
    } catch (const dao::DaoError& e) {
        in.PasswordsProblem = e.description();
    }
    return in;
}
