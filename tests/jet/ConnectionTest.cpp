#include "jet/JetFixture.h"

#include "com/ClassRegistry.h"
#include "jet/dm_Inspect.h"

namespace {

const std::string ClosedDatabase = "Cannot perform this operation on a closed database";
const std::string OpenDatabase = "Cannot perform this operation on an open database";

using ConnectionTest = JetFiles;

TEST_F(ConnectionTest, ReconnectWithAnotherWorkgroupGetsNewEngineAndWorkspace) {
    installCountingEngine();
    Tdm_Inspect dm;
    ASSERT_TRUE(dm.Connect(mdb_, mdwA_, "admin", "secret", dvDAO36));
    EXPECT_EQ(enginesCreated(), 1);
    EXPECT_EQ(dm.db1.EngineObject()->SystemDB(), mdwA_);
    EXPECT_EQ(dm.db1.WorkspaceObject()->Name(), "db1");
    EXPECT_EQ(dm.db1.WorkspaceObject()->UserName(), "admin");
    EXPECT_FALSE(dm.db1.DatabaseVersion().empty());
    EXPECT_GE(dm.db1.CollatingOrder(), 0);
    const auto firstWorkspace = dm.db1.WorkspaceObject();

    dm.Disconnect();
    EXPECT_FALSE(dm.db1.Connected());
    EXPECT_EQ(dm.db1.CollatingOrder(), -1);
    EXPECT_EQ(dm.db1.DAOVersion(), "");
    EXPECT_EQ(errorOf([&] { dm.db1.GetUsers(); }), ClosedDatabase);

    ASSERT_TRUE(dm.Connect(mdb_, mdwB_, "alice", "pw", dvDAO36));
    EXPECT_EQ(enginesCreated(), 2);
    EXPECT_EQ(dm.db1.SystemDB(), mdwB_);
    EXPECT_EQ(dm.db1.WorkspaceObject()->UserName(), "alice");
    EXPECT_NE(dm.db1.WorkspaceObject(), firstWorkspace);
    EXPECT_EQ(dm.qry1.UseDAOVersion(), dvDAO36);
}

TEST_F(ConnectionTest, EmptyWorkgroupPathLeavesTheEnginesOwnSystemDB) {
    installCountingEngine(mdwA_);
    Tdm_Inspect dm;
    ASSERT_TRUE(dm.Connect(mdb_, "", "admin", "secret", dvDAO36));
    EXPECT_EQ(dm.db1.SystemDB(), mdwA_);
    dm.Disconnect();
    EXPECT_EQ(dm.db1.SystemDB(), ""); // the stored text again once no engine is held
}

TEST_F(ConnectionTest, RefusedLoginPassesDAOsTextAndLeavesClosed) {
    // What the engine itself says for this login.
    std::string daoText;
    try {
        auto engine = CreateDAOEngine(dvDAO36, true);
        engine->SetSystemDB(mdwA_);
        engine->CreateWorkspace("x", "admin", "wrong", com::Variant(std::int32_t{dao::dbUseJet}));
    } catch (const com::ComError& e) {
        daoText = e.description();
    }
    ASSERT_FALSE(daoText.empty());

    Tdm_Inspect dm;
    EXPECT_EQ(errorOf([&] { dm.Connect(mdb_, mdwA_, "admin", "wrong", dvDAO36); }), daoText);
    EXPECT_FALSE(dm.db1.Connected());
    EXPECT_EQ(dm.db1.SystemDB(), mdwA_); // stored text: no engine is held any more
    EXPECT_EQ(errorOf([&] { dm.db1.EngineObject(); }), ClosedDatabase);

    // Missing files fail the same way and leave nothing behind; the next good login works.
    EXPECT_FALSE(
        errorOf([&] { dm.Connect(dir_->file("none.mdb"), mdwA_, "admin", "secret", dvDAO36); }).empty());
    EXPECT_FALSE(dm.db1.Connected());
    EXPECT_TRUE(dm.Connect(mdb_, mdwA_, "admin", "secret", dvDAO36));
}

TEST_F(ConnectionTest, UnregisteredEngineClassFailsAndOtherVersionStillWorks) {
    com::unregisterClass(DAOEngineClassId(dvDAO36, false));
    Tdm_Inspect dm;
    EXPECT_EQ(errorOf([&] { dm.Connect(mdb_, mdwA_, "admin", "secret", dvDAO36); }), "Class not registered");
    EXPECT_FALSE(dm.db1.Connected());

    ASSERT_TRUE(dm.Connect(mdb30_, mdwA_, "admin", "secret", dvDAO35));
    EXPECT_EQ(dm.db1.DAOVersion(), "3.5");
    EXPECT_EQ(dm.tbl1.UseDAOVersion(), dvDAO35);
    EXPECT_EQ(dm.qry1.UseDAOVersion(), dvDAO35);
}

TEST_F(ConnectionTest, PropertyChangesWhileOpenAndClosed) {
    TDAODatabase db("db1");
    EXPECT_EQ(db.UserName(), "admin");
    EXPECT_EQ(db.UseDAOVersion(), dvDAO36);
    EXPECT_EQ(db.ExecOptions(), (TExecOptions{doConsistent, doFailOnError}));
    EXPECT_TRUE(db.TransactionRefresh());
    for (auto closedOnly : std::initializer_list<std::function<void()>>{
             [&] { db.EngineObject(); }, [&] { db.WorkspaceObject(); }, [&] { db.DatabaseObject(); },
             [&] { db.GetGroups(); }, [&] { db.GetContainers(); },
             [&] { db.CreateUser("u", "pid-0001", ""); }, [&] { db.CreateGroup("g", "pid-0002"); },
             [&] { db.DeleteUser("u"); }, [&] { db.DeleteGroup("g"); }, [&] { db.AddUserToGroup("u", "g"); },
             [&] { db.RemoveUserFromGroup("u", "g"); }})
        EXPECT_EQ(errorOf(closedOnly), ClosedDatabase);

    db.SetDatabaseName(mdb_);
    db.SetSystemDB(mdwA_);
    db.SetPassword("secret");
    db.SetConnected(true);
    ASSERT_TRUE(db.Connected());
    for (auto openFails : std::initializer_list<std::function<void()>>{
             [&] { db.SetSystemDB(mdwA_); }, [&] { db.SetUserName("admin"); }, [&] { db.SetPassword("x"); },
             [&] { db.SetUseDAOVersion(dvDAO36); }, [&] { db.SetPrivateEngine(true); },
             [&] { db.SetExclusive(true); }, [&] { db.SetReadOnly(true); },
             [&] { db.SetTransactionRefresh(false); }, [&] { db.SetDatabaseName(mdb_ + "x"); },
             [&] { db.SetDatabaseConnect(";pwd=x"); }})
        EXPECT_EQ(errorOf(openFails), OpenDatabase);
    // Same values and execution options are accepted while open.
    db.SetDatabaseName(mdb_);
    db.SetDatabaseConnect("");
    db.SetExecOptions({doFailOnError});
    EXPECT_TRUE(db.Connected());
    EXPECT_EQ(db.Password(), "secret");

    db.SetConnected(false);
    db.SetUserName("nobody");
    EXPECT_EQ(db.UserName(), "nobody");
}

TEST_F(ConnectionTest, OnLoginRunsFirstAndItsFailureLeavesClosed) {
    TDAODatabase db("db1");
    db.SetDatabaseName(mdb_);
    db.SetSystemDB(mdwA_);
    int logins = 0;
    db.OnLogin = [&](TDAODatabase& database) {
        ++logins;
        database.SetPassword("secret"); // still closed: the login may be completed here
    };
    db.Open();
    EXPECT_TRUE(db.Connected());
    db.Open(); // already open: no second login
    EXPECT_EQ(logins, 1);
    db.Close();

    db.OnLogin = [](TDAODatabase&) { throw EDatabaseError("login cancelled"); };
    EXPECT_EQ(errorOf([&] { db.Open(); }), "login cancelled");
    EXPECT_FALSE(db.Connected());
}

TEST_F(ConnectionTest, ConnectedSetWhileLoadingIsAppliedWhenLoaded) {
    TDAODatabase db("db1");
    db.BeginLoading();
    db.SetDatabaseName(mdb_);
    db.SetSystemDB(mdwA_);
    db.SetConnected(true);
    db.SetPassword("secret");
    EXPECT_FALSE(db.Connected());
    db.Loaded();
    EXPECT_TRUE(db.Connected());
}

TEST(DAOCallTest, MessageRuleForFailedCalls) {
    auto messageOf = [](com::HRESULT status, const std::string& description) {
        return errorOf([&] { DAOCall([&] { throw com::ComError(status, description); }); });
    };
    EXPECT_EQ(messageOf(static_cast<com::HRESULT>(0x800A0BB8u), "Not a valid password."),
              "Not a valid password.");
    EXPECT_EQ(messageOf(com::E_FAIL, ""), "Unspecified error");
    EXPECT_EQ(messageOf(static_cast<com::HRESULT>(0x800A0BB8u), ""), "OLE error 800a0bb8");
}

} // namespace
