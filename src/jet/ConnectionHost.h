#pragma once
// What the commands and readers need from the window that owns the login: connect with the login it
// shows, disconnect, refresh every view, and the database component of the data module.
class TDAODatabase;

class TConnectionHost {
public:
    virtual ~TConnectionHost() = default;
    // Connects with the current login; on failure shows "Error: " + the message and returns false.
    virtual bool ConnectFromLogin() = 0;
    virtual void DisconnectDB() = 0;
    virtual void RefreshAll() = 0;
    virtual TDAODatabase& db1() = 0;
};
