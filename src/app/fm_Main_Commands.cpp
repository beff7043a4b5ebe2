// The popup menus of the two grids and the editing commands behind them.
#include "fm_Main.h"

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
    addItem(pu_Perms, "pui_PermAdd", QStringLiteral("&Add Permission"));
    addItem(pu_Perms, "pui_PermRemove", QStringLiteral("&Remove Permission"));
    addSeparator(pu_Perms, "pui_PermSep1");
    addItem(pu_Perms, "pui_PermAll", QStringLiteral("A&dd All Permissions"));
    addItem(pu_Perms, "pui_PermNone", QStringLiteral("R&emove All Permissions"));
    addSeparator(pu_Perms, "N2");
    addItem(pu_Perms, "pui_PermHex", QStringLiteral("Enter &Hex Permission"));
    addItem(pu_Perms, "pui_PermFlipInherit", QStringLiteral("Flip &Inherit Property"));
    addItem(pu_Perms, "pui_PermOwner", QStringLiteral("Set New &Owner"));

    pu_UserGroups = new QMenu(this);
    pu_UserGroups->setObjectName(QStringLiteral("pu_UserGroups"));
    addItem(pu_UserGroups, "pui_UGAdd", QStringLiteral("Add User To Group"));
    addItem(pu_UserGroups, "pui_UGRemove", QStringLiteral("Remove User from Group"));
    addSeparator(pu_UserGroups, "N3");
    addItem(pu_UserGroups, "pui_UGDeleteUser", QStringLiteral("Delete User"));
    addItem(pu_UserGroups, "pui_UGDeleteGroup", QStringLiteral("Delete Group"));
    addSeparator(pu_UserGroups, "N4");
    addItem(pu_UserGroups, "pui_UGClearPassword", QStringLiteral("Clear Password"));
}

namespace {
QAction* item(QMenu* menu, const char* name) {
    return menu->findChild<QAction*>(QLatin1String(name));
}

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
    connect(item(pu_Perms, "pui_PermAdd"), &QAction::triggered, this, &TForm1::pui_PermAddClick);
    connect(item(pu_Perms, "pui_PermRemove"), &QAction::triggered, this, &TForm1::pui_PermRemoveClick);
    connect(item(pu_Perms, "pui_PermAll"), &QAction::triggered, this, &TForm1::pui_PermAllClick);
    connect(item(pu_Perms, "pui_PermNone"), &QAction::triggered, this, &TForm1::pui_PermNoneClick);
    connect(item(pu_Perms, "pui_PermHex"), &QAction::triggered, this, &TForm1::pui_PermHexClick);
    connect(item(pu_Perms, "pui_PermFlipInherit"), &QAction::triggered, this,
            &TForm1::pui_PermFlipInheritClick);
    connect(item(pu_Perms, "pui_PermOwner"), &QAction::triggered, this, &TForm1::pui_PermOwnerClick);
    connect(item(pu_UserGroups, "pui_UGAdd"), &QAction::triggered, this, &TForm1::pui_UGAddClick);
    connect(item(pu_UserGroups, "pui_UGRemove"), &QAction::triggered, this, &TForm1::pui_UGRemoveClick);
    connect(item(pu_UserGroups, "pui_UGDeleteUser"), &QAction::triggered, this,
            &TForm1::pui_UGDeleteUserClick);
    connect(item(pu_UserGroups, "pui_UGDeleteGroup"), &QAction::triggered, this,
            &TForm1::pui_UGDeleteGroupClick);
    connect(ui->bt_UG_Add, &QPushButton::clicked, this, &TForm1::bt_UG_AddClick);
    connect(item(pu_UserGroups, "pui_UGClearPassword"), &QAction::triggered, this,
            &TForm1::pui_UGClearPasswordClick);
    connect(ui->mi_ChangePassword, &QAction::triggered, this, &TForm1::mi_ChangePasswordClick);
}

void TForm1::pu_PermsPopup() {
    const TStringGrid& grid = *ui->asg_Perms;
    const int r = grid.currentRow();
    const int c = grid.currentCol();
    for (QAction* action : pu_Perms->actions())
        action->setEnabled(false);
    if (r < 1) return;
    item(pu_Perms, "pui_PermNone")->setEnabled(true);
    item(pu_Perms, "pui_PermAll")->setEnabled(true);
    if (c >= FirstPermColumn) {
        item(pu_Perms, "pui_PermAdd")->setEnabled(true);
        item(pu_Perms, "pui_PermRemove")->setEnabled(true);
    }
    if (c == colOwner) item(pu_Perms, "pui_PermOwner")->setEnabled(true);
    if (c == colInherit &&
        RowKindOfInheritCell(grid.cell(colInherit, grid.realRowIndex(r))) == TRowKind::Container)
        item(pu_Perms, "pui_PermFlipInherit")->setEnabled(true);
    if (c == colPermExp) item(pu_Perms, "pui_PermHex")->setEnabled(true);
    if (AuditMode)
        for (QAction* action : pu_Perms->actions())
            action->setEnabled(false);
}

