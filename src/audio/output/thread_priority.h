#pragma once

#include <vector>

namespace tavrela::audio {

/// How far raiseThreadPriority() got.
enum class ThreadPriority {
    Normal,   ///< the system allowed nothing
    Nice,     ///< a higher nice level
    Realtime, ///< round-robin real-time scheduling
};

/// Raises a thread of this process (kernel thread id; 0: the calling thread) above ordinary
/// work, as far as the system allows: real-time round-robin at a low real-time priority (with
/// CAP_SYS_NICE or an RLIMIT_RTPRIO grant, the usual set-up of a desktop's audio group), else
/// through the desktop's RealtimeKit service when the program has set one up (see
/// setRealtimeHelper), else a lower nice value. Processes started from it never inherit it.
ThreadPriority raiseThreadPriority(long threadId = 0);

/// Kernel thread ids of this process's threads, in no particular order.
std::vector<long> threadsOfThisProcess();

/// A service that makes a thread real-time on the process's behalf (RealtimeKit over D-Bus,
/// which the program reaches through its own toolkit): called with the kernel thread id and
/// the wanted real-time priority, true when granted. Set once at start-up, before any output
/// is opened.
using RealtimeHelper = bool (*)(long threadId, int priority);
void setRealtimeHelper(RealtimeHelper helper);

} // namespace tavrela::audio
