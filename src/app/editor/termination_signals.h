#pragma once
// SIGTERM, SIGINT and SIGHUP end the editor as its close box does, at any moment. The signals
// are blocked in every thread and read from a signal descriptor by the interface thread's
// event loop, so no library that installs handlers of its own (the Firebird client does, when
// it first connects) can take them away, and nothing runs inside a signal handler.

#include <functional>
#include <memory>

namespace tavrela {

/// Blocks the three signals in the calling thread; every thread started afterwards inherits
/// that. Call first thing in main(), before any thread exists.
void BlockTerminationSignals();

/// The signal that asked the program to end, 0 while none has.
int TerminationSignal();

/// Delivers the blocked signals to the interface thread's event loop while alive. Needs the
/// application object; the signals are blocked by BlockTerminationSignals() beforehand.
class TerminationSignalRoute {
public:
    /// `onSignal` runs on the interface thread with the signal's number, each time one comes.
    explicit TerminationSignalRoute(std::function<void(int)> onSignal);
    ~TerminationSignalRoute();
    TerminationSignalRoute(const TerminationSignalRoute&) = delete;
    TerminationSignalRoute& operator=(const TerminationSignalRoute&) = delete;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace tavrela
