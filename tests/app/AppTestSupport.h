#pragma once
// Shared set-up of the main-window tests: throwaway workgroup and database files made through the
// engine, the application objects created in start-up order, and access to widgets by object name.
#include "app/AppObjects.h"
#include "app/fm_Main.h"
#include "ui/Dialogs.h"

#include <QComboBox>
#include <QTemporaryDir>

#include <memory>
#include <string>

struct TTestFiles {
    QString dir;
    QString mdw;
    QString mdb;
};

// A workgroup with users alice (password "alice1") and bob (no password), group Sales (alice in it),
// and a format-4.0 database created by admin with a table "Orders" and a form "Main".
TTestFiles MakeTestFiles(const QString& dir);

// Opens a workspace on the test files as the given user, for checks behind the window's back.
dao::WorkspacePtr LoginWorkspace(const QString& mdw, const std::string& user = "admin",
                                 const std::string& password = "");

class TAppFixture {
public:
    explicit TAppFixture(const QString& settingsFile);
    ~TAppFixture();

    TForm1& form() { return *objects->Form1; }
    template <class T> T* find(const char* name) { return form().findChild<T*>(QLatin1String(name)); }
    void setLogin(const QString& db, const QString& mdw, const QString& user = QStringLiteral("admin"),
                  const QString& password = QString());
    QString summary();
    // Makes the tab current, as a click on it does.
    void showTab(const char* name);

    ui::DialogHooks hooks;
    std::unique_ptr<TAppObjects> objects;
};
