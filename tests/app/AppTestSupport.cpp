#include "AppTestSupport.h"

#include "dao/Dao.h"

#include <QLabel>
#include <QTabWidget>

TTestFiles MakeTestFiles(const QString& dir) {
    dao::registerEngineClasses();
    TTestFiles files{dir, dir + QStringLiteral("/test.mdw"), dir + QStringLiteral("/test.mdb")};
    dao::CreateWorkgroupFile(files.mdw.toStdString(), "Test", "Keyloupe Tests", "wid-1234");
    dao::WorkspacePtr ws = LoginWorkspace(files.mdw);
    dao::GroupPtr sales = ws->CreateGroup(com::Variant("Sales"), com::Variant("sales-pid"));
    ws->Groups()->Append(sales);
    ws->Users()->Append(
        ws->CreateUser(com::Variant("alice"), com::Variant("alice-pid"), com::Variant("alice1")));
    ws->Users()->Append(ws->CreateUser(com::Variant("bob"), com::Variant("bob-pid"), com::Variant("")));
    dao::GroupPtr salesItem = ws->Groups()->Item(com::Variant("Sales"));
    salesItem->Users()->Append(salesItem->CreateUser(com::Variant("alice"), com::Variant(), com::Variant()));
    dao::DatabasePtr db = ws->CreateDatabase(files.mdb.toStdString(), "4.0");
    db->CreateDocument("Tables", "Orders");
    db->CreateDocument("Forms", "Main");
    return files;
}

dao::WorkspacePtr LoginWorkspace(const QString& mdw, const std::string& user, const std::string& password) {
    auto engine = com::createInstanceAs<dao::DBEngine>(dao::CLSID_DBEngine36, dao::IID_DBEngine);
    engine->SetSystemDB(mdw.toStdString());
    return engine->CreateWorkspace("test", user, password, com::Variant(std::int32_t(dao::dbUseJet)));
}

TAppFixture::TAppFixture(const QString& settingsFile) {
    ui::installDialogHooks(&hooks);
    objects = CreateAppObjects(settingsFile);
}

TAppFixture::~TAppFixture() {
    objects.reset();
    ui::installDialogHooks(nullptr);
}

void TAppFixture::setLogin(const QString& db, const QString& mdw, const QString& user,
                           const QString& password) {
    find<QComboBox>("cb_DB")->setEditText(db);
    find<QComboBox>("cb_MDW")->setEditText(mdw);
    find<QComboBox>("cb_Username")->setEditText(user);
    find<QComboBox>("cb_Password")->setEditText(password);
}

QString TAppFixture::summary() {
    return find<QLabel>("lb_Summary")->text();
}

void TAppFixture::showTab(const char* name) {
    auto* tabs = find<QTabWidget>("PageControl1");
    tabs->setCurrentWidget(form().findChild<QWidget*>(QLatin1String(name)));
}
