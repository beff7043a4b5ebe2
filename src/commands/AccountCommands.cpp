#include "AccountCommands.h"

#include "CommandFrame.h"
#include "Keyloupe_fm_UGAdd.h"

#include "jet/ConnectionHost.h"
#include "jet/DaoDS.h"
#include "ui/Dialogs.h"

#include <stdexcept>

namespace {
bool confirmed(const QString& question) {
    return ui::confirm(question) == ui::Answer::Yes;
}
} // namespace

void DoUGCommand(TConnectionHost& host, TUGCommand command, const QString& userName,
                 const QString& groupName) {
    // A connect that fails has shown its own box, the only one of the command: nothing is asked or
    // changed then, and the refresh follows as always.
    if (host.ConnectFromLogin()) {
        try {
            TDAODatabase& db = host.db1();
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
        } catch (const std::exception& e) {
            ShowCommandError(e);
        }
    }
    host.DisconnectDB();
    host.RefreshAll();
}

void AddUserOrGroup(TConnectionHost& host, Tfm_UGAdd& dialog) {
    dialog.EmptyEdits();
    if (ui::showModal(dialog) != QDialog::Accepted) return;
    const QString name = dialog.UGName();
    const QString pid = dialog.PID();
    const QString password = dialog.Password();
    const char kind = dialog.ItemIndex() == 1 ? 'G' : 'U';
    try {
        // Only emptiness is refused here; a name of blanks goes to DAO, which decides.
        if (name.isEmpty()) throw std::runtime_error("Name must not be blank.");
        // A failed connect has shown its own box; nothing is created then.
        if (host.ConnectFromLogin()) {
            if (kind == 'G')
                host.db1().CreateGroup(DaoText(name), DaoText(pid));
            else
                host.db1().CreateUser(DaoText(name), DaoText(pid), DaoText(password));
        }
    } catch (const std::exception& e) {
        ShowCommandError(e);
    }
    host.DisconnectDB();
    host.RefreshAll();
}

void ClearUserPassword(TConnectionHost& host, const QString& userName) {
    if (host.ConnectFromLogin()) {
        try {
            if (confirmed(QStringLiteral("OK to clear the password of User: ") + userName +
                          QStringLiteral("?")))
                DAOCall([&] {
                    host.db1().GetUsers()->Item(com::Variant(DaoText(userName)))->NewPassword("", "");
                });
        } catch (const std::exception& e) {
            ShowCommandError(e);
        }
    }
    host.DisconnectDB();
    host.RefreshAll();
}

bool ChangeOwnPassword(TConnectionHost& host, const QString& userName, const QString& oldPassword,
                       const QString& newPassword) {
    bool changed = false;
    if (host.ConnectFromLogin()) {
        try {
            DAOCall([&] {
                host.db1()
                    .GetUsers()
                    ->Item(com::Variant(DaoText(userName)))
                    ->NewPassword(DaoText(oldPassword), DaoText(newPassword));
            });
            changed = true;
        } catch (const std::exception& e) {
            ShowCommandError(e);
        }
    }
    host.DisconnectDB();
    return changed;
}
