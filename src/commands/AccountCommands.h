#pragma once
// User and group administration from the Users/Groups tab. Each command works in the frame of
// CommandFrame.h: connects with the context's login, makes one change through DAO, shows a failure as
// "Error: " followed by its message, disconnects and runs the context's full refresh; the matrix shows
// what the refresh reads back.
#include "commands/CommandFrame.h"
#include "commands/PermOp.h"

#include <QString>

class Tfm_UGAdd;

// The matrix commands on the user userName (column 0 of the current row) and the group groupName (row 0
// of the current column). The two deletions ask in the "Confirm" box after connecting; only Yes goes
// on, and every answer still ends with the disconnect and the refresh. When the connect fails, its box
// is the command's only one: nothing is asked or changed, and the refresh follows.
void DoUGCommand(const TCommandContext& context, TUGCommand command, const QString& userName,
                 const QString& groupName);

// "Add User or Group": shows the dialog with empty edits and, unless it is cancelled, creates the user
// (name, PID, password) or the group (name, PID; the password is not used). An empty name is refused
// with "Name must not be blank." before any connection; the refresh follows in every case but Cancel.
void AddUserOrGroup(const TCommandContext& context, Tfm_UGAdd& dialog);

// "Clear Password" on a user's row of the matrix: asks, then empties the user's password. Only members
// of Admins may set another user's password; the engine refuses anyone else. The refresh follows.
void ClearUserPassword(const TCommandContext& context, const QString& userName);

// "Change Password...": the logged-in user userName changes their own password with the old one.
// Returns true when it was changed; a failure is shown as "Error: " and its message.
bool ChangeOwnPassword(const TCommandContext& context, const QString& userName, const QString& oldPassword,
                       const QString& newPassword);
