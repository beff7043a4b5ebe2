// The popup menus of the two grids and the editing commands behind them.
#include "app/fm_Main.h"

#include "ui_fm_Main.h"

#include "commands/AccountCommands.h"
#include "commands/Keyloupe_fm_Hex.h"
#include "commands/Keyloupe_fm_Password.h"
#include "commands/Keyloupe_fm_UGAdd.h"
#include "commands/PermCommands.h"
#include "security/PermissionColumns.h"
#include "ui/Dialogs.h"

#include <QMenu>

#include <optional>
#include <utility>

namespace {
QAction* addItem(QMenu* menu, const char* name, const QString& caption) {
    QAction* action = menu->addAction(caption);
    action->setObjectName(QLatin1String(name));
    return action;
}
QAction* addSeparator(QMenu* menu, const char* name) {
    QAction* action = menu->addSeparator();
    action->setObjectName(QLatin1String(name));
    return action;
}
} // namespace

void TForm1::CreatePopupMenus() {
    pu_Perms = new QMenu(this);
    pu_Perms->setObjectName(QStringLiteral("pu_Perms"));
    pui_PermAdd = addItem(pu_Perms, "pui_PermAdd", QStringLiteral("&Add Permission"));
    pui_PermRemove = addItem(pu_Perms, "pui_PermRemove", QStringLiteral("&Remove Permission"));
    pui_PermSep1 = addSeparator(pu_Perms, "pui_PermSep1");
    pui_PermAll = addItem(pu_Perms, "pui_PermAll", QStringLiteral("A&dd All Permissions"));
    pui_PermNone = addItem(pu_Perms, "pui_PermNone", QStringLiteral("R&emove All Permissions"));
    N2 = addSeparator(pu_Perms, "N2");
    pui_PermHex = addItem(pu_Perms, "pui_PermHex", QStringLiteral("Enter &Hex Permission"));
    pui_PermFlipInherit = addItem(pu_Perms, "pui_PermFlipInherit", QStringLiteral("Flip &Inherit Property"));
    pui_PermOwner = addItem(pu_Perms, "pui_PermOwner", QStringLiteral("Set New &Owner"));

    pu_UserGroups = new QMenu(this);
    pu_UserGroups->setObjectName(QStringLiteral("pu_UserGroups"));
    pui_UGAdd = addItem(pu_UserGroups, "pui_UGAdd", QStringLiteral("Add User To Group"));
    pui_UGRemove = addItem(pu_UserGroups, "pui_UGRemove", QStringLiteral("Remove User from Group"));
    N3 = addSeparator(pu_UserGroups, "N3");
    pui_UGDeleteUser = addItem(pu_UserGroups, "pui_UGDeleteUser", QStringLiteral("Delete User"));
    pui_UGDeleteGroup = addItem(pu_UserGroups, "pui_UGDeleteGroup", QStringLiteral("Delete Group"));
    N4 = addSeparator(pu_UserGroups, "N4");
    pui_UGClearPassword = addItem(pu_UserGroups, "pui_UGClearPassword", QStringLiteral("Clear Password"));
}

namespace {
// The names a matrix command takes at the current cell, by real index so that hidden rows never shift
// them: the user from column 0 of its row, the group from row 0 of its column. A name that would come
// from a header cell (the corner, a group's caption taken as a user, a user's name taken as a group)
// is no name and stays empty, as does one from an emptied row.
struct TUGNames {
    QString User, Group;
};
TUGNames UGNamesAtCurrentCell(const TStringGrid& grid) {
    const int r = grid.realRowIndex(grid.currentRow());
    const int c = grid.realColIndex(grid.currentCol());
    TUGNames names;
    if (r >= grid.fixedRowCount() && r < grid.rowCount()) names.User = grid.cell(0, r);
    if (c >= grid.fixedColCount() && c < grid.colCount()) names.Group = grid.cell(c, 0);
    return names;
}

// Whether the command has every name it acts on.
bool UGCommandApplies(TUGCommand command, const TUGNames& names) {
    const bool needsUser = command != ugDeleteGroup;
    const bool needsGroup = command != ugDeleteUser;
    return (!needsUser || !names.User.isEmpty()) && (!needsGroup || !names.Group.isEmpty());
}

// A command on the permissions grid acts on a body row only, never on the header.
bool OnPermissionRow(const TStringGrid& grid) {
    return grid.currentRow() >= grid.fixedRowCount() && grid.currentRow() < grid.displayRowCount();
}
} // namespace

