#include "audio/output/thread_priority.h"

#include <atomic>
#include <cstdlib>

#include <dirent.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace tavrela::audio {
namespace {

// Low in the real-time range: above every ordinary process, below the sound server's own
// threads (PulseAudio and PipeWire use 5 and up with RealtimeKit's default limit of 20), so
// the mixer never delays the server it feeds.
constexpr int kRealtimePriority = 4;
// The nice value wanted when real-time is refused; the sound servers' own choice is -11.
constexpr int kNiceLevel = -11;
// RealtimeKit grants real-time only to processes that cap a real-time thread's CPU time
// without a pause (a runaway thread then gets SIGXCPU instead of freezing the desktop).
constexpr rlim_t kRealtimeCpuLimitUs = 200000;

std::atomic<RealtimeHelper> realtimeHelper{nullptr};

long currentThreadId() {
    return static_cast<long>(::syscall(SYS_gettid));
}

bool trySchedRealtime(long tid) {
    sched_param param{};
    param.sched_priority = kRealtimePriority;
    // SCHED_RESET_ON_FORK: a thread or process started from this one runs at normal priority.
    return ::sched_setscheduler(static_cast<pid_t>(tid), SCHED_RR | SCHED_RESET_ON_FORK,
                                &param) == 0;
}

bool tryHelper(long tid) {
    const RealtimeHelper helper = realtimeHelper.load();
    if (helper == nullptr) {
        return false;
    }
    rlimit limit{};
    if (::getrlimit(RLIMIT_RTTIME, &limit) == 0 &&
        (limit.rlim_max == RLIM_INFINITY || limit.rlim_max > kRealtimeCpuLimitUs)) {
        limit.rlim_cur = limit.rlim_max = kRealtimeCpuLimitUs;
        ::setrlimit(RLIMIT_RTTIME, &limit);
    }
    return helper(tid, kRealtimePriority);
}

bool tryNice(long tid) {
    // As far down as RLIMIT_NICE allows; each step is refused when not allowed.
    for (int level = kNiceLevel; level < 0; level += 3) {
        if (::setpriority(PRIO_PROCESS, static_cast<id_t>(tid), level) == 0) {
            return true;
        }
    }
    return false;
}

} // namespace

void setRealtimeHelper(RealtimeHelper helper) {
    realtimeHelper = helper;
}

ThreadPriority raiseThreadPriority(long threadId) {
    const long tid = threadId != 0 ? threadId : currentThreadId();
    if (trySchedRealtime(tid) || tryHelper(tid)) {
        return ThreadPriority::Realtime;
    }
    return tryNice(tid) ? ThreadPriority::Nice : ThreadPriority::Normal;
}

std::vector<long> threadsOfThisProcess() {
    std::vector<long> ids;
    DIR* dir = ::opendir("/proc/self/task");
    if (dir == nullptr) {
        return ids;
    }
    while (const dirent* entry = ::readdir(dir)) {
        char* end = nullptr;
        const long id = std::strtol(entry->d_name, &end, 10);
        if (end != entry->d_name && *end == '\0' && id > 0) {
            ids.push_back(id);
        }
    }
    ::closedir(dir);
    return ids;
}

} // namespace tavrela::audio
