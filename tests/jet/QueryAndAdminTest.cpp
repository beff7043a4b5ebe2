#include "jet/JetFixture.h"

#include "jet/dm_Inspect.h"

#include <algorithm>
#include <vector>

namespace {

const std::string CountAll = "SELECT Count(MSysACEs.ACM) AS CountOfACM FROM MSysACEs";
const std::string CountNonZero =
    "SELECT Count(MSysACEs.ACM) AS CountOfACM FROM MSysACEs WHERE (MSysACEs.ACM <> 0)";

class QueryTest : public JetFiles {
protected:
    void SetUp() override {
        JetFiles::SetUp();
        ASSERT_TRUE(dm.Connect(mdb_, mdwA_, "admin", "secret", dvDAO36));
    }
    int countOf(const std::string& sql) {
        dm.qry1.SQL().Clear();
        dm.qry1.SQL().Add(sql);
        dm.qry1.SetActive(true);
        EXPECT_TRUE(dm.qry1.Active());
        return dm.qry1.FieldByName("CountOfACM").AsInteger();
    }
    Tdm_Inspect dm;
};

// A dataset that records the order in which its database closes it.
class RecordingDataSet : public TDAODataSet {
public:
    RecordingDataSet(std::string name, std::vector<std::string>& log)
        : TDAODataSet(std::move(name)), log_(log) {}
    ~RecordingDataSet() override { Close(); }
    bool Active() const override { return active_; }
    void Open() override {
        active_ = true;
        registerOpened();
    }
    void Close() override {
        if (!active_) return;
        active_ = false;
        log_.push_back(Name());
        registerClosed();
    }

private:
    std::vector<std::string>& log_;
    bool active_ = false;
};

TEST_F(QueryTest, CountsMatchTheSecurityTable) {
    // Count the rows independently by walking the result of a plain SELECT.
    dm.qry1.SQL().Clear();
    dm.qry1.SQL().Add("SELECT ACM FROM MSysACEs");
    dm.qry1.Open();
    int rows = 0, nonZero = 0;
    for (; !dm.qry1.Eof(); dm.qry1.Next()) {
        ++rows;
        nonZero += dm.qry1.FieldByName("acm").AsInteger() != 0;
    }
    ASSERT_GT(rows, 0);

    EXPECT_EQ(countOf(CountAll), rows);
    EXPECT_EQ(dm.db1.OpenDataSets(), std::vector<TDAODataSet*>{&dm.qry1});
    EXPECT_EQ(countOf(CountNonZero), nonZero);
    EXPECT_EQ(dm.qry1.FieldByName("countofacm").FieldName(), "CountOfACM");
    EXPECT_EQ(errorOf([&] { dm.qry1.FieldByName("Nope"); }), "qry1: Field 'Nope' not found");

    // Changing the text closes the query; closing the database closes an open query.
    dm.qry1.SQL().Add("");
    EXPECT_FALSE(dm.qry1.Active());
    EXPECT_TRUE(dm.db1.OpenDataSets().empty());
    countOf(CountAll);
    dm.Disconnect();
    EXPECT_FALSE(dm.qry1.Active());
    EXPECT_EQ(errorOf([&] { dm.qry1.FieldByName("CountOfACM"); }),
              "qry1: Cannot perform this operation on a closed dataset");

    // Opening the query opens its closed database with the login set.
    EXPECT_EQ(countOf(CountAll), rows);
    EXPECT_TRUE(dm.db1.Connected());
}

TEST_F(QueryTest, RefusedSQLRaisesEDAOErrorFromTheErrorsCollection) {
    dm.qry1.SQL().Clear();
    dm.qry1.SQL().Add("SELEKT nonsense FROM");
    std::string message;
    try {
        dm.qry1.Open();
        FAIL() << "query opened";
    } catch (const EDAOError& e) {
        message = e.what();
    }
    ASSERT_FALSE(message.empty());
    EXPECT_EQ(message.front(), '\r');
    EXPECT_NE(message.back(), '.');
    EXPECT_EQ(message, DAOErrorsMessage(dm.db1.EngineObject()));
    EXPECT_FALSE(dm.qry1.Active());
    EXPECT_TRUE(dm.db1.OpenDataSets().empty());
    EXPECT_TRUE(dm.db1.Connected());
}

TEST_F(QueryTest, DatabaseClosesItsDataSetsMostRecentFirst) {
    std::vector<std::string> closed;
    RecordingDataSet first("first", closed), second("second", closed), third("third", closed);
    for (auto* ds : {&first, &second, &third})
        ds->SetDatabase(&dm.db1);
    first.Open();
    second.Open();
    third.Open();
    second.Close();
    second.Open();
    dm.Disconnect();
    EXPECT_EQ(closed, (std::vector<std::string>{"second", "second", "third", "first"}));
    EXPECT_TRUE(dm.db1.OpenDataSets().empty());
}

// An engine whose Errors collection holds fixed descriptions, most detailed first.
class FixedErrorsEngine : public dao::DBEngine {
public:
    explicit FixedErrorsEngine(std::vector<std::string> descriptions) : errors_(std::make_shared<List>()) {
        errors_->descriptions = std::move(descriptions);
    }
    std::string Version() override { return "3.6"; }
    std::string SystemDB() override { return {}; }
    void SetSystemDB(const std::string&) override {}
    std::string DefaultUser() override { return {}; }
    void SetDefaultUser(const std::string&) override {}
    std::string DefaultPassword() override { return {}; }
    void SetDefaultPassword(const std::string&) override {}
    dao::WorkspacePtr CreateWorkspace(const std::string&, const std::string&, const std::string&,
                                      const com::Variant&) override {
        return nullptr;
    }
    dao::ErrorsPtr Errors() override { return errors_; }
    dao::PropertiesPtr Properties() override { return nullptr; }

private:
    struct Item : dao::Error {
        std::string text;
        std::int32_t Number() override { return 3000; }
        std::string Description() override { return text; }
        std::string Source() override { return "DAO"; }
    };
    struct List : dao::Errors {
        std::vector<std::string> descriptions;
        bool refreshed = false;
        void Refresh() override { refreshed = true; }
        std::int16_t Count() override {
            return refreshed ? static_cast<std::int16_t>(descriptions.size()) : 0;
        }
        dao::ErrorPtr Item(const com::Variant& key) override {
            auto item = std::make_shared<FixedErrorsEngine::Item>();
            item->text = descriptions.at(static_cast<std::size_t>(key.toInt32()));
            return item;
        }
    };
    std::shared_ptr<List> errors_;
};

TEST(DAOErrorsMessageTest, LastErrorFirstWithOneFullStopRemovedEach) {
    auto message = [](std::vector<std::string> texts) {
        return DAOErrorsMessage(std::make_shared<FixedErrorsEngine>(std::move(texts)));
    };
    EXPECT_EQ(message({"Syntax error in query.", "Query failed.."}),
              "\rQuery failed.\rSyntax error in query");
    EXPECT_EQ(message({"", "x"}), "\rx\r");
    EXPECT_EQ(message({}), "");
}

TEST(QueryTextTest, LinesAndParameterNames) {
    TDAOQuery query("q");
    query.SQL().SetText(
        "SELECT * FROM T\r\nWHERE a = :First AND b = ':quoted'\nAND c = :second AND d = :FIRST");
    EXPECT_EQ(query.SQL().Count(), 3);
    EXPECT_EQ(query.SQL()[1], "WHERE a = :First AND b = ':quoted'");
    EXPECT_EQ(query.Params(), (std::vector<std::string>{"First", "second"}));
    query.SQL().Clear();
    EXPECT_TRUE(query.Params().empty());
    EXPECT_EQ(errorOf([&] { query.Open(); }), "q: Missing Database");
}

TEST(FieldTest, IntegerConversions) {
    EXPECT_EQ(TDAOField("f", com::Variant::null()).AsInteger(), 0);
    EXPECT_EQ(TDAOField("f", com::Variant(std::int16_t{-7})).AsInteger(), -7);
    EXPECT_EQ(TDAOField("f", com::Variant(2.6)).AsInteger(), 3);
    EXPECT_EQ(TDAOField("f", com::Variant(" 42 ")).AsInteger(), 42);
    EXPECT_EQ(errorOf([&] { TDAOField("f", com::Variant("4x")).AsInteger(); }),
              "'4x' is not a valid integer value");
    EXPECT_FALSE(errorOf([&] { TDAOField("f", com::Variant(1e12)).AsInteger(); }).empty());
    EXPECT_EQ(TDAOField("f", com::Variant::null()).AsString(), "");
}

using AdministrationTest = QueryTest;

bool isMember(TDAODatabase& db, const std::string& user, const std::string& group) {
    auto groups = db.GetUsers()->Item(com::Variant(user))->Groups();
    for (int i = 0; i < groups->Count(); ++i)
        if (groups->Item(com::Variant(std::int32_t{i}))->Name() == group) return true;
    return false;
}

TEST_F(AdministrationTest, AccountsAndMembershipRoundTrip) {
    TDAODatabase& db = dm.db1;
    const int users = db.GetUsers()->Count(), groups = db.GetGroups()->Count();
    db.CreateUser("bob", "bob-pid-0001", "bobpw");
    db.CreateGroup("Sales", "sales-pid-01");
    EXPECT_EQ(db.GetUsers()->Count(), users + 1);
    EXPECT_EQ(db.GetGroups()->Count(), groups + 1);
    EXPECT_FALSE(errorOf([&] { db.CreateUser("bob", "bob-pid-0002", ""); }).empty());

    db.AddUserToGroup("bob", "Sales");
    EXPECT_TRUE(isMember(db, "bob", "Sales"));
    db.RemoveUserFromGroup("bob", "Sales");
    EXPECT_FALSE(isMember(db, "bob", "Sales"));
    EXPECT_FALSE(errorOf([&] { db.AddUserToGroup("bob", "NoSuchGroup"); }).empty());

    // The account survives a new login to the workgroup.
    dm.Disconnect();
    ASSERT_TRUE(dm.Connect(mdb_, mdwA_, "admin", "secret", dvDAO36));
    EXPECT_EQ(db.GetUsers()->Item(com::Variant("bob"))->Name(), "bob");

    db.DeleteUser("bob");
    db.DeleteGroup("Sales");
    EXPECT_EQ(db.GetUsers()->Count(), users);
    EXPECT_EQ(db.GetGroups()->Count(), groups);
    EXPECT_FALSE(errorOf([&] { db.DeleteUser("bob"); }).empty());
    EXPECT_GT(db.GetContainers()->Count(), 0);
}

} // namespace
