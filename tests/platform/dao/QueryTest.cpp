// Temporary queries under the RetrieveData authorizer, and the Properties of engine, workspace and
// database.
#include "support/EngineTest.h"

using namespace kltest;
using dao::Variant;

namespace {

class Queries : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        mdb = makeDatabase("q.mdb");
    }
    static dao::RecordsetPtr run(const dao::DatabasePtr& db, const std::string& sql) {
        return db->CreateQueryDef("", sql)->OpenRecordset(
            Variant(std::int32_t(dao::dbOpenDynaset)),
            Variant(std::int32_t(dao::dbConsistent | dao::dbSeeChanges)));
    }
    static std::string errorText(const std::function<void()>& f) {
        try {
            f();
        } catch (const dao::DaoError& e) {
            return e.description();
        }
        return {};
    }
    std::string mdb;
};

const char* const kCountAll = "SELECT Count(MSysACEs.ACM) AS CountOfACM FROM MSysACEs";
const char* const kCountNonZero =
    "SELECT Count(MSysACEs.ACM) AS CountOfACM FROM MSysACEs WHERE (MSysACEs.ACM <> 0)";

} // namespace

TEST_F(Queries, MSysACEsIsUnreadableUntilRetrieveDataIsGranted) {
    auto db = open(admin, mdb);
    EXPECT_EQ(daoErrorOf([&] { run(db, kCountAll); }), dao::errNoReadData);
    EXPECT_NE(errorText([&] { run(db, kCountAll); }).find("MSysACEs"), std::string::npos);
    grant(db, "Tables", "MSysACEs", "Admins", 0x14);
    auto rs = run(db, kCountAll);
    ASSERT_FALSE(rs->AtEOF());
    const std::int32_t all = rs->Field("countofacm").toInt32();
    EXPECT_EQ(rs->FieldName(0), "CountOfACM");
    // 9 containers and 6 documents, each with entries for Admins and Users.
    EXPECT_EQ(all, 30);
    grant(db, "Forms", "", "Users", 0);
    EXPECT_EQ(run(db, kCountNonZero)->Field("CountOfACM").toInt32(), 29);
    rs->MoveNext();
    EXPECT_TRUE(rs->AtEOF());
    EXPECT_EQ(daoErrorOf([&] { rs->Field("CountOfACM"); }), dao::errNoCurrentRecord);
}

TEST_F(Queries, RightsCountThroughTheUsersGroupsAndRevokingRetrieveDataDenies) {
    addUser(admin, "reader", "pid-reader", "r");
    auto adm = open(admin, mdb);
    adm->CreateDocument("Tables", "Items");
    auto db = open(login("reader", "r"), mdb);
    EXPECT_EQ(run(db, "SELECT count(*) AS n FROM Items")->Field("n").toInt32(), 0);
    EXPECT_EQ(run(db, "SELECT Name FROM MSysObjects WHERE Name = 'Items'")->Field("Name").toString(),
              "Items");
    // Revoking RetrieveData clears its 0x10 bit: reading is refused even though 0x4 remains.
    grant(adm, "Tables", "Items", "Users", 0xFFFEF);
    auto again = open(login("reader", "r"), mdb);
    EXPECT_EQ(daoErrorOf([&] { run(again, "SELECT count(*) FROM Items"); }), dao::errNoReadData);
    EXPECT_EQ(daoErrorOf([&] { run(again, "SELECT x.ID FROM MSysObjects AS o JOIN Items AS x ON 1"); }),
              dao::errNoReadData);
    EXPECT_NE(errorText([&] { run(again, "SELECT * FROM Items"); }).find("Items"), std::string::npos);
    grant(adm, "Tables", "Items", "reader", 0x14);
    EXPECT_EQ(run(open(login("reader", "r"), mdb), "SELECT count(*) AS n FROM Items")->Field("n").toInt32(),
              0);
}

TEST_F(Queries, OnlyOneSelectRuns) {
    auto db = open(admin, mdb);
    db->CreateDocument("Tables", "T");
    for (const char* sql : {"DELETE FROM T", "INSERT INTO T(ID) VALUES (1)", "UPDATE T SET ID = 2",
                            "DROP TABLE T", "CREATE TABLE X(a)", "PRAGMA user_version", "ATTACH 'x.db' AS x",
                            "SELECT 1; DELETE FROM T", "EXPLAIN SELECT * FROM T", ""})
        EXPECT_EQ(daoErrorOf([&] { run(db, sql); }), dao::errQueryNotSelect) << sql;
    EXPECT_EQ(daoErrorOf([&] { run(db, "SELEC nonsense"); }), dao::errSyntax);
    EXPECT_EQ(daoErrorOf([&] { run(db, "SELECT * FROM sqlite_master"); }), dao::errNoReadData);
    EXPECT_EQ(daoErrorOf([&] { db->CreateQueryDef("Saved", "SELECT 1"); }), dao::errNotSupported);
    EXPECT_EQ(run(db, "SELECT 1 AS one;")->Field("ONE").toInt32(), 1);
    EXPECT_EQ(run(open(admin, mdb), "SELECT count(*) AS n FROM T")->Field("n").toInt32(), 0);
}

