// The demo files: system.mdw with a handful of staff accounts, shop.mdb secured the way a careful
// administrator secures a small shop database (made and owned by its own administrator account, the
// Users group stripped of rights) but for a few planted slips, and legacy97.mdb left at the engine's
// defaults.
#include "keyloupe-jet/Demo.h"

#include "keyloupe-jet/Commands.h"
#include "keyloupe-jet/Options.h"
#include "keyloupe-jet/Session.h"

#include <stdexcept>
#include <string>
#include <vector>

namespace jettool {

using com::Variant;

namespace {

// Permission values, as the permissions grid spells the rights.
constexpr std::int32_t Create = 0x00001;
constexpr std::int32_t ReadSec = 0x20000;
constexpr std::int32_t TableRead = 0x00014;   // ReadDef + RetrieveData
constexpr std::int32_t TableEdit = 0x00074;   // ... + InsertData + ReplaceData
constexpr std::int32_t TableAll = 0x000F4;    // ... + DeleteData
constexpr std::int32_t FormOpen = 0x00100;    // Open/Run
constexpr std::int32_t FormRead = 0x00104;    // Open/Run + ReadDef
constexpr std::int32_t MacroRead = 0x0000A;   // MacReadDef (includes MacExecute)
constexpr std::int32_t MacroRun = 0x00008;    // MacExecute
constexpr std::int32_t ModuleRead = 0x00002;  // ModReadDef
constexpr std::int32_t ModuleWrite = 0x10006; // ModWriteDef
constexpr std::int32_t DbOpen = 0x00002;      // DBOpen on MSysDb

// shopadmin made shop.mdb and owns it; frank is the temp whose password nobody set.
constexpr DemoAccount Users[] = {
    {"shopadmin", "shopadmin-pid-1000", "shopadmin1", {"Admins", ""}, false},
    {"alice", "alice-pid-1001", "alice1", {"Sales", ""}, false},
    {"bob", "bob-pid-1002", "bob1", {"Sales", "Managers"}, false},
    {"carol", "carol-pid-1003", "carol1", {"Managers", ""}, false},
    {"dave", "dave-pid-1004", "dave1", {"Auditors", ""}, false},
    {"erin", "erin-pid-1005", "erin1", {"Sales", ""}, true},
    {"frank", "frank-pid-1006", "", {"Sales", ""}, false},
};

constexpr const DemoAccount& ShopAdmin = Users[0];

constexpr std::array<std::string_view, 2> Groups[] = {
    {"Sales", "sales-pid-2001"},
    {"Managers", "managers-pid-2002"},
    {"Auditors", "auditors-pid-2003"},
};

const char* const ShopTables[] = {"Categories", "Customers", "Employees", "OrderLines",
                                  "Orders",     "Products",  "Suppliers"};
// Jet keeps saved queries as documents of the Tables container.
const char* const ShopQueries[] = {"qryCustomerOrders", "qryOrderTotals", "qryProductsBySupplier",
                                   "qrySalesByRegion"};
const char* const ShopForms[] = {"frmCustomers", "frmOrders", "frmProducts", "frmSwitchboard"};
const char* const ShopReports[] = {"rptInvoice", "rptSalesByMonth", "rptStockList"};
const char* const ShopMacros[] = {"AutoExec", "mcrDailyExport"};
const char* const ShopModules[] = {"modPricing", "modUtilities"};

// The containers whose documents are the shop's own objects.
const char* const ObjectContainers[] = {"Tables", "Forms", "Reports", "Scripts", "Modules"};

bool isSystemObject(const std::string& name) {
    return name.size() >= 4 && name.compare(0, 4, "MSys") == 0;
}

void setPermissions(dao::Database& db, const std::string& container, const std::string& object,
                    const std::string& account, std::int32_t value) {
    auto target = findObject(db, container, object);
    target->SetUserName(account);
    target->SetPermissions(value);
}

// Explicit rights on a container that documents created later take over.
void setInheritedPermissions(dao::Database& db, const std::string& container, const std::string& account,
                             std::int32_t value) {
    dao::ContainerPtr target = FindContainer(db.Containers(), container);
    target->SetUserName(account);
    target->SetInherit(true);
    target->SetPermissions(value);
}

template <class Names>
void grantAll(dao::Database& db, const std::string& container, const Names& names, const std::string& account,
              std::int32_t value) {
    for (const char* name : names)
        setPermissions(db, container, name, account, value);
}

void createAccounts(dao::Workspace& ws) {
    for (const auto& group : Groups)
        ws.Groups()->Append(ws.CreateGroup(Variant(std::string(group[0])), Variant(std::string(group[1]))));
    for (const DemoAccount& user : Users) {
        ws.Users()->Append(ws.CreateUser(Variant(std::string(user.name)), Variant(std::string(user.pid)),
                                         Variant(std::string(user.password))));
        for (std::string_view groupName : user.groups) {
            if (groupName.empty()) continue;
            dao::GroupPtr group = ws.Groups()->Item(Variant(std::string(groupName)));
            group->Users()->Append(group->CreateUser(Variant(std::string(user.name)), Variant(), Variant()));
        }
    }
}

// Users, which every account belongs to, keeps only the right to open the database; the system
// tables keep the engine's defaults.
void secureUsersGroup(dao::Database& db) {
    dao::ContainersPtr containers = db.Containers();
    const int containerCount = containers->Count();
    for (int i = 0; i < containerCount; ++i) {
        dao::ContainerPtr container = containers->Item(Variant(std::int32_t{i}));
        const std::string containerName = container->Name();
        container->SetUserName("Users");
        container->SetPermissions(0);
        dao::DocumentsPtr documents = container->Documents();
        const std::int32_t documentCount = documents->Count();
        for (std::int32_t k = 0; k < documentCount; ++k) {
            dao::DocumentPtr document = documents->Item(Variant(k));
            const std::string name = document->Name();
            if (containerName == "Databases" && name == "MSysDb") {
                document->SetUserName("Users");
                document->SetPermissions(DbOpen);
            } else if (!(containerName == "Tables" && isSystemObject(name))) {
                document->SetUserName("Users");
                document->SetPermissions(0);
            }
        }
    }
}

// Auditors may read the security of every container and of the shop's own objects.
void grantAuditors(dao::Database& db) {
    setPermissions(db, "Databases", ContainerObjectName, "Auditors", ReadSec);
    for (const char* containerName : ObjectContainers) {
        setInheritedPermissions(db, containerName, "Auditors", ReadSec);
        dao::DocumentsPtr documents = FindContainer(db.Containers(), containerName)->Documents();
        const std::int32_t documentCount = documents->Count();
        for (std::int32_t k = 0; k < documentCount; ++k) {
            dao::DocumentPtr document = documents->Item(Variant(k));
            if (isSystemObject(document->Name())) continue;
            document->SetUserName("Auditors");
            document->SetPermissions(ReadSec);
        }
    }
}

void buildShop(dao::Workspace& ws, const std::string& path) {
    dao::DatabasePtr db = ws.CreateDatabase(path, "4.0");
    for (const char* name : ShopTables)
        db->CreateDocument("Tables", name);
    for (const char* name : ShopQueries)
        db->CreateDocument("Tables", name);
    for (const char* name : ShopForms)
        db->CreateDocument("Forms", name);
    for (const char* name : ShopReports)
        db->CreateDocument("Reports", name);
    for (const char* name : ShopMacros)
        db->CreateDocument("Scripts", name);
    for (const char* name : ShopModules)
        db->CreateDocument("Modules", name);

    secureUsersGroup(*db);

    // Sales staff work with customers and orders, look up products, and run the order forms.
    for (const char* name : {"Customers", "Orders", "OrderLines"})
        setPermissions(*db, "Tables", name, "Sales", TableEdit);
    for (const char* name : {"Categories", "Products", "Suppliers", "qryCustomerOrders", "qryOrderTotals"})
        setPermissions(*db, "Tables", name, "Sales", TableRead);
    grantAll(*db, "Forms", ShopForms, "Sales", FormOpen);
    setPermissions(*db, "Reports", "rptInvoice", "Sales", FormOpen);
    setPermissions(*db, "Scripts", "AutoExec", "Sales", MacroRun);

    // Managers have all the data, read every form and report, and may create reports, which then
    // carry their rights.
    grantAll(*db, "Tables", ShopTables, "Managers", TableAll);
    grantAll(*db, "Tables", ShopQueries, "Managers", TableAll);
    grantAll(*db, "Forms", ShopForms, "Managers", FormRead);
    grantAll(*db, "Reports", ShopReports, "Managers", FormRead);
    grantAll(*db, "Scripts", ShopMacros, "Managers", MacroRead);
    grantAll(*db, "Modules", ShopModules, "Managers", ModuleRead);
    setInheritedPermissions(*db, "Reports", "Managers", FormRead | Create);

    grantAuditors(*db);

    // carol maintains the pricing code.
    setPermissions(*db, "Modules", "modPricing", "carol", ModuleWrite);

    // erin had her own rights before she left; deleting her account later leaves them as orphans.
    setPermissions(*db, "Tables", "Customers", "erin", TableAll);
    setPermissions(*db, "Tables", "Orders", "erin", TableAll);
    setPermissions(*db, "Forms", "frmCustomers", "erin", FormOpen);

    // bob built the sales analysis.
    for (auto [container, object] :
         {std::pair{"Tables", "qrySalesByRegion"}, std::pair{"Reports", "rptSalesByMonth"},
          std::pair{"Scripts", "mcrDailyExport"}})
        findObject(*db, container, object)->SetOwner("bob");

    // A report made after the Reports container was set up takes over the inheritable entries.
    db->CreateDocument("Reports", "rptQuarterlyReview");

    // Administrators may read the security table itself.
    auto aces = findObject(*db, "Tables", "MSysACEs");
    aces->SetUserName("Admins");
    aces->SetPermissions(aces->Permissions() | TableRead);
}

// The slips a careful administrator still makes, for the findings to name: Users, which is the same
// group in every workgroup file, kept the right to change Products and to open the stock list, and a
// form imported in a session as admin, the same user in every workgroup file, is still admin's.
void plantWeaknesses(dao::Database& db) {
    setPermissions(db, "Tables", "Products", "Users", TableEdit);
    setPermissions(db, "Reports", "rptStockList", "Users", FormOpen);
    findObject(db, "Forms", "frmSwitchboard")->SetOwner("admin");
}

void buildLegacy(dao::Workspace& ws, const std::string& path) {
    dao::DatabasePtr db = ws.CreateDatabase(path, "3.0");
    for (const char* name : {"Calls", "Companies", "Contacts"})
        db->CreateDocument("Tables", name);
    db->CreateDocument("Tables", "qryOpenCalls");
    db->CreateDocument("Forms", "frmContacts");
    db->CreateDocument("Reports", "rptCallList");
    db->CreateDocument("Scripts", "AutoExec");
    db->CreateDocument("Modules", "modHelpers");
}

} // namespace

std::span<const DemoAccount> demoUsers() {
    return Users;
}

std::span<const std::array<std::string_view, 2>> demoGroups() {
    return Groups;
}

DemoFiles::DemoFiles(const std::filesystem::path& dir, std::initializer_list<std::string_view> names) {
    std::error_code ec;
    if (std::filesystem::exists(dir, ec) && !std::filesystem::is_directory(dir, ec))
        throw std::runtime_error("not a directory: " + dir.string());
    for (std::string_view name : names) {
        std::filesystem::path path = dir / name;
        if (std::filesystem::exists(std::filesystem::symlink_status(path, ec)))
            throw std::runtime_error("demo file already exists, not overwriting it: " + path.string());
        paths_.push_back(path);
    }
    std::filesystem::create_directories(dir, ec);
    if (ec) throw std::runtime_error("cannot create directory " + dir.string() + ": " + ec.message());
}

DemoFiles::~DemoFiles() {
    if (done_) return;
    std::error_code ec;
    for (const auto& path : paths_)
        std::filesystem::remove(path, ec);
}

void DemoFiles::commit(std::ostream& out) {
    done_ = true;
    for (const auto& path : paths_)
        out << "wrote " << path.string() << '\n';
}

void makeShopDemo(const std::filesystem::path& dir, std::ostream& out) {
    DemoFiles files(dir, {DemoWorkgroupFile, DemoShopFile, DemoLegacyFile});
    dao::CreateWorkgroupFile(files.path(0), "Keyloupe Demo", "Keyloupe Shop Ltd", "KLDEMO-2024");
    // shop.mdb is a Jet 4.0 database, so the demo is always made with DAO 3.6.
    Session session("3.6", files.path(0), "admin", "");
    dao::Workspace& ws = session.workspace();
    createAccounts(ws);
    {
        // The shop's own administrator makes it, so that it and its objects are not admin's.
        Session shopAdmin("3.6", files.path(0), std::string(ShopAdmin.name), std::string(ShopAdmin.password));
        buildShop(shopAdmin.workspace(), files.path(1));
        plantWeaknesses(*shopAdmin.openDatabase(files.path(1), false));
    }
    for (const DemoAccount& user : Users)
        if (user.deleted) ws.Users()->Delete(std::string(user.name));
    buildLegacy(ws, files.path(2));
    files.commit(out);
}

void cmdDemo(const Invocation& inv, std::ostream& out) {
    const std::filesystem::path dir = inv.arg(0);
    if (inv.options.empty()) {
        makeShopDemo(dir, out);
        return;
    }
    SyntheticSize size;
    // Account collections count in 16 bits; leave room for the built-in accounts.
    size.objects = parseCount("objects", inv.option("objects", "0"), 1'000'000);
    size.users = parseCount("users", inv.option("users", "0"), 20'000);
    size.groups = parseCount("groups", inv.option("groups", "0"), 10'000);
    makeSyntheticDemo(dir, size, out);
}

} // namespace jettool
