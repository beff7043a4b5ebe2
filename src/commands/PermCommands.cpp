#include "PermCommands.h"

#include "CommandFrame.h"
#include "Keyloupe_fm_Hex.h"

#include "jet/ConnectionHost.h"
#include "jet/DaoDS.h"
#include "security/PermissionColumns.h"
#include "ui/Dialogs.h"

#include <stdexcept>

namespace {

std::runtime_error notFound(const char* what, const std::string& name) {
    return std::runtime_error(std::string(what) + " \"" + name + "\" not found");
}

} // namespace

std::optional<TPermissionChange> PermissionChangeFor(int col, bool add, bool all) {
    if (col > LastPermColumn) return std::nullopt;
    if (col < FirstPermColumn && !(col == colOwner && all)) return std::nullopt;
    if (all) return TPermissionChange{poSet, add ? AllPermissionsValue : NoPermissionsValue};
    const TSecColInfo& info = SecColInfo[static_cast<std::size_t>(col)];
    return add ? TPermissionChange{poOr, info.EnableMask} : TPermissionChange{poAndNot, info.DisableMask};
}

dao::ContainerPtr FindContainer(const dao::ContainersPtr& containers, const std::string& containerName) {
    dao::ContainerPtr container = containers->Item(com::Variant(containerName));
    if (!container) throw notFound("Container", containerName);
    return container;
}

std::shared_ptr<dao::SecuredObject> FindSecuredObject(const dao::ContainersPtr& containers,
                                                      const std::string& containerName,
                                                      const std::string& objectName, TRowKind kind) {
    dao::ContainerPtr container = FindContainer(containers, containerName);
    if (kind == TRowKind::Container) return container;
    dao::DocumentPtr document = container->Documents()->Item(com::Variant(objectName));
    if (!document) throw notFound("Object", objectName);
    return document;
}

void ApplyPermissionChange(TConnectionHost& host, const QString& containerName, const QString& objectName,
                           TRowKind kind, TPermOp op, std::int32_t value, const QString& ugName) {
    RunChange(host, [&](TDAODatabase& db) {
        auto target =
            FindSecuredObject(db.GetContainers(), DaoText(containerName), DaoText(objectName), kind);
        // Permissions reads and writes the explicit permissions of the account UserName names.
        target->SetUserName(DaoText(ugName));
        const std::int32_t current = target->Permissions();
        target->SetPermissions(CombinePermission(current, op, value));
    });
}

std::optional<std::int32_t> ReadExplicitPermission(TConnectionHost& host, const QString& containerName,
                                                   const QString& objectName, TRowKind kind,
                                                   const QString& ugName) {
    std::optional<std::int32_t> result;
    try {
        // A failed connect has shown its own box.
        if (host.ConnectFromLogin())
            result = DAOCall([&] {
                auto target = FindSecuredObject(host.db1().GetContainers(), DaoText(containerName),
                                                DaoText(objectName), kind);
                target->SetUserName(DaoText(ugName));
                return target->Permissions();
            });
    } catch (const std::exception& e) {
        ShowCommandError(e);
    }
    // Nothing stays connected behind a dialog or after a failure.
    host.DisconnectDB();
    return result;
}

void EnterHexPermission(TConnectionHost& host, Tfm_Hex& dialog, const QString& containerName,
                        const QString& objectName, TRowKind kind, const QString& ugName) {
    // A value that could not be read is never offered for editing: the dialog would show a made-up
    // 00000 and invite writing over permissions nobody has seen.
    const std::optional<std::int32_t> current =
        ReadExplicitPermission(host, containerName, objectName, kind, ugName);
    if (!current) return;
    dialog.CurrentValue = *current;
    const int result = ui::showModal(dialog);
    // The value buttons are disabled while the entry is no value; nothing is written from one.
    if (!dialog.EntryIsValid()) return;
    switch (result) {
    case Tfm_Hex::mrSetVal:
        ApplyPermissionChange(host, containerName, objectName, kind, poSet, dialog.SetValue, ugName);
        break;
    case Tfm_Hex::mrOrVal:
        ApplyPermissionChange(host, containerName, objectName, kind, poOr, dialog.OrValue, ugName);
        break;
    case Tfm_Hex::mrAndNotVal:
        // The entered bits are cleared from the value read again at write time.
        ApplyPermissionChange(host, containerName, objectName, kind, poAndNot, dialog.SetValue, ugName);
        break;
    default: // Cancel, Escape or the title bar: nothing written, no refresh
        break;
    }
}

void SetNewOwner(TConnectionHost& host, const QString& containerName, const QString& objectName,
                 TRowKind kind, const QString& ugName) {
    RunChange(host, [&](TDAODatabase& db) {
        FindSecuredObject(db.GetContainers(), DaoText(containerName), DaoText(objectName), kind)
            ->SetOwner(DaoText(ugName));
    });
}

void FlipInherit(TConnectionHost& host, const QString& containerName, const QString& /*objectName*/,
                 TRowKind kind, const QString& ugName) {
    if (kind != TRowKind::Container) throw std::runtime_error("Inherit doesn't apply to non-Container");
    RunChange(host, [&](TDAODatabase& db) {
        dao::ContainerPtr container = FindContainer(db.GetContainers(), DaoText(containerName));
        container->SetUserName(DaoText(ugName));
        container->SetInherit(!container->Inherit());
        // DAO stores the account's new Inherit setting when its Permissions are written.
        const std::int32_t permissions = container->Permissions();
        container->SetPermissions(permissions);
    });
}
