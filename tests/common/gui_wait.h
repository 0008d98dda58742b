#pragma once
// How long a GUI test waits for the window system at most. A virtual X server shared by tests
// running in parallel can take seconds to expose a window under load; this is an upper bound
// for the wait, never a time the test asserts.
inline constexpr int kWindowWaitMs = 30000;
