#include "commands/AccountCommands.h"

#include "commands/Keyloupe_fm_UGAdd.h"
#include "jet/DaoDS.h"
#include "ui/Dialogs.h"

#include <stdexcept>

namespace {
bool confirmed(const QString& question) {
    return ui::confirm(question) == ui::Answer::Yes;
}
} // namespace

void DoUGCommand(const TCommandContext& context, TUGCommand command, const QString& userName,
                 const QString& groupName) {
    RunChange(context, [&](TDAODatabase& db) {
        switch (command) {
        case ugAddToGroup:
            db.AddUserToGroup(DaoText(userName), DaoText(groupName));
            break;
        case ugRemoveFromGroup:
            db.RemoveUserFromGroup(DaoText(userName), DaoText(groupName));
            break;
        case ugDeleteUser:
            if (confirmed(QStringLiteral("OK to delete User: ") + userName + QStringLiteral("?")))
                db.DeleteUser(DaoText(userName));
            break;
        case ugDeleteGroup:
            if (confirmed(QStringLiteral("OK to delete Group: ") + groupName + QStringLiteral("?")))
                db.DeleteGroup(DaoText(groupName));
            break;
        }
    });
}

void AddUserOrGroup(const TCommandContext& context, Tfm_UGAdd& dialog) {
    dialog.EmptyEdits();
    if (ui::showModal(dialog) != QDialog::Accepted) return;
    const QString name = dialog.UGName();
    const QString pid = dialog.PID();
    const QString password = dialog.Password();
    const char kind = dialog.ItemIndex() == 1 ? 'G' : 'U';
    // Only emptiness is refused here, before any connection; a name of blanks goes to DAO, which decides.
    if (name.isEmpty()) {
        ShowCommandError(std::runtime_error("Name must not be blank."));
        context.Data.Disconnect();
        if (context.Refresh) context.Refresh();
        return;
    }
    RunChange(context, [&](TDAODatabase& db) {
        if (kind == 'G')
            db.CreateGroup(DaoText(name), DaoText(pid));
        else
            db.CreateUser(DaoText(name), DaoText(pid), DaoText(password));
    });
}

void ClearUserPassword(const TCommandContext& context, const QString& userName) {
    RunChange(context, [&](TDAODatabase& db) {
        if (confirmed(QStringLiteral("OK to clear the password of User: ") + userName + QStringLiteral("?")))
            db.GetUsers()->Item(com::Variant(DaoText(userName)))->NewPassword("", "");
    });
}

bool ChangeOwnPassword(const TCommandContext& context, const QString& userName, const QString& oldPassword,
                       const QString& newPassword) {
    return RunChange(
        context,
        [&](TDAODatabase& db) {
            db.GetUsers()
                ->Item(com::Variant(DaoText(userName)))
                ->NewPassword(DaoText(oldPassword), DaoText(newPassword));
        },
        false);
}
