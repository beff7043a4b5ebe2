// A synthetic database of a chosen size for benchmarks: numbered accounts, documents spread over the
// object containers, a regular pattern of explicit rights, and some documents owned by users. Built
// with the engine's bulk helpers, one transaction per step, so that tens of thousands of documents
// take seconds.
#include "keyloupe-jet/Demo.h"
#include "keyloupe-jet/Session.h"

#include "dao/JetAdmin.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace jettool {

namespace {

struct ContainerKind {
    const char* container;
    const char* prefix;
    std::int32_t rights; // what a granted account receives on such a document
};

constexpr ContainerKind Kinds[] = {
    {"Tables", "tbl", 0x00074},  {"Forms", "frm", 0x00104},   {"Reports", "rpt", 0x00104},
    {"Scripts", "mcr", 0x0000A}, {"Modules", "mod", 0x00002},
};
constexpr std::size_t KindCount = std::size(Kinds);

// Every tenth document is created by (and so owned by) one of the first few users.
constexpr int OwnerEvery = 10;
constexpr int MaxOwners = 5;

std::string numbered(const char* prefix, int number, int width) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%s%0*d", prefix, width, number);
    return buf;
}

std::vector<dao::BulkAccount> syntheticAccounts(const SyntheticSize& size) {
    std::vector<dao::BulkAccount> accounts;
    for (int g = 1; g <= size.groups; ++g) {
        dao::BulkAccount group;
        group.name = numbered("group", g, 4);
        group.pid = "pid-" + group.name;
        group.group = true;
        accounts.push_back(std::move(group));
    }
    for (int u = 0; u < size.users; ++u) {
        dao::BulkAccount user;
        user.name = numbered("user", u + 1, 4);
        user.pid = "pid-" + user.name;
        // Each user joins one or two groups.
        if (size.groups > 0) {
            const int first = u % size.groups;
            const int second = (u * 7 + 3) % size.groups;
            user.groups.push_back(accounts[static_cast<std::size_t>(first)].name);
            if (second != first) user.groups.push_back(accounts[static_cast<std::size_t>(second)].name);
        }
        accounts.push_back(std::move(user));
    }
    return accounts;
}

} // namespace

void makeSyntheticDemo(const std::filesystem::path& dir, const SyntheticSize& size, std::ostream& out) {
    DemoFiles files(dir, {DemoWorkgroupFile, DemoSyntheticFile});
    dao::CreateWorkgroupFile(files.path(0), "Keyloupe Synthetic", "Keyloupe", "KLSYNTH-0001");
    Session admin("3.6", files.path(0), "admin", "");
    const std::vector<dao::BulkAccount> accounts = syntheticAccounts(size);
    dao::CreateAccounts(admin.workspacePtr(), accounts);
    admin.workspace().CreateDatabase(files.path(1), "4.0");

    // Document names by creator (empty: admin) and container.
    const int ownerCount = std::min(size.users, MaxOwners);
    std::map<std::string, std::vector<std::vector<std::string>>> plan;
    std::vector<std::pair<std::size_t, std::string>> documents; // kind, name
    documents.reserve(static_cast<std::size_t>(size.objects));
    for (int i = 0; i < size.objects; ++i) {
        const std::size_t kind = static_cast<std::size_t>(i) % KindCount;
        std::string name = numbered(Kinds[kind].prefix, i + 1, 6);
        std::string creator;
        if (ownerCount > 0 && i % OwnerEvery == 0)
            creator = numbered("user", (i / OwnerEvery) % ownerCount + 1, 4);
        auto& byKind = plan[creator];
        byKind.resize(KindCount);
        byKind[kind].push_back(name);
        documents.emplace_back(kind, std::move(name));
    }
    for (const auto& [creator, byKind] : plan) {
        // Users may create documents: the Users group holds full rights on every container of a new database.
        Session session("3.6", files.path(0), creator.empty() ? "admin" : creator, "");
        dao::DatabasePtr db = session.openDatabase(files.path(1), false);
        for (std::size_t kind = 0; kind < KindCount; ++kind)
            if (!byKind[kind].empty()) dao::CreateDocuments(db, Kinds[kind].container, byKind[kind]);
    }

    // Two added accounts receive explicit rights on each document.
    if (!accounts.empty()) {
        std::vector<dao::BulkPermission> grants;
        grants.reserve(documents.size() * 2);
        const std::size_t n = accounts.size();
        for (std::size_t i = 0; i < documents.size(); ++i) {
            const ContainerKind& kind = Kinds[documents[i].first];
            grants.push_back({kind.container, documents[i].second, accounts[i % n].name, kind.rights, false});
            grants.push_back({kind.container, documents[i].second, accounts[(i * 37 + 11) % n].name,
                              kind.rights | 0x20000, false});
        }
        dao::SetPermissions(admin.openDatabase(files.path(1), false), grants);
    }
    files.commit(out);
}

} // namespace jettool
