// The catalogue walk over a fake DAO world whose every value is known: the rows in reading order, the
// owner and inherit cells, "?" after a refused read, and the counters, all worked out by hand.
#include "security/CatalogueReader.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <stdexcept>
#include <vector>

namespace {

using com::Variant;

struct FakeObject {
    std::string name, owner;
    std::map<std::string, std::pair<std::int32_t, std::int32_t>> perms; // account: explicit, effective
    std::set<std::string> refuseExplicit, refuseAll;
    std::map<std::string, bool> inherit;
};
struct FakeContainerData {
    FakeObject self;
    std::vector<FakeObject> docs;
    bool documentsFail = false;
};

[[noreturn]] void notUsed() {
    throw std::logic_error("the walk only reads");
}

template <class Base> class FakeSecured : public Base {
public:
    explicit FakeSecured(FakeObject& o) : o_(o) {}
    std::string Name() override { return o_.name; }
    std::string Owner() override { return o_.owner; }
    void SetOwner(const std::string&) override { notUsed(); }
    std::string UserName() override { return user_; }
    void SetUserName(const std::string& name) override { user_ = name; }
    std::int32_t Permissions() override {
        if (o_.refuseExplicit.count(user_)) throw std::runtime_error("no permission");
        return o_.perms[user_].first;
    }
    std::int32_t AllPermissions() override {
        if (o_.refuseAll.count(user_)) throw std::runtime_error("no permission");
        return o_.perms[user_].second;
    }
    void SetPermissions(std::int32_t) override { notUsed(); }

protected:
    FakeObject& o_;
    std::string user_;
};

class FakeDocument : public FakeSecured<dao::Document> {
public:
    FakeDocument(FakeObject& o, std::string container) : FakeSecured(o), container_(std::move(container)) {}
    std::string Container() override { return container_; }

private:
    std::string container_;
};

class FakeDocuments : public dao::Documents {
public:
    explicit FakeDocuments(FakeContainerData& c) : c_(c) {}
    std::int32_t Count() override { return static_cast<std::int32_t>(c_.docs.size()); }
    dao::DocumentPtr Item(const Variant& key) override {
        return std::make_shared<FakeDocument>(c_.docs.at(static_cast<std::size_t>(key.toInt32())),
                                              c_.self.name);
    }

private:
    FakeContainerData& c_;
};

class FakeContainer : public FakeSecured<dao::Container> {
public:
    explicit FakeContainer(FakeContainerData& c) : FakeSecured(c.self), c_(c) {}
    bool Inherit() override { return o_.inherit[user_]; }
    void SetInherit(bool) override { notUsed(); }
    dao::DocumentsPtr Documents() override {
        if (c_.documentsFail) throw std::runtime_error("the documents cannot be read");
        return std::make_shared<FakeDocuments>(c_);
    }

private:
    FakeContainerData& c_;
};

class FakeContainers : public dao::Containers {
public:
    explicit FakeContainers(std::vector<FakeContainerData>& all) : all_(all) {}
    std::int16_t Count() override { return static_cast<std::int16_t>(all_.size()); }
    dao::ContainerPtr Item(const Variant& key) override {
        return std::make_shared<FakeContainer>(all_.at(static_cast<std::size_t>(key.toInt32())));
    }

private:
    std::vector<FakeContainerData>& all_;
};

class FakeUser : public dao::User {
public:
    explicit FakeUser(std::string name) : name_(std::move(name)) {}
    std::string Name() override { return name_; }
    void SetName(const std::string&) override { notUsed(); }
    void SetPID(const std::string&) override { notUsed(); }
    void SetPassword(const std::string&) override { notUsed(); }
    dao::GroupsPtr Groups() override { notUsed(); }
    void NewPassword(const std::string&, const std::string&) override { notUsed(); }

private:
    std::string name_;
};

class FakeGroup : public dao::Group {
public:
    explicit FakeGroup(std::string name) : name_(std::move(name)) {}
    std::string Name() override { return name_; }
    void SetName(const std::string&) override { notUsed(); }
    void SetPID(const std::string&) override { notUsed(); }
    dao::UsersPtr Users() override { notUsed(); }
    dao::UserPtr CreateUser(const Variant&, const Variant&, const Variant&) override { notUsed(); }

private:
    std::string name_;
};

template <class Base, class Account, class Ptr> class FakeAccounts : public Base {
public:
    explicit FakeAccounts(std::vector<std::string> names) : names_(std::move(names)) {}
    std::int16_t Count() override { return static_cast<std::int16_t>(names_.size()); }
    Ptr Item(const Variant& key) override {
        return std::make_shared<Account>(names_.at(static_cast<std::size_t>(key.toInt32())));
    }
    void Append(const Ptr&) override { notUsed(); }
    void Delete(const std::string&) override { notUsed(); }
    void Refresh() override { notUsed(); }

private:
    std::vector<std::string> names_;
};
using FakeUsers = FakeAccounts<dao::Users, FakeUser, dao::UserPtr>;
using FakeGroups = FakeAccounts<dao::Groups, FakeGroup, dao::GroupPtr>;

class Recorder : public TPermRowWriter {
public:
    void WriteRow(std::int32_t RowIndex, const TPermRow& Row) override { rows.emplace_back(RowIndex, Row); }
    std::vector<std::pair<std::int32_t, TPermRow>> rows;
};

// Users alice and bob, groups Staff and Users: each object gives four rows in that order.
std::vector<FakeContainerData> world() {
    FakeContainerData forms;
    forms.self = {"Forms", "Staff", {{"alice", {0x100, 0x104}}, {"Staff", {0x4, 0x4}}},
                  {},      {},      {{"alice", true}}};
    forms.docs.push_back({"Main", "alice", {{"alice", {0xC, 0xC}}, {"Users", {0x2, 0x2}}}, {"bob"}, {}, {}});
    forms.docs.push_back({"Secret", "<Unknown>", {{"alice", {0x8, 0x8}}}, {}, {"alice"}, {}});
    FakeContainerData tables;
    tables.self = {"Tables", "admin", {{"Users", {0xFFFFF, 0xFFFFF}}}, {}, {}, {{"Users", true}}};
    tables.docs.push_back(
        {"Orders", "Users", {{"alice", {0x20000, 0x20004}}, {"Users", {0x4, 0x4}}}, {}, {}, {}});
    return {forms, tables};
}

struct Expected {
    const char* container;
    const char* object;
    char kind;
    const char* account;
    std::int32_t explicitValue, effective;
    char inherit, owner;
    bool readFailed;
};

} // namespace

