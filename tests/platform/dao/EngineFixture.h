#pragma once
// Shared set-up for the engine tests: a private temporary directory, a fresh workgroup file in it, and
// helpers to log in and to expect a DAO error number.
#include "dao/Dao.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace enginetest {

class TempDir {
public:
    TempDir() {
        std::string tmpl = (std::filesystem::temp_directory_path() / "kl_dao_XXXXXX").string();
        if (!mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
        path_ = tmpl;
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    std::string file(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

inline std::string readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

inline void writeBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

// The DAO error number of what f throws, or 0 when it throws nothing.
template <class F> int daoErrorOf(F&& f) {
    try {
        f();
    } catch (const dao::DaoError& e) {
        return e.number();
    }
    return 0;
}

class EngineTest : public ::testing::Test {
protected:
    void SetUp() override {
        dao::registerEngineClasses();
        mdw = dir.file("system.mdw");
        dao::CreateWorkgroupFile(mdw, "Keyloupe Tests", "Test Org", "wid-1234");
    }

    dao::DBEnginePtr engine(const char* clsid = dao::CLSID_PrivDBEngine36) {
        auto e = com::createInstanceAs<dao::DBEngine>(clsid, dao::IID_DBEngine);
        e->SetSystemDB(mdw);
        return e;
    }
    dao::WorkspacePtr login(const std::string& user = "admin", const std::string& password = "",
                            const char* clsid = dao::CLSID_PrivDBEngine36) {
        return engine(clsid)->CreateWorkspace("ws", user, password,
                                              dao::Variant(std::int32_t(dao::dbUseJet)));
    }
    static void addUser(const dao::WorkspacePtr& ws, const std::string& name, const std::string& pid,
                        const std::string& password = "") {
        ws->Users()->Append(ws->CreateUser(name, pid, password));
    }
    static void addGroup(const dao::WorkspacePtr& ws, const std::string& name, const std::string& pid) {
        ws->Groups()->Append(ws->CreateGroup(name, pid));
    }
    static void join(const dao::WorkspacePtr& ws, const std::string& user, const std::string& group) {
        auto g = ws->Groups()->Item(group);
        g->Users()->Append(g->CreateUser(user, dao::Variant(), dao::Variant()));
    }

    static dao::DatabasePtr open(const dao::WorkspacePtr& ws, const std::string& path, bool exclusive = false,
                                 bool readOnly = false) {
        return ws->OpenDatabase(path, dao::Variant(exclusive), dao::Variant(readOnly), dao::Variant(""));
    }
    // The container itself when document is empty.
    static std::shared_ptr<dao::SecuredObject>
    object(const dao::DatabasePtr& db, const std::string& container, const std::string& document = "") {
        auto c = db->Containers()->Item(container);
        if (document.empty()) return c;
        return c->Documents()->Item(document);
    }
    static std::int32_t explicitOf(const dao::DatabasePtr& db, const std::string& container,
                                   const std::string& document, const std::string& account) {
        auto o = object(db, container, document);
        o->SetUserName(account);
        return o->Permissions();
    }
    static std::int32_t effectiveOf(const dao::DatabasePtr& db, const std::string& container,
                                    const std::string& document, const std::string& account) {
        auto o = object(db, container, document);
        o->SetUserName(account);
        return o->AllPermissions();
    }
    static void grant(const dao::DatabasePtr& db, const std::string& container, const std::string& document,
                      const std::string& account, std::int32_t value) {
        auto o = object(db, container, document);
        o->SetUserName(account);
        o->SetPermissions(value);
    }

    TempDir dir;
    std::string mdw;
};

} // namespace enginetest
