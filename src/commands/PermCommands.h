#pragma once
// The commands of the permissions grid's popup menu: add and remove rights, the hex value, the owner
// and the container's inherit setting. Each works in the frame of CommandFrame.h: connect with the
// context's login, make one change through DAO, show a failure as "Error: " followed by its message,
// disconnect, and run the context's full refresh. None of them writes into a grid; the grid shows what the
// refresh reads back. When the connect fails, its box is the command's only one: nothing is changed, and the
// refresh follows (the hex command's read is not followed by one).
//
// Names are the texts of the row's cells: the container (column 1), the document or "<container>" for
// the container's own rows (column 2), and the user or group (column 4). Whether a row is the
// container's own or a document's is its TRowKind, taken from what the walk wrote, never from the
// object name's text: a document may be named like the marker.
#include "commands/CommandFrame.h"
#include "commands/PermOp.h"
#include "dao/Dao.h"
#include "security/ObjectLookup.h"

#include <QString>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

class Tfm_Hex;

// The kind of a permissions row from its Inherit cell (column 7): the walk writes "T" or "F" on a
// container's own rows and "-" on document rows.
inline TRowKind RowKindOfInheritCell(const QString& inheritCell) {
    return inheritCell == QStringLiteral("-") ? TRowKind::Document : TRowKind::Container;
}

struct TPermissionChange {
    TPermOp Op;
    std::int32_t Value;
};

// What the add and remove commands write when the current cell lies in column col: in the permission
// columns 9-30 one right (OR its EnableMask, AND NOT its DisableMask) or all (FFFFF / 0); in column 8
// only the two "all" commands act. Nothing in any other column.
std::optional<TPermissionChange> PermissionChangeFor(int col, bool add, bool all);

// The single write path of permission values: sets the target's UserName to ugName, reads its explicit
// Permissions, combines them with value by op and writes the result back (also when unchanged).
// Returns whether the change was written.
bool ApplyPermissionChange(const TCommandContext& context, const QString& containerName,
                           const QString& objectName, TRowKind kind, TPermOp op, std::int32_t value,
                           const QString& ugName);

// Reads the explicit permissions of ugName on the object over a connection of its own, which is closed
// again before returning. A failure is shown as "Error: " + message and gives nothing.
std::optional<std::int32_t> ReadExplicitPermission(const TCommandContext& context,
                                                   const QString& containerName, const QString& objectName,
                                                   TRowKind kind, const QString& ugName);

// "Enter Hex Permission": reads the current value, shows the hex dialog with it and writes the chosen
// result through ApplyPermissionChange. A failed read shows its error and opens no dialog; the
// connection of the read is closed before the dialog is shown. Cancel writes nothing and does not
// refresh.
void EnterHexPermission(const TCommandContext& context, Tfm_Hex& dialog, const QString& containerName,
                        const QString& objectName, TRowKind kind, const QString& ugName);

// "Set New Owner": makes ugName the owner of the container or document; returns whether it did.
bool SetNewOwner(const TCommandContext& context, const QString& containerName, const QString& objectName,
                 TRowKind kind, const QString& ugName);

// "Flip Inherit Property": toggles ugName's inherit setting on the container and stores it by writing
// the container's Permissions back unchanged. On a document row it throws "Inherit doesn't apply to
// non-Container" before connecting, and nothing else happens.
void FlipInherit(const TCommandContext& context, const QString& containerName, const QString& objectName,
                 TRowKind kind, const QString& ugName);