TEST(CatalogueWalk, RowsCellsAndCountersAsWorkedOutByHand) {
    auto data = world();
    auto containers = std::make_shared<FakeContainers>(data);
    dao::UsersPtr users = std::make_shared<FakeUsers>(std::vector<std::string>{"alice", "bob"});
    dao::GroupsPtr groups = std::make_shared<FakeGroups>(std::vector<std::string>{"Staff", "Users"});
    Recorder recorder;
    TCatalogueCounters counters{99, 99};
    WalkCatalogue(containers, users, groups, recorder, counters);

    const Expected expected[] = {
        {"Forms", "<container>", 'U', "alice", 0x100, 0x104, 'T', '-', false},
        {"Forms", "<container>", 'U', "bob", 0, 0, 'F', '-', false},
        {"Forms", "<container>", 'G', "Staff", 0x4, 0x4, 'F', 'O', false}, // a group owns the container
        {"Forms", "<container>", 'G', "Users", 0, 0, 'F', '-', false},
        {"Forms", "Main", 'U', "alice", 0xC, 0xC, '-', 'O', false},
        {"Forms", "Main", 'U', "bob", 0, 0, '-', '-', true}, // Permissions refused
        {"Forms", "Main", 'G', "Staff", 0, 0, '-', '-', false},
        {"Forms", "Main", 'G', "Users", 0x2, 0x2, '-', '-', false},
        {"Forms", "Secret", 'U', "alice", 0x8, 0, '-', '-', true}, // AllPermissions refused
        {"Forms", "Secret", 'U', "bob", 0, 0, '-', '-', false},
        {"Forms", "Secret", 'G', "Staff", 0, 0, '-', '-', false},
        {"Forms", "Secret", 'G', "Users", 0, 0, '-', '-', false},
        {"Tables", "<container>", 'U', "alice", 0, 0, 'F', '-', false},
        {"Tables", "<container>", 'U', "bob", 0, 0, 'F', '-', false},
        {"Tables", "<container>", 'G', "Staff", 0, 0, 'F', '-', false},
        {"Tables", "<container>", 'G', "Users", 0xFFFFF, 0xFFFFF, 'T', '-', false},
        {"Tables", "Orders", 'U', "alice", 0x20000, 0x20004, '-', '-', false},
        {"Tables", "Orders", 'U', "bob", 0, 0, '-', '-', false},
        {"Tables", "Orders", 'G', "Staff", 0, 0, '-', '-', false},
        {"Tables", "Orders", 'G', "Users", 0x4, 0x4, '-', 'O', false}, // a group owns the document
    };
    ASSERT_EQ(recorder.rows.size(), std::size(expected));
    for (std::size_t i = 0; i < std::size(expected); ++i) {
        const Expected& e = expected[i];
        const auto& [index, row] = recorder.rows[i];
        SCOPED_TRACE("row " + std::to_string(i + 1));
        EXPECT_EQ(index, static_cast<std::int32_t>(i + 1));
        EXPECT_EQ(row.Seq, static_cast<std::int32_t>(i + 1));
        EXPECT_EQ(row.Container, e.container);
        EXPECT_EQ(row.ObjectName, e.object);
        EXPECT_EQ(row.Kind, e.kind);
        EXPECT_EQ(row.UGName, e.account);
        EXPECT_EQ(row.Explicit, e.explicitValue);
        EXPECT_EQ(row.Effective, e.effective);
        EXPECT_EQ(row.Inherit, e.inherit);
        EXPECT_EQ(row.Owner, e.owner);
        const std::string letters(row.Letters.begin(), row.Letters.end());
        EXPECT_EQ(letters.find('?') != std::string::npos, e.readFailed) << letters;
        if (e.readFailed) {
            EXPECT_EQ(letters.find_first_not_of("?-"), std::string::npos) << letters;
        }
    }
    // 5 objects x 4 accounts; explicit values not 0 in rows 1, 3, 5, 8, 9, 16, 17 and 20.
    EXPECT_EQ(counters.RowCount, 20);
    EXPECT_EQ(counters.NonZeroCount, 8);
}

TEST(CatalogueWalk, AFailureOutsideARowStopsTheWalkWithTheCountersReached) {
    auto data = world();
    data[0].documentsFail = true; // the container's four rows are written, then its documents fail
    auto containers = std::make_shared<FakeContainers>(data);
    dao::UsersPtr users = std::make_shared<FakeUsers>(std::vector<std::string>{"alice", "bob"});
    dao::GroupsPtr groups = std::make_shared<FakeGroups>(std::vector<std::string>{"Staff", "Users"});
    Recorder recorder;
    TCatalogueCounters counters;
    EXPECT_THROW(WalkCatalogue(containers, users, groups, recorder, counters), std::runtime_error);
    EXPECT_EQ(recorder.rows.size(), 4u);
    EXPECT_EQ(counters.RowCount, 4);
    EXPECT_EQ(counters.NonZeroCount, 2);
}