TEST_F(Queries, FieldsKeepTheirKinds) {
    auto rs = run(open(admin, mdb), "SELECT 7 AS i, 2.5 AS d, 'txt' AS s, NULL AS n, 5000000000 AS big");
    EXPECT_EQ(rs->FieldCount(), 5);
    EXPECT_EQ(rs->Field("i"), Variant(std::int32_t(7)));
    EXPECT_EQ(rs->Field("d"), Variant(2.5));
    EXPECT_EQ(rs->Field("s"), Variant("txt"));
    EXPECT_TRUE(rs->Field("n").isNull());
    EXPECT_EQ(rs->Field("big"), Variant(5000000000.0));
    EXPECT_EQ(rs->Field(Variant(std::int16_t(2))), Variant("txt"));
    EXPECT_EQ(daoErrorOf([&] { rs->Field("missing"); }), dao::errItemNotFound);
}

TEST_F(Queries, PropertiesOfEngineWorkspaceAndDatabase) {
    auto e = engine();
    auto ws = e->CreateWorkspace("db1", "admin", "", Variant(std::int32_t(dao::dbUseJet)));
    auto db = open(ws, mdb);
    auto names = [](const dao::PropertiesPtr& p) {
        std::vector<std::string> out;
        for (int i = 0; i < p->Count(); ++i)
            out.push_back(p->Item(Variant(std::int32_t(i)))->Name());
        return out;
    };
    using S = std::vector<std::string>;
    EXPECT_EQ(names(e->Properties()), (S{"Name", "Version", "DefaultUser", "DefaultPassword", "DefaultType",
                                         "IniPath", "LoginTimeout", "SystemDB"}));
    EXPECT_EQ(names(ws->Properties()), (S{"Name", "UserName", "IsolateODBCTrans", "Type"}));
    EXPECT_EQ(names(db->Properties()),
              (S{"Name", "Connect", "Transactions", "Updatable", "CollatingOrder", "QueryTimeout", "Version",
                 "RecordsAffected", "ReplicaID", "DesignMasterID", "Connection"}));

    auto ep = e->Properties();
    EXPECT_EQ(ep->Item("Version")->Value(), Variant("3.6"));
    EXPECT_EQ(ep->Item("SystemDB")->Value(), Variant(mdw));
    EXPECT_EQ(ep->Item("DefaultType")->Value(), Variant(std::int32_t(dao::dbUseJet)));
    EXPECT_EQ(ep->Item("LoginTimeout")->Value().type(), com::VarType::Int16);
    e->SetSystemDB("elsewhere.mdw");
    EXPECT_EQ(ep->Item("SystemDB")->Value(), Variant("elsewhere.mdw")); // read when asked
    auto wp = ws->Properties();
    EXPECT_EQ(wp->Item("Name")->Value(), Variant("db1"));
    EXPECT_EQ(wp->Item("UserName")->Value(), Variant("admin"));
    EXPECT_EQ(wp->Item("IsolateODBCTrans")->Value().type(), com::VarType::Int16);
    auto dp = db->Properties();
    EXPECT_EQ(dp->Item("Name")->Value(), Variant(mdb));
    EXPECT_EQ(dp->Item("Transactions")->Value(), Variant(true));
    EXPECT_EQ(dp->Item("Updatable")->Value(), Variant(true));
    EXPECT_EQ(dp->Item("CollatingOrder")->Value(), Variant(db->CollatingOrder()));
    EXPECT_EQ(dp->Item("Version")->Value(), Variant("4.0"));
    EXPECT_TRUE(dp->Item("ReplicaID")->Value().isNull());
    EXPECT_TRUE(db->ReplicaID().isNull());
    EXPECT_EQ(daoErrorOf([&] { dp->Item("Connection")->Value(); }), dao::errNotSupported);
    auto errors = e->Errors();
    errors->Refresh();
    ASSERT_EQ(errors->Count(), 1);
    EXPECT_EQ(errors->Item(Variant(std::int32_t(0)))->Number(), dao::errNotSupported);
    EXPECT_EQ(daoErrorOf([&] { dp->Item(Variant(std::int32_t(11))); }), dao::errItemNotFound);
    EXPECT_FALSE(open(ws, mdb, false, true)->Properties()->Item("Updatable")->Value().toBool());
}

TEST_F(Queries, ErrorsCollectionKeepsItsCopyUntilRefresh) {
    auto e = engine();
    auto errors = e->Errors();
    EXPECT_EQ(errors->Count(), 0);
    EXPECT_THROW(e->CreateWorkspace("ws", "nobody", "", Variant()), dao::DaoError);
    EXPECT_EQ(errors->Count(), 0);
    errors->Refresh();
    ASSERT_EQ(errors->Count(), 1);
    EXPECT_EQ(errors->Item(Variant(std::int32_t(0)))->Number(), dao::errBadLogin);
    auto ws = e->CreateWorkspace("ws", "admin", "", Variant());
    EXPECT_THROW(open(ws, dir.file("missing.mdb")), dao::DaoError);
    errors->Refresh();
    EXPECT_EQ(errors->Item(Variant(std::int32_t(0)))->Number(), dao::errFileNotFound);
    EXPECT_NE(errors->Item(Variant(std::int32_t(0)))->Description().find("missing.mdb"), std::string::npos);
}
