#pragma once
// The workgroups and databases the suites work on, all made through the engine with the helpers of
// Engine.h. Each maker takes a folder that exists and returns the paths of what it made there.
#include <QString>

#include <string>

namespace kltest {

// A workgroup file and a database in one folder.
struct TTestFiles {
    QString dir;
    QString mdw;
    QString mdb;
    std::string mdwPath() const { return mdw.toStdString(); }
    std::string mdbPath() const { return mdb.toStdString(); }
};

// test.mdw: admin (no password, in Admins), alice (password "alice1", in Sales), bob (no password),
// group Sales. test.mdb, made by admin: table "Orders", form "Main", the engine's defaults otherwise.
TTestFiles makeBasicFiles(const QString& dir);

// cmd.mdw and cmd.mdb: as makeBasicFiles plus user zed (no password, sorting after the hidden system
// users) and table "Lines". Explicit values: the group Sales holds ReadSec alone (20000) on Orders, alice
// 4 on Orders, bob 1000C on Lines, alice 10 on the Tables container, and the group Users nothing on
// both tables, so that bob may neither read nor change their security.
TTestFiles makeCommandFiles(const QString& dir);

// w.mdw with user zoe (password "zoe1"), and two databases made by admin: readable.mdb, where Admins
// may read MSysACEs and zoe may read the tables Orders and Customers (two non-zero rights that become
// orphans when her account goes), and locked.mdb at the engine's defaults, where nobody may read
// MSysACEs.
struct TInfoFiles {
    QString mdw;
    QString readable;
    QString locked;
};
inline constexpr int ZoeGrants = 2;
TInfoFiles makeInfoFiles(const QString& dir);

// Two workgroups: a.mdw, whose admin has the password "secret" and holds shop.mdb (table "Orders",
// admin may read MSysACEs) and old.mdb (Jet 3.0, for DAO 3.5); b.mdw, with user alice (password "pw",
// in Users, which may open databases).
struct TTwoWorkgroups {
    std::string mdwA;
    std::string mdwB;
    std::string mdb;
    std::string mdb30;
};
TTwoWorkgroups makeTwoWorkgroups(const std::string& dir);

} // namespace kltest
