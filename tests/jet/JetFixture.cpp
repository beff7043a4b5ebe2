#include "JetFixture.h"

#include "com/ClassRegistry.h"
#include "dao/Dao.h"

#include <unistd.h>

std::filesystem::path JetFiles::dir_;
std::string JetFiles::mdwA_, JetFiles::mdwB_, JetFiles::mdb_, JetFiles::mdb30_;

namespace {

dao::DBEnginePtr privateEngine(const std::string& systemDB) {
    auto engine = com::createInstanceAs<dao::DBEngine>(dao::CLSID_PrivDBEngine36, dao::IID_DBEngine);
    engine->SetSystemDB(systemDB);
    return engine;
}

dao::WorkspacePtr login(const dao::DBEnginePtr& engine, const std::string& user,
                        const std::string& password) {
    return engine->CreateWorkspace("setup", user, password, com::Variant(std::int32_t{dao::dbUseJet}));
}

} // namespace

void JetFiles::SetUpTestSuite() {
    dao::registerEngineClasses();
    dir_ = std::filesystem::temp_directory_path() /
           ("kl_jet_" + std::to_string(::getpid()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_suite()->name());
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
    mdwA_ = (dir_ / "a.mdw").string();
    mdwB_ = (dir_ / "b.mdw").string();
    mdb_ = (dir_ / "shop.mdb").string();
    mdb30_ = (dir_ / "old.mdb").string();

    dao::CreateWorkgroupFile(mdwA_, "Tester", "Keyloupe", "wg-a-0001");
    dao::CreateWorkgroupFile(mdwB_, "Tester", "Keyloupe", "wg-b-0002");

    auto wsA = login(privateEngine(mdwA_), "admin", "");
    wsA->Users()->Item(com::Variant("admin"))->NewPassword("", "secret");
    auto db = wsA->CreateDatabase(mdb_, "4.0");
    db->CreateDocument("Tables", "Orders");
    // Let admin read the security table so that queries on it return rows.
    auto aces = db->Containers()->Item(com::Variant("Tables"))->Documents()->Item(com::Variant("MSysACEs"));
    aces->SetUserName("admin");
    aces->SetPermissions(aces->Permissions() | 0x14);
    wsA->CreateDatabase(mdb30_, "3.0");

    auto wsB = login(privateEngine(mdwB_), "admin", "");
    // New accounts join the Users group, which may open the database.
    wsB->Users()->Append(
        wsB->CreateUser(com::Variant("alice"), com::Variant("alice-pid-01"), com::Variant("pw")));
}

void JetFiles::TearDownTestSuite() {
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
}

void JetFiles::SetUp() {
    dao::registerEngineClasses();
}

void JetFiles::TearDown() {
    dao::registerEngineClasses();
}

void JetFiles::installCountingEngine(const std::string& presetSystemDB) {
    com::registerClass(
        dao::CLSID_DBEngine36,
        [created = created_, presetSystemDB](const std::string& iid) -> std::shared_ptr<com::IUnknown> {
            auto engine = com::createInstanceAs<dao::DBEngine>(dao::CLSID_PrivDBEngine36, iid);
            if (!presetSystemDB.empty()) engine->SetSystemDB(presetSystemDB);
            ++*created;
            return engine;
        });
}
