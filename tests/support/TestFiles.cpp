#include "support/TestFiles.h"

#include "support/Engine.h"

#include <QDir>

#include <initializer_list>

namespace kltest {

namespace {

constexpr std::int32_t TableRead = 0x14; // ReadDef + RetrieveData

TTestFiles makeFiles(const QString& dir, const QString& stem, const char* workgroupName, const char* wid) {
    QDir().mkpath(dir);
    TTestFiles files{dir, dir + '/' + stem + QStringLiteral(".mdw"),
                     dir + '/' + stem + QStringLiteral(".mdb")};
    dao::registerEngineClasses();
    dao::CreateWorkgroupFile(files.mdwPath(), workgroupName, "Keyloupe Tests", wid);
    return files;
}

void allowTableRead(const dao::DatabasePtr& db, const std::string& table, const std::string& account) {
    grant(db, "Tables", table, account, explicitOf(db, "Tables", table, account) | TableRead);
}

// The group Sales, alice (in Sales), bob and moreUsers (no password), and the database made by admin
// with the tables "Orders" and moreTables and the form "Main".
dao::DatabasePtr addSalesTeam(const TTestFiles& files, std::initializer_list<const char*> moreUsers,
                              std::initializer_list<const char*> moreTables) {
    dao::WorkspacePtr ws = loginTo(files.mdwPath());
    addGroup(ws, "Sales", "sales-pid");
    addUser(ws, "alice", "alice-pid", "alice1");
    addUser(ws, "bob", "bob-pid");
    for (std::string user : moreUsers)
        addUser(ws, user, user + "-pid");
    join(ws, "alice", "Sales");
    dao::DatabasePtr db = ws->CreateDatabase(files.mdbPath(), "4.0");
    db->CreateDocument("Tables", "Orders");
    for (const char* table : moreTables)
        db->CreateDocument("Tables", table);
    db->CreateDocument("Forms", "Main");
    return db;
}

} // namespace

TTestFiles makeBasicFiles(const QString& dir) {
    const TTestFiles files = makeFiles(dir, QStringLiteral("test"), "Test", "wid-1234");
    addSalesTeam(files, {}, {});
    return files;
}

TTestFiles makeCommandFiles(const QString& dir) {
    const TTestFiles files = makeFiles(dir, QStringLiteral("cmd"), "Commands", "wid-5678");
    const dao::DatabasePtr db = addSalesTeam(files, {"zed"}, {"Lines"});
    grant(db, "Tables", "Orders", "Sales", 0x20000);
    grant(db, "Tables", "Orders", "alice", 0x4);
    grant(db, "Tables", "Lines", "bob", 0x1000C);
    grant(db, "Tables", "", "alice", 0x10);
    grant(db, "Tables", "Orders", "Users", 0);
    grant(db, "Tables", "Lines", "Users", 0);
    return files;
}

TInfoFiles makeInfoFiles(const QString& dir) {
    const TTestFiles files = makeFiles(dir, QStringLiteral("w"), "Info", "info-wid-1");
    const TInfoFiles info{files.mdw, dir + QStringLiteral("/readable.mdb"),
                          dir + QStringLiteral("/locked.mdb")};
    dao::WorkspacePtr ws = loginTo(files.mdwPath());
    addUser(ws, "zoe", "zoe-pid-0001", "zoe1");
    dao::DatabasePtr db = ws->CreateDatabase(info.readable.toStdString(), "4.0");
    for (const char* table : {"Orders", "Customers"}) {
        db->CreateDocument("Tables", table);
        allowTableRead(db, table, "zoe");
    }
    allowTableRead(db, "MSysACEs", "Admins");
    ws->CreateDatabase(info.locked.toStdString(), "4.0");
    return info;
}

TTwoWorkgroups makeTwoWorkgroups(const std::string& dir) {
    const QString qdir = QString::fromStdString(dir);
    const TTestFiles a = makeFiles(qdir, QStringLiteral("a"), "Tester", "wg-a-0001");
    const TTestFiles b = makeFiles(qdir, QStringLiteral("b"), "Tester", "wg-b-0002");
    const TTwoWorkgroups files{a.mdwPath(), b.mdwPath(), dir + "/shop.mdb", dir + "/old.mdb"};

    dao::WorkspacePtr wsA = loginTo(files.mdwA);
    wsA->Users()->Item(dao::Variant("admin"))->NewPassword("", "secret");
    dao::DatabasePtr db = wsA->CreateDatabase(files.mdb, "4.0");
    db->CreateDocument("Tables", "Orders");
    // Let admin read the security table so that queries on it return rows.
    allowTableRead(db, "MSysACEs", "admin");
    wsA->CreateDatabase(files.mdb30, "3.0");

    addUser(loginTo(files.mdwB), "alice", "alice-pid-01", "pw");
    return files;
}

} // namespace kltest
