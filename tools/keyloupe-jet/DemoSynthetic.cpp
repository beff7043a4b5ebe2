// A synthetic database of a chosen size for benchmarks: numbered accounts, documents spread over the
// object containers, and a regular pattern of explicit rights and owners.
#include "Demo.h"
#include "Session.h"

#include <cstdio>
#include <string>
#include <vector>

namespace jettool {

using com::Variant;

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

std::string numbered(const char* prefix, int number, int width) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%s%0*d", prefix, width, number);
    return buf;
}

} // namespace

void makeSyntheticDemo(const std::filesystem::path& dir, const SyntheticSize& size, std::ostream& out) {
    DemoFiles files(dir, {DemoWorkgroupFile, DemoSyntheticFile});
    dao::CreateWorkgroupFile(files.path(0), "Keyloupe Synthetic", "Keyloupe", "KLSYNTH-0001");
    Session session("3.6", files.path(0), "admin", "");
    dao::Workspace& ws = session.workspace();

    std::vector<std::string> groupNames;
    for (int g = 1; g <= size.groups; ++g) {
        groupNames.push_back(numbered("group", g, 4));
        ws.Groups()->Append(ws.CreateGroup(Variant(groupNames.back()), Variant("pid-" + groupNames.back())));
    }
    std::vector<std::string> userNames;
    for (int u = 1; u <= size.users; ++u) {
        userNames.push_back(numbered("user", u, 4));
        ws.Users()->Append(
            ws.CreateUser(Variant(userNames.back()), Variant("pid-" + userNames.back()), Variant()));
    }
    // Each user joins one or two groups.
    const int groupCount = size.groups;
    for (int u = 0; u < size.users && groupCount > 0; ++u) {
        const int first = u % groupCount;
        const int second = (u * 7 + 3) % groupCount;
        for (int g : {first, second}) {
            if (g == second && second == first) break;
            dao::GroupPtr group = ws.Groups()->Item(Variant(groupNames[static_cast<std::size_t>(g)]));
            group->Users()->Append(
                group->CreateUser(Variant(userNames[static_cast<std::size_t>(u)]), Variant(), Variant()));
        }
    }

    std::vector<std::string> accounts = userNames;
    accounts.insert(accounts.end(), groupNames.begin(), groupNames.end());
    dao::DatabasePtr db = ws.CreateDatabase(files.path(1), "4.0");
    for (int i = 0; i < size.objects; ++i) {
        const ContainerKind& kind = Kinds[i % std::size(Kinds)];
        dao::DocumentPtr document = db->CreateDocument(kind.container, numbered(kind.prefix, i + 1, 6));
        if (!accounts.empty()) {
            const std::size_t n = accounts.size();
            document->SetUserName(accounts[static_cast<std::size_t>(i) % n]);
            document->SetPermissions(kind.rights);
            document->SetUserName(accounts[(static_cast<std::size_t>(i) * 37 + 11) % n]);
            document->SetPermissions(kind.rights | 0x20000);
        }
        if (!userNames.empty() && i % 10 == 0)
            document->SetOwner(userNames[static_cast<std::size_t>(i / 10) % userNames.size()]);
    }
    files.commit(out);
}

} // namespace jettool