void TForm1::ConnectCommandHandlers() {
    connect(pui_PermAdd, &QAction::triggered, this, &TForm1::pui_PermAddClick);
    connect(pui_PermRemove, &QAction::triggered, this, &TForm1::pui_PermRemoveClick);
    connect(pui_PermAll, &QAction::triggered, this, &TForm1::pui_PermAllClick);
    connect(pui_PermNone, &QAction::triggered, this, &TForm1::pui_PermNoneClick);
    connect(pui_PermHex, &QAction::triggered, this, &TForm1::pui_PermHexClick);
    connect(pui_PermFlipInherit, &QAction::triggered, this, &TForm1::pui_PermFlipInheritClick);
    connect(pui_PermOwner, &QAction::triggered, this, &TForm1::pui_PermOwnerClick);
    connect(pui_UGAdd, &QAction::triggered, this, &TForm1::pui_UGAddClick);
    connect(pui_UGRemove, &QAction::triggered, this, &TForm1::pui_UGRemoveClick);
    connect(pui_UGDeleteUser, &QAction::triggered, this, &TForm1::pui_UGDeleteUserClick);
    connect(pui_UGDeleteGroup, &QAction::triggered, this, &TForm1::pui_UGDeleteGroupClick);
    connect(ui->bt_UG_Add, &QPushButton::clicked, this, &TForm1::bt_UG_AddClick);
    connect(pui_UGClearPassword, &QAction::triggered, this, &TForm1::pui_UGClearPasswordClick);
    connect(ui->mi_ChangePassword, &QAction::triggered, this, &TForm1::mi_ChangePasswordClick);
}

void TForm1::pu_PermsPopup() {
    const TStringGrid& grid = *ui->asg_Perms;
    const int r = grid.currentRow();
    const int c = grid.currentCol();
    for (QAction* action : pu_Perms->actions())
        action->setEnabled(false);
    if (r < 1) return;
    pui_PermNone->setEnabled(true);
    pui_PermAll->setEnabled(true);
    if (c >= FirstPermColumn) {
        pui_PermAdd->setEnabled(true);
        pui_PermRemove->setEnabled(true);
    }
    if (c == colOwner) pui_PermOwner->setEnabled(true);
    if (c == colInherit &&
        RowKindOfInheritCell(grid.cell(colInherit, grid.realRowIndex(r))) == TRowKind::Container)
        pui_PermFlipInherit->setEnabled(true);
    if (c == colPermExp) pui_PermHex->setEnabled(true);
    if (AuditMode)
        for (QAction* action : pu_Perms->actions())
            action->setEnabled(false);
}

void TForm1::pu_UserGroupsPopup() {
    const TUGNames names = UGNamesAtCurrentCell(*ui->asg_UG);
    const std::pair<QAction*, TUGCommand> items[] = {{pui_UGAdd, ugAddToGroup},
                                                     {pui_UGRemove, ugRemoveFromGroup},
                                                     {pui_UGDeleteUser, ugDeleteUser},
                                                     {pui_UGDeleteGroup, ugDeleteGroup}};
    for (QAction* action : pu_UserGroups->actions())
        action->setEnabled(false);
    for (const auto& [action, command] : items)
        action->setEnabled(!AuditMode && UGCommandApplies(command, names));
    pui_UGClearPassword->setEnabled(!AuditMode && !names.User.isEmpty());
}

void TForm1::pui_UGClearPasswordClick() {
    const TUGNames names = UGNamesAtCurrentCell(*ui->asg_UG);
    if (!names.User.isEmpty()) ::ClearUserPassword(CommandContext(), names.User);
}

