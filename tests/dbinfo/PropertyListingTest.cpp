// One collection's block of the property listing, on fake Properties collections.
#include "dbinfo/PropertyListing.h"

#include <gtest/gtest.h>

#include <QStringList>

#include <functional>
#include <vector>

using com::Variant;

namespace {

// A property: its name (empty: reading the name fails) and a value source that may throw.
struct FakeEntry {
    std::string name;
    std::function<Variant()> value;
};

class FakeProperty : public dao::Property {
public:
    explicit FakeProperty(FakeEntry e) : e_(std::move(e)) {}
    std::string Name() override {
        if (e_.name.empty()) throw dao::DaoError(dao::errNotSupported, "Name is not available.");
        return e_.name;
    }
    Variant Value() override { return e_.value(); }

private:
    FakeEntry e_;
};

// Fetching an entry without a value source fails; so does Count when failCount is set.
class FakeProperties : public dao::Properties {
public:
    explicit FakeProperties(std::vector<FakeEntry> entries) : entries_(std::move(entries)) {}
    std::int16_t Count() override {
        if (failCount) throw dao::DaoError(dao::errUnexpected, "Count failed.");
        return static_cast<std::int16_t>(entries_.size());
    }
    dao::PropertyPtr Item(const Variant& key) override {
        asked.push_back(key.type() == com::VarType::Int32 ? key.toInt32() : -1);
        const FakeEntry& e = entries_.at(static_cast<std::size_t>(key.toInt32()));
        if (!e.value) throw dao::DaoError(dao::errItemNotFound, "Item not found in this collection.");
        return std::make_shared<FakeProperty>(e);
    }
    bool failCount = false;
    std::vector<std::int32_t> asked; // the 32-bit indices asked for; -1 for another kind of key

private:
    std::vector<FakeEntry> entries_;
};

FakeEntry entry(std::string name, Variant value) {
    return {std::move(name), [value] { return value; }};
}
template <class E> FakeEntry failing(std::string name, E error) {
    return {std::move(name), [error]() -> Variant { throw error; }};
}

QStringList list(const QString& title, const dao::PropertiesPtr& properties) {
    QStringList lines;
    dbinfo::ListProperties([&](const QString& line) { lines << line; }, title, properties);
    return lines;
}

const QString Hyphens53 = QStringLiteral("-----------------------------------------------------");

} // namespace

TEST(ListProperties, HeadThenOneLinePerIndexEachFailureOnItsOwnLine) {
    auto props = std::make_shared<FakeProperties>(std::vector<FakeEntry>{
        entry("Name", Variant("C:\\shop.mdb")),
        entry("Description", Variant()),
        {"Hidden", nullptr},
        entry("", Variant(2)),
        failing("Connection", dao::DaoError(dao::errNotSupported, "Not in a Jet workspace.")),
        entry("ReplicaID", Variant::null()),
        failing("Odd", std::runtime_error("plain failure")),
        failing("Silent", dao::DaoError(dao::errUnexpected, "")),
        entry("Updatable", Variant(true))});
    const QStringList lines = list("Database Properties", props);
    ASSERT_EQ(Hyphens53.size(), 53);
    const QStringList expected{
        Hyphens53,
        "Database Properties",
        Hyphens53,
        "0: Name = C:\\shop.mdb",
        "1: Description = ",
        "2: Error: Item not found in this collection.",
        "3: Error: Name is not available.",
        "4: Connection = Error: Not in a Jet workspace.",
        "5: ReplicaID = Error: Could not convert variant of type (Null) into type (String)",
        "6: Odd = Error: plain failure",
        lines.value(10), // checked below: the message of a bare DAO error
        "8: Updatable = True"};
    EXPECT_EQ(lines, expected);
    EXPECT_TRUE(lines.value(10).startsWith("7: Silent = Error: ") && lines.value(10).size() > 19);
    EXPECT_EQ(props->asked, (std::vector<std::int32_t>{0, 1, 2, 3, 4, 5, 6, 7, 8}));
}

TEST(ListProperties, MissingEmptyAndUncountableCollections) {
    EXPECT_EQ(list("T", nullptr), (QStringList{Hyphens53, "T", Hyphens53, "--- none ---"}));
    EXPECT_EQ(list("T", std::make_shared<FakeProperties>(std::vector<FakeEntry>{})),
              (QStringList{Hyphens53, "T", Hyphens53}));

    // A failing Count ends the listing after the head and passes on.
    auto props = std::make_shared<FakeProperties>(std::vector<FakeEntry>{entry("A", Variant(1))});
    props->failCount = true;
    QStringList lines;
    EXPECT_THROW(dbinfo::ListProperties([&](const QString& line) { lines << line; }, "T", props),
                 std::exception);
    EXPECT_EQ(lines, (QStringList{Hyphens53, "T", Hyphens53}));
    EXPECT_TRUE(props->asked.empty());
}
