// Builds a workgroup with 100 accounts and a database with 10,000 documents, then times the catalogue
// walk as the permissions grid reads it: for every container and document, for every user and then
// every group: set UserName, read Permissions, AllPermissions, Inherit (containers), Name and Owner.
//
// Usage: engine_walk [DIR] [--documents N] [--accounts N]   (files go to a temporary directory by default)
//        engine_walk --genuine MDW MDB [--passes N]        (a genuine Jet pair, read by the audit engine)
#include "dao/Dao.h"
#include "dao/JetAdmin.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using dao::Variant;

double secondsSince(Clock::time_point t0) {
    return std::chrono::duration<double>(Clock::now() - t0).count();
}

struct WalkResult {
    long rows = 0;
    long nonZero = 0;
    long owned = 0;
    long checksum = 0;
    long refused = 0;
};

// One pass over the catalogue in the grid's reading order.
WalkResult walk(const dao::WorkspacePtr& ws, const dao::DatabasePtr& db) {
    WalkResult r;
    auto users = ws->Users();
    auto groups = ws->Groups();
    const int userCount = users->Count(), groupCount = groups->Count();
    auto row = [&](dao::SecuredObject& obj, const std::string& account, dao::Container* container) {
        ++r.rows;
        std::int32_t explicitValue = 0, effective = 0;
        try { // as the grid does: a refused read marks the row and the walk goes on
            obj.SetUserName(account);
            explicitValue = obj.Permissions();
            effective = obj.AllPermissions();
        } catch (const dao::DaoError&) {
            ++r.refused;
        }
        if (explicitValue != 0) ++r.nonZero;
        r.checksum += effective & 0xFF;
        if (container && container->Inherit()) ++r.checksum;
        r.checksum += static_cast<long>(obj.Name().size());
        if (obj.Owner() == account) ++r.owned;
    };
    auto accounts = [&](dao::SecuredObject& obj, dao::Container* container) {
        for (int j = 0; j < userCount; ++j)
            row(obj, users->Item(Variant(std::int32_t(j)))->Name(), container);
        for (int j = 0; j < groupCount; ++j)
            row(obj, groups->Item(Variant(std::int32_t(j)))->Name(), container);
    };
    auto containers = db->Containers();
    for (int i = 0; i < containers->Count(); ++i) {
        auto c = containers->Item(Variant(std::int32_t(i)));
        accounts(*c, c.get());
        auto docs = c->Documents();
        for (int k = 0; k < docs->Count(); ++k)
            accounts(*docs->Item(Variant(std::int32_t(k))), nullptr);
    }
    return r;
}