void TForm1::mi_ChangePasswordClick() {
    const QString user = ui->cb_Username->currentText();
    if (user.isEmpty()) {
        ui::showMessage(QStringLiteral("Enter your user name on the Database/Login tab first."));
        return;
    }
    Tfm_Password dialog(this);
    if (ui::showModal(dialog) != QDialog::Accepted) return;
    if (::ChangeOwnPassword(CommandContext(), user, dialog.OldPassword(), dialog.NewPassword())) {
        // The login must use the new password from now on.
        ui->cb_Password->setEditText(dialog.NewPassword());
        ui::showMessage(QStringLiteral("The password of ") + user + QStringLiteral(" was changed."));
    }
}

void TForm1::pui_PermAddClick() {
    ChangePermission(true, false);
}
void TForm1::pui_PermRemoveClick() {
    ChangePermission(false, false);
}
void TForm1::pui_PermAllClick() {
    ChangePermission(true, true);
}
void TForm1::pui_PermNoneClick() {
    ChangePermission(false, true);
}
void TForm1::pui_UGAddClick() {
    UGCommandAtCurrentCell(ugAddToGroup);
}
void TForm1::pui_UGRemoveClick() {
    UGCommandAtCurrentCell(ugRemoveFromGroup);
}
void TForm1::pui_UGDeleteUserClick() {
    UGCommandAtCurrentCell(ugDeleteUser);
}
void TForm1::pui_UGDeleteGroupClick() {
    UGCommandAtCurrentCell(ugDeleteGroup);
}

// The commands read the names from the current row's cells and leave the work to the command library.

void TForm1::ChangePermission(bool Add, bool All) {
    const TStringGrid& grid = *ui->asg_Perms;
    if (!OnPermissionRow(grid)) return;
    const std::optional<TPermissionChange> change = PermissionChangeFor(grid.currentCol(), Add, All);
    if (!change) return;
    const int r = grid.realRowIndex(grid.currentRow());
    ApplyPermissionChange(CommandContext(), grid.cell(colContainer, r), grid.cell(colObjectName, r),
                          RowKindOfInheritCell(grid.cell(colInherit, r)), change->Op, change->Value,
                          grid.cell(colUGName, r));
}

void TForm1::pui_PermHexClick() {
    const TStringGrid& grid = *ui->asg_Perms;
    if (grid.currentCol() != colPermExp || !fm_Hex || !OnPermissionRow(grid)) return;
    const int r = grid.realRowIndex(grid.currentRow());
    EnterHexPermission(CommandContext(), *fm_Hex, grid.cell(colContainer, r), grid.cell(colObjectName, r),
                       RowKindOfInheritCell(grid.cell(colInherit, r)), grid.cell(colUGName, r));
}

void TForm1::pui_PermOwnerClick() {
    const TStringGrid& grid = *ui->asg_Perms;
    if (!OnPermissionRow(grid)) return;
    const int r = grid.realRowIndex(grid.currentRow());
    SetNewOwner(CommandContext(), grid.cell(colContainer, r), grid.cell(colObjectName, r),
                RowKindOfInheritCell(grid.cell(colInherit, r)), grid.cell(colUGName, r));
}

void TForm1::pui_PermFlipInheritClick() {
    const TStringGrid& grid = *ui->asg_Perms;
    if (!OnPermissionRow(grid)) return;
    const int r = grid.realRowIndex(grid.currentRow());
    FlipInherit(CommandContext(), grid.cell(colContainer, r), grid.cell(colObjectName, r),
                RowKindOfInheritCell(grid.cell(colInherit, r)), grid.cell(colUGName, r));
}

void TForm1::UGCommandAtCurrentCell(TUGCommand Command) {
    // Never a header caption for a name: the popup does not offer such a command, and nothing runs it.
    const TUGNames names = UGNamesAtCurrentCell(*ui->asg_UG);
    if (!UGCommandApplies(Command, names)) return;
    DoUGCommand(CommandContext(), Command, names.User, names.Group);
}

void TForm1::bt_UG_AddClick() {
    if (fm_UGAdd) AddUserOrGroup(CommandContext(), *fm_UGAdd);
}
