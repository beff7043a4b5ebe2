#pragma once
// What every editing command shares: the "Error: " box for a failure caught at the command's top, and
// the conversion of grid texts to the engine's strings.
#include "jet/ConnectionHost.h"
#include "jet/DaoDS.h"

#include <QString>

#include <exception>
#include <string>

// Shows "Error: " followed by the exception's message in a plain message box.
void ShowCommandError(const std::exception& error);

// The frame every editing command runs in: connect with the host's login, make one change on the open
// database, show a failure as "Error: " and its message, disconnect, then (with refresh) re-read every
// view whatever happened. A connect that fails has shown its own box, the only one of the command:
// nothing is changed then. Returns whether the change ran to its end.
template <class F> bool RunChange(TConnectionHost& host, F&& change, bool refresh = true) {
    bool done = false;
    try {
        if (host.ConnectFromLogin()) {
            DAOCall([&] { change(host.db1()); });
            done = true;
        }
    } catch (const std::exception& e) {
        ShowCommandError(e);
    }
    host.DisconnectDB();
    if (refresh) host.RefreshAll();
    return done;
}

// A name taken from a grid cell or an edit field, as the engine takes it.
inline std::string DaoText(const QString& text) {
    return text.toStdString();
}
