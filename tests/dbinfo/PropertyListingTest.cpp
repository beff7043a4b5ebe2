// One collection's block of the property listing, on fake Properties collections.
#include "PropertyListing.h"

#include <gtest/gtest.h>

#include <QStringList>

#include <functional>
#include <optional>
#include <vector>

using com::Variant;

namespace {

// A property whose name and value are given, or fail with a DAO error.
struct FakeEntry {
    std::string name;
    std::function<Variant()> value;
    bool failItem = false;
    bool failName = false;
};

class FakeProperty : public dao::Property {
public:
    explicit FakeProperty(FakeEntry e) : e_(std::move(e)) {}
    std::string Name() override {
        if (e_.failName) throw dao::DaoError(dao::errNotSupported, "Name is not available.");
        return e_.name;
    }
    Variant Value() override { return e_.value(); }

private:
    FakeEntry e_;
};

class FakeProperties : public dao::Properties {
public:
    explicit FakeProperties(std::vector<FakeEntry> entries) : entries_(std::move(entries)) {}
    std::int16_t Count() override {
        if (failCount) throw dao::DaoError(dao::errUnexpected, "Count failed.");
        return static_cast<std::int16_t>(entries_.size());
    }
    dao::PropertyPtr Item(const Variant& key) override {
        // The listing asks by a 32-bit integer index.
        EXPECT_EQ(key.type(), com::VarType::Int32);
        const std::int32_t i = key.toInt32();
        asked.push_back(i);
        const FakeEntry& e = entries_.at(static_cast<std::size_t>(i));
        if (e.failItem) throw dao::DaoError(dao::errItemNotFound, "Item not found in this collection.");
        return std::make_shared<FakeProperty>(e);
    }
    bool failCount = false;
    std::vector<std::int32_t> asked;

private:
    std::vector<FakeEntry> entries_;
};

FakeEntry entry(std::string name, Variant value) {
    return {std::move(name), [value] { return value; }};
}

QStringList list(const QString& title, const dao::PropertiesPtr& properties) {
    QStringList lines;
    dbinfo::ListProperties([&](const QString& line) { lines << line; }, title, properties);
    return lines;
}

const QString Hyphens53 = QStringLiteral("-----------------------------------------------------");

} // namespace

TEST(ListProperties, BlockHasHeadAndOneLinePerPropertyByIndex) {
    ASSERT_EQ(Hyphens53.size(), 53);
    EXPECT_EQ(dbinfo::PropSeparator, Hyphens53);
    auto props = std::make_shared<FakeProperties>(std::vector<FakeEntry>{
        entry("Name", Variant("C:\\shop.mdb")), entry("Updatable", Variant(true)),
        entry("CollatingOrder", Variant(std::int32_t{1033})), entry("Description", Variant())});
    const QStringList lines = list(QStringLiteral("Database Properties"), props);
    const QStringList expected{Hyphens53,
                               QStringLiteral("Database Properties"),
                               Hyphens53,
                               QStringLiteral("0: Name = C:\\shop.mdb"),
                               QStringLiteral("1: Updatable = True"),
                               QStringLiteral("2: CollatingOrder = 1033"),
                               QStringLiteral("3: Description = ")};
    EXPECT_EQ(lines, expected);
    EXPECT_EQ(props->asked, (std::vector<std::int32_t>{0, 1, 2, 3}));
}

TEST(ListProperties, MissingOrEmptyCollections) {
    EXPECT_EQ(list(QStringLiteral("DBEngine Properties"), nullptr),
              (QStringList{Hyphens53, QStringLiteral("DBEngine Properties"), Hyphens53,
                           QStringLiteral("--- none ---")}));
    auto empty = std::make_shared<FakeProperties>(std::vector<FakeEntry>{});
    EXPECT_EQ(list(QStringLiteral("Workspace Properties"), empty),
              (QStringList{Hyphens53, QStringLiteral("Workspace Properties"), Hyphens53}));
    EXPECT_TRUE(empty->asked.empty());
}

TEST(ListProperties, EachFailureStaysOnItsOwnLine) {
    FakeEntry badItem = entry("Hidden", Variant(1));
    badItem.failItem = true;
    FakeEntry badName = entry("Nameless", Variant(2));
    badName.failName = true;
    FakeEntry badValue{"Connection", []() -> Variant {
                           throw dao::DaoError(
                               dao::errNotSupported,
                               "The Connection property is not available in a Jet workspace.");
                       }};
    FakeEntry foreignFailure{"Odd", []() -> Variant { throw std::runtime_error("plain failure"); }};
    // A DAO error without a description still shows a message.
    FakeEntry silentFailure{"Silent", []() -> Variant { throw dao::DaoError(dao::errUnexpected, ""); }};
    auto props = std::make_shared<FakeProperties>(
        std::vector<FakeEntry>{badItem, badName, badValue, entry("ReplicaID", Variant::null()),
                               foreignFailure, silentFailure, entry("Version", Variant("4.0"))});
    const QStringList lines = list(QStringLiteral("T"), props);
    ASSERT_EQ(lines.size(), 3 + 7);
    EXPECT_EQ(lines[3], QStringLiteral("0: Error: Item not found in this collection."));
    EXPECT_EQ(lines[4], QStringLiteral("1: Error: Name is not available."));
    EXPECT_EQ(lines[5],
              QStringLiteral(
                  "2: Connection = Error: The Connection property is not available in a Jet workspace."));
    EXPECT_EQ(
        lines[6],
        QStringLiteral("3: ReplicaID = Error: Could not convert variant of type (Null) into type (String)"));
    EXPECT_EQ(lines[7], QStringLiteral("4: Odd = Error: plain failure"));
    EXPECT_TRUE(lines[8].startsWith(QStringLiteral("5: Silent = Error: ")));
    EXPECT_GT(lines[8].size(), QStringLiteral("5: Silent = Error: ").size());
    EXPECT_EQ(lines[9], QStringLiteral("6: Version = 4.0"));
}

TEST(ListProperties, CountFailureEndsTheListingAfterTheHead) {
    auto props = std::make_shared<FakeProperties>(std::vector<FakeEntry>{entry("A", Variant(1))});
    props->failCount = true;
    QStringList lines;
    try {
        dbinfo::ListProperties([&](const QString& line) { lines << line; }, QStringLiteral("T"), props);
        FAIL() << "the Count failure was swallowed";
    } catch (const std::exception& e) {
        EXPECT_STREQ(e.what(), "Count failed.");
    }
    EXPECT_EQ(lines, (QStringList{Hyphens53, QStringLiteral("T"), Hyphens53}));
    EXPECT_TRUE(props->asked.empty());
}
