// The comparison of two hand-built catalogues, its three outputs, and the check of a sandbox's origin.
#include "plan/CompareCatalogues.h"
#include "plan/ChangeWriters.h"
#include "plan/OriginCheck.h"
#include "support/Snapshots.h"
#include "support/TempDir.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

using namespace kltest;
using Strings = std::vector<std::string>;

namespace {

Strings linesOf(const std::vector<plan::Change>& changes) {
    Strings lines;
    for (const plan::Change& c : changes)
        lines.push_back(plan::ChangeLine(c));
    return lines;
}

// The shop after a round of planning: every kind of change, and edits that are no change.
dao::CatalogueSnapshot plannedShop() {
    dao::CatalogueSnapshot s = shopSnapshot();
    s.accounts.push_back({"carol", "R", false, "carolpid"});
    s.accounts.push_back({"Clerks", "C", true, "clerkpid"});
    s.memberships.push_back({"S", "R"});
    s.memberships.push_back({"C", "R"});
    setOwnerSid(s, "Tables", "Customers", "L");
    setEntry(s, "Tables", "", "C", 0x14, true);
    setEntry(s, "Tables", "Orders", "S", 0);
    std::erase_if(s.aces, [](const dao::SnapshotAce& a) { return a.sid == "L"; }); // alice's zero entry
    removeMembership(s, "L", "E");
    removeAccount(s, "B");
    s.objects[4].name = "New"; // Forms \ Main gone, Forms \ New made
    return s;
}

} // namespace

TEST(CompareCatalogues, ListsEveryKindInApplicableOrder) {
    EXPECT_TRUE(plan::CompareCatalogues(shopSnapshot(), shopSnapshot()).empty());

    const auto changes = plan::CompareCatalogues(shopSnapshot(), plannedShop());
    EXPECT_EQ(linesOf(changes),
              (Strings{"create group Clerks (PID clerkpid)", "create user carol (PID carolpid)",
                       "add user carol to group Clerks", "add user carol to group Users",
                       "owner of Tables \\ Customers: admin -> alice",
                       "inherit of Clerks (group) on Tables (container): false -> true",
                       "permissions of Clerks (group) on Tables (container): 00000 -> 00014, adds ReadDef, "
                       "RetrieveData",
                       "permissions of Users (group) on Tables \\ Orders: 00014 -> 00000, removes ReadDef, "
                       "RetrieveData",
                       "remove user alice from group Sales", "delete user bob",
                       "only in the newer database (not a change to apply): Forms \\ New",
                       "only in the older database (not a change to apply): Forms \\ Main"}));
    EXPECT_EQ(plan::ApplicableChangeCount(changes), 10u);
    EXPECT_EQ(plan::ChangesSummary(changes), "10 changes, 2 objects on one side only");
    EXPECT_EQ(changes[4].accountSid, "4C"); // matched by SID: the new owner's
    EXPECT_EQ(changes[4].accountKind, 'U');

    // Backwards: bob comes back with his membership of Users; carol's go with her.
    const Strings back = linesOf(plan::CompareCatalogues(plannedShop(), shopSnapshot()));
    EXPECT_EQ(back.front(), "create user bob");
    EXPECT_EQ(back[1], "add user alice to group Sales");
    EXPECT_EQ(back[2], "add user bob to group Users");
    EXPECT_EQ(Strings(back.end() - 4, back.end() - 2), (Strings{"delete user carol", "delete group Clerks"}));
}

TEST(CompareCatalogues, OwnersEntriesOfUnknownSidsAndNamesOfTwoSids) {
    dao::CatalogueSnapshot newer = shopSnapshot();
    setOwnerSid(newer, "Forms", "Main", "Q");       // no account holds Q
    setEntry(newer, "Tables", "Customers", "Z", 0); // the orphan's entry emptied
    setEntry(newer, "Databases", "MSysDb", "S", 0x6);
    newer.accounts.push_back({"SALES", "F", true, ""}); // another group of Sales's name
    setEntry(newer, "Forms", "", "F", 0x1);
    EXPECT_EQ(
        linesOf(plan::CompareCatalogues(shopSnapshot(), newer)),
        (Strings{"create group SALES (SID 46)", "owner of Forms \\ Main: admin -> <Unknown>",
                 "permissions of SALES (group, SID 46) on Forms (container): 00000 -> 00001, adds Create",
                 "permissions of the unknown SID 5A on Tables \\ Customers: 00004 -> 00000, removes ReadDef",
                 "permissions of Users (group) on Databases \\ MSysDb: 00002 -> 00006, adds DBExclusive"}));
}

