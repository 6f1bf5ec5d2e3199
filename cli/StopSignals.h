#pragma once

// Ctrl+C and SIGTERM for a command that ends cleanly rather than at once (station mode, the
// survey): while an object of this class lives, either signal calls the handler on the event
// loop's thread, through a pipe, since a signal handler may do no more than write to one.
// One at a time; its end gives both signals their default back.

#include <functional>

class QSocketNotifier;

class StopSignals {
public:
    explicit StopSignals(std::function<void()> handler);
    ~StopSignals();
    StopSignals(const StopSignals &) = delete;
    StopSignals &operator=(const StopSignals &) = delete;

private:
    QSocketNotifier *notifier_ = nullptr;
};
