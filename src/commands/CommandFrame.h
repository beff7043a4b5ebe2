#pragma once
// The frame every editing command runs in, and what the window hands a command: the login of the
// Database/Login tab, the data module to connect and change through, and the full refresh that ends
// the command. Commands never reach back into the window for any of these.
#include "jet/DaoDS.h"
#include "jet/dm_Inspect.h"

#include <QString>

#include <exception>
#include <functional>
#include <optional>
#include <string>
#include <type_traits>

struct TCommandContext {
    TLogin Login;
    Tdm_Inspect& Data;
    std::function<void()> Refresh; // re-reads every view; may be empty where nothing shows the files
};

// Shows "Error: " followed by the exception's message in a plain message box.
void ShowCommandError(const std::exception& error);

// Closes any open connection of the data module and opens one with the login. A failure is shown as
// "Error: " followed by its message and gives false.
bool ConnectFromLogin(Tdm_Inspect& data, const TLogin& login);

// Connects with the context's login, runs change on the open database, shows a failure as "Error: "
// and its message, disconnects, then (with refresh) re-reads every view whatever happened. A connect
// that fails has shown its own box, the only one of the command: nothing is changed then. Returns
// whether the change ran to its end.
bool RunChange(const TCommandContext& context, const std::function<void(TDAODatabase&)>& change,
               bool refresh = true);

// The same frame for a read: the value read, or nothing after a failure (shown as by RunChange). The
// connection is closed again before returning, and no refresh follows.
template <class F> auto RunRead(const TCommandContext& context, F&& read) {
    std::optional<std::invoke_result_t<F, TDAODatabase&>> result;
    RunChange(
        context, [&](TDAODatabase& db) { result = read(db); }, false);
    return result;
}

// A name taken from a grid cell or an edit field, as the engine takes it.
inline std::string DaoText(const QString& text) {
    return text.toStdString();
}
