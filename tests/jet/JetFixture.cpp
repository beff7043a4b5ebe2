#include "jet/JetFixture.h"

#include "com/ClassRegistry.h"
#include "dao/Dao.h"

kltest::TempDir* JetFiles::dir_ = nullptr;
std::string JetFiles::mdwA_, JetFiles::mdwB_, JetFiles::mdb_, JetFiles::mdb30_;

void JetFiles::SetUpTestSuite() {
    dir_ = new kltest::TempDir;
    const kltest::TTwoWorkgroups files = kltest::makeTwoWorkgroups(dir_->path().string());
    mdwA_ = files.mdwA;
    mdwB_ = files.mdwB;
    mdb_ = files.mdb;
    mdb30_ = files.mdb30;
}

void JetFiles::TearDownTestSuite() {
    delete dir_;
    dir_ = nullptr;
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
