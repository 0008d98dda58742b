#include "termination_signals.h"

#include <QSocketNotifier>

#include <atomic>
#include <csignal>

#include <pthread.h>
#include <sys/signalfd.h>
#include <unistd.h>

namespace tavrela {
namespace {

std::atomic<int> receivedSignal{0};

sigset_t terminationSet() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGHUP);
    return set;
}

// A process started from the editor (after fork) gets the signals back.
void unblockInChild() {
    const sigset_t set = terminationSet();
    pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
}

} // namespace

void BlockTerminationSignals() {
    const sigset_t set = terminationSet();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    static const bool once = [] { return pthread_atfork(nullptr, nullptr, &unblockInChild) == 0; }();
    (void)once;
}

int TerminationSignal() {
    return receivedSignal.load();
}

struct TerminationSignalRoute::Impl {
    int fd = -1;
    std::unique_ptr<QSocketNotifier> notifier;
    std::function<void(int)> onSignal;
};

TerminationSignalRoute::TerminationSignalRoute(std::function<void(int)> onSignal)
    : impl_(std::make_unique<Impl>()) {
    impl_->onSignal = std::move(onSignal);
    const sigset_t set = terminationSet();
    impl_->fd = ::signalfd(-1, &set, SFD_NONBLOCK | SFD_CLOEXEC);
    if (impl_->fd < 0) {
        return;
    }
    impl_->notifier = std::make_unique<QSocketNotifier>(impl_->fd, QSocketNotifier::Read);
    Impl* d = impl_.get();
    QObject::connect(d->notifier.get(), &QSocketNotifier::activated, [d] {
        signalfd_siginfo info{};
        while (::read(d->fd, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
            const int number = static_cast<int>(info.ssi_signo);
            receivedSignal = number;
            if (d->onSignal) {
                d->onSignal(number);
            }
        }
    });
}

TerminationSignalRoute::~TerminationSignalRoute() {
    impl_->notifier.reset();
    if (impl_->fd >= 0) {
        ::close(impl_->fd);
    }
}

} // namespace tavrela
