#include "CommandsTestSupport.h"

#include <sqlite3.h>

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QMenu>
#include <QTabWidget>
#include <QTest>

namespace {

dao::DatabasePtr openDatabase(const dao::WorkspacePtr& ws, const QString& mdb) {
    return ws->OpenDatabase(mdb.toStdString(), com::Variant(false), com::Variant(false), com::Variant(""));
}

void setExplicit(const dao::DatabasePtr& db, const char* container, const char* object, const char* account,
                 std::int32_t value) {
    dao::ContainerPtr c = db->Containers()->Item(com::Variant(container));
    std::shared_ptr<dao::SecuredObject> target = c;
    if (object) target = c->Documents()->Item(com::Variant(object));
    target->SetUserName(account);
    target->SetPermissions(value);
}

} // namespace

TCommandFiles MakeCommandFiles(const QString& dir) {
    dao::registerEngineClasses();
    QDir().mkpath(dir);
    TCommandFiles files{dir, dir + QStringLiteral("/cmd.mdw"), dir + QStringLiteral("/cmd.mdb")};
    dao::CreateWorkgroupFile(files.mdw.toStdString(), "Commands", "Keyloupe Tests", "wid-5678");
    dao::WorkspacePtr ws = LoginWorkspace(files.mdw);
    ws->Groups()->Append(ws->CreateGroup(com::Variant("Sales"), com::Variant("sales-pid")));
    ws->Users()->Append(
        ws->CreateUser(com::Variant("alice"), com::Variant("alice-pid"), com::Variant("alice1")));
    ws->Users()->Append(ws->CreateUser(com::Variant("bob"), com::Variant("bob-pid"), com::Variant("")));
    ws->Users()->Append(ws->CreateUser(com::Variant("zed"), com::Variant("zed-pid"), com::Variant("")));
    dao::GroupPtr sales = ws->Groups()->Item(com::Variant("Sales"));
    sales->Users()->Append(sales->CreateUser(com::Variant("alice"), com::Variant(), com::Variant()));

    dao::DatabasePtr db = ws->CreateDatabase(files.mdb.toStdString(), "4.0");
    db->CreateDocument("Tables", "Orders");
    db->CreateDocument("Tables", "Lines");
    db->CreateDocument("Forms", "Main");
    setExplicit(db, "Tables", "Orders", "Sales", 0x20000);
    setExplicit(db, "Tables", "Orders", "alice", 0x4);
    setExplicit(db, "Tables", "Lines", "bob", 0x1000C);
    setExplicit(db, "Tables", nullptr, "alice", 0x10);
    // Without the Users group's default rights, bob may neither read nor change the tables' security.
    setExplicit(db, "Tables", "Orders", "Users", 0);
    setExplicit(db, "Tables", "Lines", "Users", 0);
    return files;
}

dao::WorkspacePtr LoginWorkspace(const QString& mdw, const std::string& user, const std::string& password) {
    auto engine = com::createInstanceAs<dao::DBEngine>(dao::CLSID_PrivDBEngine36, dao::IID_DBEngine);
    engine->SetSystemDB(mdw.toStdString());
    return engine->CreateWorkspace("check", user, password, com::Variant(std::int32_t(dao::dbUseJet)));
}

std::int32_t ExplicitPermissions(const TCommandFiles& files, const std::string& container,
                                 const std::string& object, const std::string& account) {
    dao::DatabasePtr db = openDatabase(LoginWorkspace(files.mdw), files.mdb);
    dao::ContainerPtr c = db->Containers()->Item(com::Variant(container));
    std::shared_ptr<dao::SecuredObject> target = c;
    if (object != "<container>") target = c->Documents()->Item(com::Variant(object));
    target->SetUserName(account);
    return target->Permissions();
}

bool AccountExists(const TCommandFiles& files, const std::string& name) {
    dao::WorkspacePtr ws = LoginWorkspace(files.mdw);
    for (int i = 0; i < ws->Users()->Count(); ++i)
        if (ws->Users()->Item(com::Variant(i))->Name() == name) return true;
    for (int i = 0; i < ws->Groups()->Count(); ++i)
        if (ws->Groups()->Item(com::Variant(i))->Name() == name) return true;
    return false;
}

