#include "jet/dm_Inspect.h"

Tdm_Inspect* dm_Inspect = nullptr;

Tdm_Inspect::Tdm_Inspect() {
    // Stored settings of the components. The workgroup path is only a placeholder: Connect always
    // replaces it before an open.
    db1.BeginLoading();
    db1.SetExecOptions({doConsistent, doFailOnError});
    db1.SetSystemDB("C:\\Program Files\\Common Files\\System\\System.mdw");
    db1.SetUseDAOVersion(dvDAO36);
    db1.SetUserName("admin");
    db1.Loaded();

    tbl1.SetDatabase(&db1);
    tbl1.SetOptions({dsDenyWrite, dsConsistent, dsSeeChanges});
    tbl1.SetTableName("MyTable1");
    tbl1.SetUseDAOVersion(dvDAO36);

    qry1.SetDatabase(&db1);
    qry1.SetExecOptions({doConsistent, doFailOnError});
    qry1.SetOptions({dsConsistent, dsSeeChanges});
    qry1.SetUseDAOVersion(dvDAO36);
}

Tdm_Inspect::~Tdm_Inspect() {
    try {
        Disconnect();
    } catch (...) {
        // Releasing cannot be reported from a destructor; db1's own destructor releases what is left.
    }
}

bool Tdm_Inspect::Connect(const std::string& databasePath, const std::string& workgroupPath,
                          const std::string& userName, const std::string& password, TDAOVersion version) {
    db1.SetDatabaseName(databasePath);
    db1.SetSystemDB(workgroupPath);
    db1.SetUserName(userName);
    db1.SetPassword(password);
    db1.SetUseDAOVersion(version);
    db1.SetConnected(true);
    tbl1.SetUseDAOVersion(version);
    qry1.SetUseDAOVersion(version);
    return db1.Connected();
}

bool Tdm_Inspect::Connect(const TLogin& login) {
    Disconnect();
    return Connect(login.Database, login.Workgroup, login.UserName, login.Password, login.Version);
}

void Tdm_Inspect::Disconnect() {
    db1.SetConnected(false);
}
