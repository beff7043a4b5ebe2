#pragma once
// The data module every part of the program reaches Jet through: one database component logged in
// with a workgroup file, user name and password, a table component whose DAO version follows the
// database's, and a query component for the SQL the program runs.
#include "jet/DaoDS.h"

#include <string>

// The login a connection is opened with: database, workgroup file, user name, password and DAO version,
// as the Database/Login tab shows them.
struct TLogin {
    std::string Database;
    std::string Workgroup;
    std::string UserName;
    std::string Password;
    TDAOVersion Version = dvDAO36;
};

class Tdm_Inspect {
public:
    Tdm_Inspect();
    ~Tdm_Inspect();
    Tdm_Inspect(const Tdm_Inspect&) = delete;
    Tdm_Inspect& operator=(const Tdm_Inspect&) = delete;

    // Sets the login on db1 (database, workgroup file, user, password, DAO version, in this order) and
    // opens it, then makes tbl1 and qry1 follow the DAO version. Returns whether db1 is connected.
    // Failures of the open pass to the caller with db1 left closed.
    bool Connect(const std::string& databasePath, const std::string& workgroupPath,
                 const std::string& userName, const std::string& password, TDAOVersion version);
    // Closes what is open, then connects with the login.
    bool Connect(const TLogin& login);
    // Closes db1: open datasets first, then the DAO objects are released.
    void Disconnect();

    // db1 is declared first so that it outlives the datasets linked to it.
    TDAODatabase db1{"db1"};
    TDAOTable tbl1{"tbl1"};
    TDAOQuery qry1{"qry1"};
};

// The application's data module; created at start-up after the main window, null before.
extern Tdm_Inspect* dm_Inspect;