TEST(ChangeWriters, TextCsvAndJsonTakeNamesAsData) {
    dao::CatalogueSnapshot newer = plannedShop();
    newer.accounts.push_back({"Mr \"X\",\nY", "X", false, ""});
    const auto changes = plan::CompareCatalogues(shopSnapshot(), newer);

    std::ostringstream text;
    plan::WriteChangesText(text, changes, {"The origin changed."});
    const std::string t = text.str();
    EXPECT_EQ(t.substr(0, t.find('\n')), "[note] The origin changed.");
    EXPECT_NE(t.find("\ncreate user Mr \"X\",\\nY\n"), std::string::npos);
    EXPECT_EQ(t.substr(t.rfind('\n', t.size() - 2) + 1), "11 changes, 2 objects on one side only\n");

    std::ostringstream csv;
    plan::WriteChangesCsv(csv, changes);
    EXPECT_EQ(csv.str().substr(0, csv.str().find("\r\n")),
              "kind,container,object,account,accountKind,group,pid,before,after,rightsAdded,rightsRemoved");
    EXPECT_NE(csv.str().find("\r\naccount-created,,,\"Mr \"\"X\"\",\\nY\",U,,,,,,\r\n"), std::string::npos);
    EXPECT_NE(
        csv.str().find("\r\npermissions,Tables,Orders,Users,G,,,00014,00000,,\"ReadDef, RetrieveData\"\r\n"),
        std::string::npos);

    std::ostringstream json;
    plan::WriteChangesJson(json, changes);
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(json.str()), &error);
    ASSERT_EQ(error.error, QJsonParseError::NoError) << json.str();
    const QJsonArray a = doc.array();
    ASSERT_EQ(a.size(), static_cast<qsizetype>(changes.size()));
    EXPECT_EQ(a[2].toObject(),
              (QJsonObject{{"kind", "account-created"}, {"account", "Mr \"X\",\nY"}, {"accountKind", "U"}}));
    EXPECT_EQ(a[6].toObject(), (QJsonObject{{"kind", "inherit"},
                                            {"container", "Tables"},
                                            {"object", ""},
                                            {"account", "Clerks"},
                                            {"accountKind", "G"},
                                            {"before", false},
                                            {"after", true}}));
    EXPECT_EQ(a[3].toObject(),
              (QJsonObject{{"kind", "membership-added"}, {"account", "carol"}, {"group", "Clerks"}}));
    EXPECT_EQ(a[0].toObject()["pid"], "clerkpid");
    std::ostringstream none;
    plan::WriteChangesJson(none, {});
    EXPECT_EQ(none.str(), "[]\n");
}

TEST(OriginCheck, SaysWhichOriginFileChanged) {
    TempDir dir;
    plan::OriginRecord record;
    record.workgroup.path = dir.file("w.mdw");
    record.database.path = dir.file("d.mdb");
    record.importedAt = "2026-12-01T10:00:00Z";
    for (const std::string& path : {record.workgroup.path, record.database.path})
        std::ofstream(path) << "as imported";
    record.workgroup.sha256 = record.database.sha256 = plan::FileSha256(record.workgroup.path);
    EXPECT_EQ(record.workgroup.sha256, "98a05c9d9bf567e009e3b8f1271c4c28415a66a4b90ec5dc7a8ee680039d06b0");
    EXPECT_TRUE(plan::OriginChangedNotes(record).empty());
    std::ofstream(record.database.path, std::ios::app) << ".";
    const Strings notes = plan::OriginChangedNotes(record);
    ASSERT_EQ(notes.size(), 1u);
    EXPECT_EQ(
        notes[0].rfind("The origin database '" + record.database.path + "' has changed since the import", 0),
        0u);
    std::filesystem::remove(record.workgroup.path);
    EXPECT_EQ(plan::OriginChangedNotes(record).size(), 2u);
}
