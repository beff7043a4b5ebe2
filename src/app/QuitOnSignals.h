#pragma once
// The end of a session (SIGTERM at logout, SIGHUP when the terminal goes, SIGINT) ends Keyloupe the way
// "&Quit" does, settings saved. The signal handler only writes one byte to a pipe; a socket notifier on
// the pipe's other end calls quit on the event loop, where anything may be done.
#include <QObject>

#include <csignal>
#include <functional>
#include <iterator>

class QSocketNotifier;

class TQuitOnSignals : public QObject {
public:
    // Installs the handlers; quit is called on the event loop for each signal that arrives.
    explicit TQuitOnSignals(std::function<void()> quit, QObject* parent = nullptr);
    // Puts the handlers back as they were.
    ~TQuitOnSignals() override;
    TQuitOnSignals(const TQuitOnSignals&) = delete;
    TQuitOnSignals& operator=(const TQuitOnSignals&) = delete;

    static constexpr int Signals[] = {SIGTERM, SIGHUP, SIGINT};

private:
    void signalArrived();

    std::function<void()> m_quit;
    int m_pipe[2] = {-1, -1};
    QSocketNotifier* m_notifier = nullptr;
    struct sigaction m_previous[std::size(Signals)] = {};
};
