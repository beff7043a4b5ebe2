#pragma once
// The main window for the GUI tests: the application objects created in start-up order with every
// message box, confirmation and modal dialog answered by the hooks, access to widgets by object name,
// and the grids read and right-clicked as a user does.
#include "app/AppObjects.h"
#include "app/fm_Main.h"
#include "grids/control/StringGrid.h"
#include "support/TestFiles.h"
#include "ui/Dialogs.h"

#include <QString>
#include <QStringList>

#include <memory>

namespace kltest {

class TAppFixture {
public:
    // The window stays hidden.
    explicit TAppFixture(const QString& settingsFile);
    // The window shown (offscreen) and large enough that the cells to click are on screen; login() uses
    // these files.
    TAppFixture(const QString& settingsFile, const TTestFiles& files);
    ~TAppFixture();
    TAppFixture(const TAppFixture&) = delete;
    TAppFixture& operator=(const TAppFixture&) = delete;

    TForm1& form() { return *objects->Form1; }
    template <class T> T* find(const char* name) { return form().findChild<T*>(QLatin1String(name)); }
    TStringGrid& perms() { return *find<TStringGrid>("asg_Perms"); }
    TStringGrid& matrix() { return *find<TStringGrid>("asg_UG"); }

    // Fills the four login fields of the first tab.
    void setLogin(const QString& db, const QString& mdw, const QString& user = QStringLiteral("admin"),
                  const QString& password = QString());
    // Logs in to the fixture's files with these fields and refreshes.
    void login(const QString& user = QStringLiteral("admin"), const QString& password = QString());
    QString summary();
    // Makes the tab current, as a click on it does.
    void showTab(const char* name);

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
    TTestFiles files;
};

} // namespace kltest
