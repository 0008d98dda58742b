#pragma once
// The exception a command or event handler raises to end the current action without any
// message: dispatchers catch it and drop it. The display also treats it as a host's veto of
// its own reaction to a pointer or key event.
#include <exception>

namespace tavrela {

class ESilentAbort : public std::exception {
public:
    const char* what() const noexcept override { return "Operation aborted"; }
};

/// Ends the current command silently.
[[noreturn]] inline void SilentAbort() {
    throw ESilentAbort();
}

} // namespace tavrela
