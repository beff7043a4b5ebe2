// The bulk helpers apply the same rules as the one-at-a-time members, all or nothing.
#include "support/EngineTest.h"

#include "dao/JetAdmin.h"

using namespace kltest;

class BulkHelpers : public EngineTest {};

TEST_F(BulkHelpers, AccountsAreCreatedTogetherOrNotAtAll) {
    auto ws = login();
    dao::CreateAccounts(ws, {{"Team", "pid-team", "", true, {}}, {"una", "pid-una", "pw", false, {"Team"}}});
    EXPECT_EQ(ws->Users()->Item("una")->Groups()->Count(), 2); // Team and Users
    EXPECT_EQ(login("una", "pw")->UserName(), "una");
    EXPECT_EQ(
        daoErrorOf([&] {
            dao::CreateAccounts(ws, {{"vic", "pid-vic", "", false, {}}, {"una", "pid-una2", "", false, {}}});
        }),
        dao::errNameExists);
    EXPECT_EQ(daoErrorOf([&] { ws->Users()->Item("vic"); }), dao::errItemNotFound);
    EXPECT_EQ(daoErrorOf([&] {
                  dao::CreateAccounts(ws, {{"wes", "pid-wes", "", false, {"NoSuchGroup"}}});
              }),
              dao::errItemNotFound);
    EXPECT_EQ(daoErrorOf([&] {
                  dao::CreateAccounts(login("una", "pw"), {{"xan", "pid-xan", "", false, {}}});
              }),
              dao::errNoPermission);
}

TEST_F(BulkHelpers, DocumentsAndPermissionsInBulk) {
    auto ws = login();
    const std::string mdb = dir.file("bulk.mdb");
    ws->CreateDatabase(mdb, "3.0");
    auto db = open(ws, mdb);
    dao::CreateDocuments(db, "Tables", {"T1", "T2", "T3"});
    EXPECT_EQ(db->Containers()->Item("Tables")->Documents()->Count(), 6);
    EXPECT_EQ(daoErrorOf([&] { dao::CreateDocuments(db, "Forms", {"F1", "f1"}); }), dao::errObjectExists);
    EXPECT_EQ(db->Containers()->Item("Forms")->Documents()->Count(), 0);
    dao::SetPermissions(db, {{"Tables", "T2", "Users", 0x4, false}, {"Forms", "", "admin", 0x1, true}});
    auto again = open(ws, mdb);
    EXPECT_EQ(explicitOf(again, "Tables", "T2", "Users"), 0x4);
    auto forms = again->Containers()->Item("Forms");
    forms->SetUserName("admin");
    EXPECT_TRUE(forms->Inherit());
    EXPECT_EQ(forms->Permissions(), 0x1);
    EXPECT_EQ(daoErrorOf([&] {
                  dao::SetPermissions(db, {{"Tables", "Nope", "Users", 0, false}});
              }),
              dao::errItemNotFound);
}
