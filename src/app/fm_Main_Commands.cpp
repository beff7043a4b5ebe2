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

#include <initializer_list>
#include <optional>
#include <utility>

void TForm1::CreatePopupMenus() {
    // One entry per item in menu order: where the item is kept, its designer name, its caption (none
    // for a separator) and its click handler.
    struct TMenuEntry {
        QAction** item;
        const char* name;
        const char* caption;
        void (TForm1::*onClick)();
    };
    auto makeMenu = [this](const char* name, std::initializer_list<TMenuEntry> entries) {
        auto* menu = new QMenu(this);
        menu->setObjectName(QLatin1String(name));
        for (const TMenuEntry& e : entries) {
            *e.item = e.caption ? menu->addAction(QString::fromUtf8(e.caption)) : menu->addSeparator();
            (*e.item)->setObjectName(QLatin1String(e.name));
            if (e.onClick) connect(*e.item, &QAction::triggered, this, e.onClick);
        }
        return menu;
    };
    pu_Perms = makeMenu(
        "pu_Perms", {{&pui_PermAdd, "pui_PermAdd", "&Add Permission", &TForm1::pui_PermAddClick},
                     {&pui_PermRemove, "pui_PermRemove", "&Remove Permission", &TForm1::pui_PermRemoveClick},
                     {&pui_PermSep1, "pui_PermSep1", nullptr, nullptr},
                     {&pui_PermAll, "pui_PermAll", "A&dd All Permissions", &TForm1::pui_PermAllClick},
                     {&pui_PermNone, "pui_PermNone", "R&emove All Permissions", &TForm1::pui_PermNoneClick},
                     {&N2, "N2", nullptr, nullptr},
                     {&pui_PermHex, "pui_PermHex", "Enter &Hex Permission", &TForm1::pui_PermHexClick},
                     {&pui_PermFlipInherit, "pui_PermFlipInherit", "Flip &Inherit Property",
                      &TForm1::pui_PermFlipInheritClick},
                     {&pui_PermOwner, "pui_PermOwner", "Set New &Owner", &TForm1::pui_PermOwnerClick}});
    pu_UserGroups = makeMenu(
        "pu_UserGroups",
        {{&pui_UGAdd, "pui_UGAdd", "Add User To Group", &TForm1::pui_UGAddClick},
         {&pui_UGRemove, "pui_UGRemove", "Remove User from Group", &TForm1::pui_UGRemoveClick},
         {&N3, "N3", nullptr, nullptr},
         {&pui_UGDeleteUser, "pui_UGDeleteUser", "Delete User", &TForm1::pui_UGDeleteUserClick},
         {&pui_UGDeleteGroup, "pui_UGDeleteGroup", "Delete Group", &TForm1::pui_UGDeleteGroupClick},
         {&N4, "N4", nullptr, nullptr},
         {&pui_UGClearPassword, "pui_UGClearPassword", "Clear Password", &TForm1::pui_UGClearPasswordClick}});
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
    // The popup items are wired where they are made (CreatePopupMenus).
    connect(ui->bt_UG_Add, &QPushButton::clicked, this, &TForm1::bt_UG_AddClick);
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
