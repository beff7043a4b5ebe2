#include "commands/CommandFrame.h"

#include "ui/Dialogs.h"

void ShowCommandError(const std::exception& error) {
    ui::showMessage(QStringLiteral("Error: ") + QString::fromStdString(error.what()));
}

bool ConnectFromLogin(Tdm_Inspect& data, const TLogin& login) {
    try {
        return data.Connect(login);
    } catch (const std::exception& e) {
        ShowCommandError(e);
        return false;
    }
}

bool RunChange(const TCommandContext& context, const std::function<void(TDAODatabase&)>& change,
               bool refresh) {
    bool done = false;
    try {
        if (ConnectFromLogin(context.Data, context.Login)) {
            DAOCall([&] { change(context.Data.db1); });
            done = true;
        }
    } catch (const std::exception& e) {
        ShowCommandError(e);
    }
    context.Data.Disconnect();
    if (refresh && context.Refresh) context.Refresh();
    return done;
}
