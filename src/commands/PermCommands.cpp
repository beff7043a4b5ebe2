#include "commands/PermCommands.h"

#include "commands/Keyloupe_fm_Hex.h"
#include "jet/DaoDS.h"
#include "security/PermissionColumns.h"
#include "ui/Dialogs.h"

#include <stdexcept>

std::optional<TPermissionChange> PermissionChangeFor(int col, bool add, bool all) {
    if (col > LastPermColumn) return std::nullopt;
    if (col < FirstPermColumn && !(col == colOwner && all)) return std::nullopt;
    if (all) return TPermissionChange{poSet, add ? dao::dbSecFullAccess : dao::dbSecNoAccess};
    const TSecColInfo& info = SecColInfo[static_cast<std::size_t>(col)];
    return add ? TPermissionChange{poOr, info.EnableMask} : TPermissionChange{poAndNot, info.DisableMask};
}

bool ApplyPermissionChange(const TCommandContext& context, const QString& containerName,
                           const QString& objectName, TRowKind kind, TPermOp op, std::int32_t value,
                           const QString& ugName) {
    return RunChange(context, [&](TDAODatabase& db) {
        auto target =
            FindSecuredObject(db.GetContainers(), DaoText(containerName), DaoText(objectName), kind);
        // Permissions reads and writes the explicit permissions of the account UserName names.
        target->SetUserName(DaoText(ugName));
        const std::int32_t current = target->Permissions();
        target->SetPermissions(CombinePermission(current, op, value));
    });
}

std::optional<std::int32_t> ReadExplicitPermission(const TCommandContext& context,
                                                   const QString& containerName, const QString& objectName,
                                                   TRowKind kind, const QString& ugName) {
    return RunRead(context, [&](TDAODatabase& db) {
        auto target =
            FindSecuredObject(db.GetContainers(), DaoText(containerName), DaoText(objectName), kind);
        target->SetUserName(DaoText(ugName));
        return target->Permissions();
    });
}

void EnterHexPermission(const TCommandContext& context, Tfm_Hex& dialog, const QString& containerName,
                        const QString& objectName, TRowKind kind, const QString& ugName) {
    // A value that could not be read is never offered for editing: the dialog would show a made-up
    // 00000 and invite writing over permissions nobody has seen.
    const std::optional<std::int32_t> current =
        ReadExplicitPermission(context, containerName, objectName, kind, ugName);
    if (!current) return;
    dialog.CurrentValue = *current;
    const int result = ui::showModal(dialog);
    // The value buttons are disabled while the entry is no value; nothing is written from one.
    if (!dialog.EntryIsValid()) return;
    switch (result) {
    case Tfm_Hex::mrSetVal:
        ApplyPermissionChange(context, containerName, objectName, kind, poSet, dialog.SetValue, ugName);
        break;
    case Tfm_Hex::mrOrVal:
        ApplyPermissionChange(context, containerName, objectName, kind, poOr, dialog.OrValue, ugName);
        break;
    case Tfm_Hex::mrAndNotVal:
        // The entered bits are cleared from the value read again at write time.
        ApplyPermissionChange(context, containerName, objectName, kind, poAndNot, dialog.SetValue, ugName);
        break;
    default: // Cancel, Escape or the title bar: nothing written, no refresh
        break;
    }
}

bool SetNewOwner(const TCommandContext& context, const QString& containerName, const QString& objectName,
                 TRowKind kind, const QString& ugName) {
    return RunChange(context, [&](TDAODatabase& db) {
        FindSecuredObject(db.GetContainers(), DaoText(containerName), DaoText(objectName), kind)
            ->SetOwner(DaoText(ugName));
    });
}

void FlipInherit(const TCommandContext& context, const QString& containerName, const QString& /*objectName*/,
                 TRowKind kind, const QString& ugName) {
    if (kind != TRowKind::Container) throw std::runtime_error("Inherit doesn't apply to non-Container");
    RunChange(context, [&](TDAODatabase& db) {
        dao::ContainerPtr container = FindContainer(db.GetContainers(), DaoText(containerName));
        container->SetUserName(DaoText(ugName));
        container->SetInherit(!container->Inherit());
        // DAO stores the account's new Inherit setting when its Permissions are written.
        const std::int32_t permissions = container->Permissions();
        container->SetPermissions(permissions);
    });
}
