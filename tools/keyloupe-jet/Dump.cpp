// The catalogue listing: every (object, account) pair in the order the permissions grid reads them.
#include "keyloupe-jet/Commands.h"
#include "keyloupe-jet/Options.h"
#include "keyloupe-jet/Session.h"

#include "security/SafeText.h"

#include <string>
#include <vector>

namespace jettool {

using com::Variant;

namespace {

struct Account {
    std::string name;
    char kind;         // 'U' or 'G'
    std::string shown; // the name as the listing writes it (TextField)
};

std::vector<Account> readAccounts(dao::Workspace& ws) {
    std::vector<Account> accounts;
    dao::UsersPtr users = ws.Users();
    const int userCount = users->Count();
    dao::GroupsPtr groups = ws.Groups();
    const int groupCount = groups->Count();
    accounts.reserve(static_cast<std::size_t>(userCount + groupCount));
    for (int i = 0; i < userCount; ++i) {
        std::string name = users->Item(Variant(std::int32_t{i}))->Name();
        accounts.push_back({name, 'U', TextField(name)});
    }
    for (int i = 0; i < groupCount; ++i) {
        std::string name = groups->Item(Variant(std::int32_t{i}))->Name();
        accounts.push_back({name, 'G', TextField(name)});
    }
    return accounts;
}

// Collects the output and hands it to the stream in large pieces.
class LineBuffer {
public:
    explicit LineBuffer(std::ostream& out) : out_(out) { text_.reserve(Chunk + 512); }
    ~LineBuffer() { flush(); }
    std::string& text() { return text_; }
    void endLine() {
        text_ += '\n';
        if (text_.size() >= Chunk) flush();
    }
    void flush() {
        out_.write(text_.data(), static_cast<std::streamsize>(text_.size()));
        text_.clear();
    }

private:
    static constexpr std::size_t Chunk = 1 << 16;
    std::ostream& out_;
    std::string text_;
};

// The rows of one object. container is non-null for a container's own rows (they carry the inherit flag).
void writeObjectRows(dao::SecuredObject& object, dao::Container* container, const std::string& containerName,
                     const std::string& objectName, const std::vector<Account>& accounts,
                     LineBuffer& buffer) {
    bool ownerKnown = true;
    std::string owner;
    try {
        owner = object.Owner();
    } catch (const com::ComError&) {
        ownerKnown = false;
    }
    for (const Account& account : accounts) {
        std::string explicitText = "?";
        std::string effectiveText = "?";
        bool selected = false;
        try {
            object.SetUserName(account.name);
            selected = true;
            explicitText = PermHex(object.Permissions());
            effectiveText = PermHex(object.AllPermissions());
        } catch (const com::ComError&) {
            // Shown as "?"; the rest of the row is still written.
        }
        char inherit = '-';
        if (container) {
            inherit = '?';
            // The inherit flag is per account, so it is only meaningful once UserName took.
            if (selected) {
                try {
                    inherit = container->Inherit() ? 'T' : 'F';
                } catch (const com::ComError&) {
                }
            }
        }
        const char ownerMark = !ownerKnown ? '?' : (owner == account.name ? 'O' : '-');

        std::string& line = buffer.text();
        line += containerName;
        line += '\t';
        line += objectName;
        line += '\t';
        line += account.kind;
        line += '\t';
        line += account.shown;
        line += '\t';
        line += explicitText;
        line += '\t';
        line += effectiveText;
        line += '\t';
        line += inherit;
        line += '\t';
        line += ownerMark;
        buffer.endLine();
    }
}

} // namespace

void writeDump(dao::Workspace& workspace, dao::Database& db, std::ostream& out) {
    const std::vector<Account> accounts = readAccounts(workspace);
    LineBuffer buffer(out);
    dao::ContainersPtr containers = db.Containers();
    const int containerCount = containers->Count();
    for (int i = 0; i < containerCount; ++i) {
        dao::ContainerPtr container = containers->Item(Variant(std::int32_t{i}));
        const std::string containerName = TextField(container->Name());
        writeObjectRows(*container, container.get(), containerName, ContainerObjectName, accounts, buffer);
        dao::DocumentsPtr documents = container->Documents();
        const std::int32_t documentCount = documents->Count();
        for (std::int32_t k = 0; k < documentCount; ++k) {
            dao::DocumentPtr document = documents->Item(Variant(k));
            writeObjectRows(*document, nullptr, containerName, TextField(document->Name()), accounts, buffer);
        }
    }
}

void cmdDump(const Invocation& inv, std::ostream& out) {
    Session session(inv.global);
    dao::DatabasePtr db = session.openDatabase(inv.arg(0), true);
    writeDump(session.workspace(), *db, out);
}

} // namespace jettool