// Opens a genuine pair and walks it repeatedly: genuine files are small, so one walk is too short to time.
int walkGenuine(const std::string& mdw, const std::string& mdb, int passes) {
    dao::registerEngineClasses();
    auto engine = com::createInstanceAs<dao::DBEngine>(dao::CLSID_DBEngine36, dao::IID_DBEngine);
    engine->SetSystemDB(mdw);
    auto t0 = Clock::now();
    auto ws = engine->CreateWorkspace("bench", "admin", "", Variant(std::int32_t(dao::dbUseJet)));
    const double login = secondsSince(t0);
    double open = 0, walking = 0;
    WalkResult r;
    for (int pass = 0; pass < passes; ++pass) {
        t0 = Clock::now();
        auto db = ws->OpenDatabase(mdb, Variant(false), Variant(false), Variant(""));
        open += secondsSince(t0);
        t0 = Clock::now();
        r = walk(ws, db);
        walking += secondsSince(t0);
    }
    std::printf(
        "genuine %s: login %.4f s; per pass: open+load %.4f s, walk of %ld rows %.6f s (%.0f ns/row); "
        "non-zero %ld, owned %ld, checksum %ld\n",
        mdb.c_str(), login, open / passes, r.rows, walking / passes,
        walking * 1e9 / passes / static_cast<double>(r.rows), r.nonZero, r.owned, r.checksum);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc >= 4 && std::string(argv[1]) == "--genuine") {
        const int passes =
            argc >= 6 && std::string(argv[4]) == "--passes" ? std::max(1, std::atoi(argv[5])) : 100;
        try {
            return walkGenuine(argv[2], argv[3], passes);
        } catch (const std::exception& e) {
            std::fprintf(stderr, "engine_walk: %s\n", e.what());
            return 1;
        }
    }
    std::string dir;
    int documents = 10000, accounts = 100;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--documents" && i + 1 < argc)
            documents = std::atoi(argv[++i]);
        else if (a == "--accounts" && i + 1 < argc)
            accounts = std::atoi(argv[++i]);
        else
            dir = a;
    }
    bool temporary = false;
    if (dir.empty()) {
        std::string tmpl = (std::filesystem::temp_directory_path() / "engine_walk_XXXXXX").string();
        if (!mkdtemp(tmpl.data())) return 1;
        dir = tmpl;
        temporary = true;
    }
    const std::string mdw = (std::filesystem::path(dir) / "walk.mdw").string();
    const std::string mdb = (std::filesystem::path(dir) / "walk.mdb").string();
    std::filesystem::remove(mdw);
    std::filesystem::remove(mdb);

    try {
        dao::registerEngineClasses();
        auto t0 = Clock::now();
        dao::CreateWorkgroupFile(mdw, "Walk", "Bench", "walk-0001");
        auto engine = com::createInstanceAs<dao::DBEngine>(dao::CLSID_DBEngine36, dao::IID_DBEngine);
        engine->SetSystemDB(mdw);
        auto ws = engine->CreateWorkspace("bench", "admin", "", Variant(std::int32_t(dao::dbUseJet)));
        // The built-ins are 5 accounts; add groups (a fifth of the rest) and users, each user in two groups.
        const int extra = accounts > 5 ? accounts - 5 : 0;
        const int groupCount = std::max(1, extra / 5), userCount = extra - groupCount;
        std::vector<dao::BulkAccount> list;
        for (int g = 0; g < groupCount; ++g)
            list.push_back({"Group" + std::to_string(g), "gpid-" + std::to_string(g), "", true, {}});
        for (int u = 0; u < userCount; ++u)
            list.push_back(
                {"User" + std::to_string(u),
                 "upid-" + std::to_string(u),
                 "",
                 false,
                 {"Group" + std::to_string(u % groupCount), "Group" + std::to_string((u + 1) % groupCount)}});
        dao::CreateAccounts(ws, list);
        ws->CreateDatabase(mdb, "4.0");
        {
            auto db = ws->OpenDatabase(mdb, Variant(false), Variant(false), Variant(""));
            const char* kinds[] = {"Tables", "Forms", "Reports", "Scripts", "Modules"};
            for (int k = 0; k < 5; ++k) {
                std::vector<std::string> names;
                for (int i = k; i < documents; i += 5)
                    names.push_back(std::string(kinds[k]).substr(0, 3) + std::to_string(i));
                dao::CreateDocuments(db, kinds[k], names);
            }
            // Some explicit permissions so the walk reads real values: every tenth document gets one user
            // and one group entry.
            std::vector<dao::BulkPermission> grants;
            for (int i = 0; i < documents; i += 10) {
                const char* kind = kinds[i % 5];
                const std::string doc = std::string(kind).substr(0, 3) + std::to_string(i);
                grants.push_back(
                    {kind, doc, "User" + std::to_string(i % std::max(1, userCount)), 0x104, false});
                grants.push_back({kind, doc, "Group" + std::to_string(i % groupCount), 0x20004, false});
            }
            dao::SetPermissions(db, grants);
        }
        std::printf("setup: %d accounts, %d documents in %.2f s\n", 5 + extra, documents, secondsSince(t0));

        // Three passes as admin (an Admins member: no per-row checks), one as an ordinary user whose
        // reads of other accounts are checked against ReadSec through the Users group.
        auto ordinary = engine->CreateWorkspace("bench", "User0", "", Variant(std::int32_t(dao::dbUseJet)));
        for (int pass = 1; pass <= 4; ++pass) {
            const auto& who = pass <= 3 ? ws : ordinary;
            t0 = Clock::now();
            auto db = who->OpenDatabase(mdb, Variant(false), Variant(false), Variant(""));
            const double openSeconds = secondsSince(t0);
            const WalkResult r = walk(who, db);
            const double total = secondsSince(t0);
            std::printf(
                "pass %d as %s: open+load %.3f s, walk of %ld rows %.3f s (%.0f ns/row), non-zero %ld, "
                "owned %ld, refused %ld, checksum %ld\n",
                pass, who->UserName().c_str(), openSeconds, r.rows, total,
                total * 1e9 / static_cast<double>(r.rows), r.nonZero, r.owned, r.refused, r.checksum);
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "engine_walk: %s\n", e.what());
        return 1;
    }
    if (temporary) std::filesystem::remove_all(dir);
    return 0;
}
