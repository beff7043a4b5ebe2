#pragma once
// The GoogleTest fixture of the engine-level suites: a private temporary folder with a fresh workgroup
// file in it, and logins to it. The helpers of Engine.h do the rest.
#include "support/Engine.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <string>

namespace kltest {

class EngineTest : public ::testing::Test {
protected:
    void SetUp() override {
        dao::registerEngineClasses();
        mdw = dir.file("system.mdw");
        dao::CreateWorkgroupFile(mdw, "Keyloupe Tests", "Test Org", "wid-1234");
    }

    dao::DBEnginePtr engine(const char* clsid = dao::CLSID_PrivDBEngine36) { return engineOn(mdw, clsid); }
    dao::WorkspacePtr login(const std::string& user = "admin", const std::string& password = "",
                            const char* clsid = dao::CLSID_PrivDBEngine36) {
        return loginTo(mdw, user, password, clsid);
    }

    // Logs in as admin (kept in admin), has admin make the database name in the folder (Jet 4 format)
    // and returns its path.
    std::string makeDatabase(const std::string& name) {
        admin = login();
        const std::string path = dir.file(name);
        admin->CreateDatabase(path, "4.0");
        return path;
    }

    TempDir dir;
    std::string mdw;
    dao::WorkspacePtr admin;
};

} // namespace kltest