void TForm1::pu_UserGroupsPopup() {
    const TUGNames names = UGNamesAtCurrentCell(*ui->asg_UG);
    const std::pair<const char*, TUGCommand> items[] = {{"pui_UGAdd", ugAddToGroup},
                                                        {"pui_UGRemove", ugRemoveFromGroup},
                                                        {"pui_UGDeleteUser", ugDeleteUser},
                                                        {"pui_UGDeleteGroup", ugDeleteGroup}};
    for (QAction* action : pu_UserGroups->actions())
        action->setEnabled(false);
    for (const auto& [name, command] : items)
        item(pu_UserGroups, name)->setEnabled(!AuditMode && UGCommandApplies(command, names));
    item(pu_UserGroups, "pui_UGClearPassword")->setEnabled(!AuditMode && !names.User.isEmpty());
}

void TForm1::pui_UGClearPasswordClick() {
    const TUGNames names = UGNamesAtCurrentCell(*ui->asg_UG);
    if (!names.User.isEmpty()) ::ClearUserPassword(*this, names.User);
}

void TForm1::mi_ChangePasswordClick() {
    const QString user = ui->cb_Username->currentText();
    if (user.isEmpty()) {
        ui::showMessage(QStringLiteral("Enter your user name on the Database/Login tab first."));
        return;
    }
    Tfm_Password dialog(this);
    if (ui::showModal(dialog) != QDialog::Accepted) return;
    if (::ChangeOwnPassword(*this, user, dialog.OldPassword(), dialog.NewPassword())) {
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
    DoUGCommand(ugAddToGroup);
}
void TForm1::pui_UGRemoveClick() {
    DoUGCommand(ugRemoveFromGroup);
}
void TForm1::pui_UGDeleteUserClick() {
    DoUGCommand(ugDeleteUser);
}
void TForm1::pui_UGDeleteGroupClick() {
    DoUGCommand(ugDeleteGroup);
}

// The commands read the names from the current row's cells and leave the work to the command library.

void TForm1::ChangePermission(bool Add, bool All) {
    const TStringGrid& grid = *ui->asg_Perms;
    if (!OnPermissionRow(grid)) return;
    const std::optional<TPermissionChange> change = PermissionChangeFor(grid.currentCol(), Add, All);
    if (!change) return;
    const int r = grid.realRowIndex(grid.currentRow());
    ApplyPermissionChange(grid.cell(colContainer, r), grid.cell(colObjectName, r),
                          RowKindOfInheritCell(grid.cell(colInherit, r)), change->Op, change->Value,
                          grid.cell(colUGName, r));
}

void TForm1::ApplyPermissionChange(const QString& ContainerName, const QString& ObjectName, TRowKind Kind,
                                   TPermOp Op, std::int32_t Value, const QString& UGName) {
    ::ApplyPermissionChange(*this, ContainerName, ObjectName, Kind, Op, Value, UGName);
}

void TForm1::pui_PermHexClick() {
    const TStringGrid& grid = *ui->asg_Perms;
    if (grid.currentCol() != colPermExp || !fm_Hex || !OnPermissionRow(grid)) return;
    const int r = grid.realRowIndex(grid.currentRow());
    EnterHexPermission(*this, *fm_Hex, grid.cell(colContainer, r), grid.cell(colObjectName, r),
                       RowKindOfInheritCell(grid.cell(colInherit, r)), grid.cell(colUGName, r));
}

void TForm1::pui_PermOwnerClick() {
    const TStringGrid& grid = *ui->asg_Perms;
    if (!OnPermissionRow(grid)) return;
    const int r = grid.realRowIndex(grid.currentRow());
    SetNewOwner(*this, grid.cell(colContainer, r), grid.cell(colObjectName, r),
                RowKindOfInheritCell(grid.cell(colInherit, r)), grid.cell(colUGName, r));
}

void TForm1::pui_PermFlipInheritClick() {
    const TStringGrid& grid = *ui->asg_Perms;
    if (!OnPermissionRow(grid)) return;
    const int r = grid.realRowIndex(grid.currentRow());
    FlipInherit(*this, grid.cell(colContainer, r), grid.cell(colObjectName, r),
                RowKindOfInheritCell(grid.cell(colInherit, r)), grid.cell(colUGName, r));
}

void TForm1::DoUGCommand(TUGCommand Command) {
    // Never a header caption for a name: the popup does not offer such a command, and nothing runs it.
    const TUGNames names = UGNamesAtCurrentCell(*ui->asg_UG);
    if (!UGCommandApplies(Command, names)) return;
    ::DoUGCommand(*this, Command, names.User, names.Group);
}

void TForm1::bt_UG_AddClick() {
    if (fm_UGAdd) AddUserOrGroup(*this, *fm_UGAdd);
}
