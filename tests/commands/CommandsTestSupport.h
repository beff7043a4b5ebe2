#pragma once
// Shared by the command tests: throwaway workgroup and database files made through the engine, the
// application objects created in start-up order with the dialog hooks installed, and the popup menus of
// both grids driven by real right clicks.
#include "app/AppObjects.h"
#include "app/fm_Main.h"
#include "dao/Dao.h"
#include "grids/control/StringGrid.h"
#include "ui/Dialogs.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <memory>
#include <string>

// Workgroup: admin (no password, in Admins), alice (password "alice1", in Sales), bob and zed (no
// password, zed sorting after the hidden system users), group Sales. Database made by admin: tables
// "Orders" and "Lines", form "Main". Explicit values: Sales 20000 (ReadSec) on Orders, alice 4 on
// Orders, bob 1000C on Lines, alice 10 on the Tables container, the group Users nothing on both tables.
struct TCommandFiles {
    QString dir;
    QString mdw;
    QString mdb;
};
TCommandFiles MakeCommandFiles(const QString& dir);

// A workspace on the test workgroup, for checks and changes behind the window's back.
dao::WorkspacePtr LoginWorkspace(const QString& mdw, const std::string& user = "admin",
                                 const std::string& password = "");
// The explicit permissions of account on an object ("<container>" for the container), read as admin.
std::int32_t ExplicitPermissions(const TCommandFiles& files, const std::string& container,
                                 const std::string& object, const std::string& account);
// Whether the workgroup holds a user or group of that name.
bool AccountExists(const TCommandFiles& files, const std::string& name);
// Adds a document straight into the database file, as files made before names were checked may hold
// one the engine would now refuse. Its owner and type are those of the container's other documents.
void PlantDocument(const TCommandFiles& files, const std::string& container, const std::string& name);
// Creates a user as admin behind the window's back; seeing it in the matrix proves that a refresh ran.
void CreateUserBehindTheBack(const TCommandFiles& files, const std::string& name);

class TCommandApp {
public:
    TCommandApp(const QString& settingsFile, const TCommandFiles& files);
    ~TCommandApp();

    TForm1& form() { return *objects->Form1; }
    template <class T> T* find(const char* name) { return form().findChild<T*>(QLatin1String(name)); }
    TStringGrid& perms() { return *find<TStringGrid>("asg_Perms"); }
    TStringGrid& matrix() { return *find<TStringGrid>("asg_UG"); }

    // Logs in with these fields of the first tab and refreshes.
    void login(const QString& user = QStringLiteral("admin"), const QString& password = QString());

    // The real row of an (object, account) permissions row, -1 when there is none; and whether it is shown.
    int permRow(const QString& container, const QString& object, const QString& account);
    bool permRowShown(const QString& container, const QString& object, const QString& account);
    // A cell of that row; empty when the row does not exist.
    QString permCell(const QString& container, const QString& object, const QString& account, int col);
    // The real row of a user in the matrix and the column of a group, -1 when absent.
    int userRow(const QString& user);
    int groupCol(const QString& group);

    // Right-clicks a cell (real row) and returns the names of the popup's enabled items; when trigger
    // names an enabled item it is chosen, as a click on it would.
    QStringList rightClick(TStringGrid& grid, int realRow, int col, const char* trigger = nullptr);

    ui::DialogHooks hooks;
    std::unique_ptr<TAppObjects> objects;

private:
    TCommandFiles m_files;
};
