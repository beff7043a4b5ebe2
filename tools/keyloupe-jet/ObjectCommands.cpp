// Commands on a database's objects: creating documents, permissions, owners and inherit flags.
#include "keyloupe-jet/Commands.h"
#include "keyloupe-jet/Options.h"
#include "keyloupe-jet/Session.h"

namespace jettool {

void cmdAddObject(const Invocation& inv, std::ostream&) {
    Session session(inv.global);
    dao::DatabasePtr db = session.openDatabase(inv.arg(0), false);
    db->CreateDocument(inv.arg(1), inv.arg(2));
}

void cmdSetPermissions(const Invocation& inv, std::ostream&) {
    const std::int32_t value = parsePermHex(inv.arg(4));
    Session session(inv.global);
    dao::DatabasePtr db = session.openDatabase(inv.arg(0), false);
    auto object = findObject(*db, inv.arg(1), inv.arg(2));
    object->SetUserName(inv.arg(3));
    object->SetPermissions(value);
}

void cmdSetOwner(const Invocation& inv, std::ostream&) {
    Session session(inv.global);
    dao::DatabasePtr db = session.openDatabase(inv.arg(0), false);
    findObject(*db, inv.arg(1), inv.arg(2))->SetOwner(inv.arg(3));
}

void cmdSetInherit(const Invocation& inv, std::ostream&) {
    const bool inherit = parseBool(inv.arg(3));
    Session session(inv.global);
    dao::DatabasePtr db = session.openDatabase(inv.arg(0), false);
    dao::ContainerPtr container = FindContainer(db->Containers(), inv.arg(1));
    container->SetUserName(inv.arg(2));
    // The flag is held on the container object until Permissions is written for the same account;
    // writing the unchanged value back stores it.
    const std::int32_t permissions = container->Permissions();
    container->SetInherit(inherit);
    container->SetPermissions(permissions);
}

} // namespace jettool
