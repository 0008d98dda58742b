#pragma once

#include <pthread.h>

namespace tavrela::audio {

/// A mutex with priority inheritance: while a thread of higher priority (the real-time mixer)
/// waits for it, the thread holding it (an interface thread asking for a position) runs at
/// that priority, so a busy machine cannot keep the mixer waiting behind an ordinary thread.
/// Meets the standard Lockable requirements (std::lock_guard, std::unique_lock).
class PiMutex {
public:
    explicit PiMutex(bool recursive = false) {
        pthread_mutexattr_t attr;
        pthread_mutexattr_init(&attr);
        pthread_mutexattr_setprotocol(&attr, PTHREAD_PRIO_INHERIT);
        if (recursive) {
            pthread_mutexattr_settype(&attr, PTHREAD_MUTEX_RECURSIVE);
        }
        pthread_mutex_init(&mutex_, &attr);
        pthread_mutexattr_destroy(&attr);
    }
    ~PiMutex() { pthread_mutex_destroy(&mutex_); }
    PiMutex(const PiMutex&) = delete;
    PiMutex& operator=(const PiMutex&) = delete;

    void lock() { pthread_mutex_lock(&mutex_); }
    bool try_lock() { return pthread_mutex_trylock(&mutex_) == 0; }
    void unlock() { pthread_mutex_unlock(&mutex_); }

private:
    pthread_mutex_t mutex_;
};

/// PiMutex that the thread holding it may lock again.
class RecursivePiMutex : public PiMutex {
public:
    RecursivePiMutex() : PiMutex(true) {}
};

} // namespace tavrela::audio