void PlantDocument(const TCommandFiles& files, const std::string& container, const std::string& name) {
    sqlite3* db = nullptr;
    sqlite3_open_v2(files.mdb.toStdString().c_str(), &db, SQLITE_OPEN_READWRITE, nullptr);
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db,
                       "INSERT INTO MSysObjects(ParentId, Name, Type, Owner, DateCreate, DateUpdate, Flags) "
                       "SELECT c.Id, ?2, d.Type, d.Owner, d.DateCreate, d.DateUpdate, 0 FROM MSysObjects c "
                       "JOIN MSysObjects d ON d.ParentId = c.Id WHERE c.ParentId = 0 AND c.Name = ?1 LIMIT 1",
                       -1, &st, nullptr);
    sqlite3_bind_text(st, 1, container.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(st, 2, name.c_str(), -1, SQLITE_TRANSIENT);
    const int rc = sqlite3_step(st);
    sqlite3_finalize(st);
    sqlite3_close(db);
    if (rc != SQLITE_DONE) throw std::runtime_error("could not plant the document");
}

void CreateUserBehindTheBack(const TCommandFiles& files, const std::string& name) {
    dao::WorkspacePtr ws = LoginWorkspace(files.mdw);
    ws->Users()->Append(ws->CreateUser(com::Variant(name), com::Variant(name + "-pid"), com::Variant("")));
}

TCommandApp::TCommandApp(const QString& settingsFile, const TCommandFiles& files) : m_files(files) {
    dao::registerEngineClasses();
    ui::installDialogHooks(&hooks);
    objects = CreateAppObjects(settingsFile);
    // Shown (offscreen) and large enough that the cells to click are on screen.
    form().resize(1100, 700);
    form().show();
}

TCommandApp::~TCommandApp() {
    objects.reset();
    ui::installDialogHooks(nullptr);
}

void TCommandApp::login(const QString& user, const QString& password) {
    find<QComboBox>("cb_DB")->setEditText(m_files.mdb);
    find<QComboBox>("cb_MDW")->setEditText(m_files.mdw);
    find<QComboBox>("cb_Username")->setEditText(user);
    find<QComboBox>("cb_Password")->setEditText(password);
    form().RefreshAll();
}

int TCommandApp::permRow(const QString& container, const QString& object, const QString& account) {
    TStringGrid& grid = perms();
    for (int r = 1; r < grid.rowCount(); ++r)
        if (grid.cell(1, r) == container && grid.cell(2, r) == object && grid.cell(4, r) == account) return r;
    return -1;
}

bool TCommandApp::permRowShown(const QString& container, const QString& object, const QString& account) {
    const int r = permRow(container, object, account);
    return r > 0 && perms().displayRowIndex(r) > 0;
}

QString TCommandApp::permCell(const QString& container, const QString& object, const QString& account,
                              int col) {
    const int r = permRow(container, object, account);
    return r > 0 ? perms().cell(col, r) : QString();
}

int TCommandApp::userRow(const QString& user) {
    for (int r = 1; r < matrix().rowCount(); ++r)
        if (matrix().cell(0, r) == user) return r;
    return -1;
}

int TCommandApp::groupCol(const QString& group) {
    for (int c = 1; c < matrix().colCount(); ++c)
        if (matrix().cell(c, 0) == group) return c;
    return -1;
}

QStringList TCommandApp::rightClick(TStringGrid& grid, int realRow, int col, const char* trigger) {
    auto* tabs = find<QTabWidget>("PageControl1");
    for (QWidget* w = grid.parentWidget(); w; w = w->parentWidget())
        if (tabs->indexOf(w) >= 0) tabs->setCurrentWidget(w);
    const int row = realRow == 0 ? 0 : grid.displayRowIndex(realRow);
    grid.scrollCellIntoView(col, row);
    const QRect rect = grid.cellRect(col, row);
    if (rect.isEmpty()) qFatal("cell (%d, %d) is not on screen", col, row);

    QStringList enabled;
    grid.popupHandler = [&](QMenu& menu, const QPoint&) {
        QAction* chosen = nullptr;
        for (QAction* action : menu.actions()) {
            if (action->isEnabled()) enabled << action->objectName();
            if (trigger && action->objectName() == QLatin1String(trigger) && action->isEnabled())
                chosen = action;
        }
        if (chosen) chosen->trigger();
    };
    QTest::mousePress(grid.viewport(), Qt::RightButton, {}, rect.center());
    QTest::mouseRelease(grid.viewport(), Qt::RightButton, {}, rect.center());
    grid.popupHandler = nullptr;
    return enabled;
}
