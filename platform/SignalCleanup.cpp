#include "platform/SignalCleanup.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#if QUILLMOR_HAVE_SIGACTION && QUILLMOR_HAVE_UNISTD_H
#define QUILLMOR_SIGACTION 1
#include <signal.h>
#include <unistd.h>
#endif

namespace {

constexpr int kHandledSignals[] = {
    SIGINT, SIGTERM,
#ifdef SIGHUP
    SIGHUP,
#endif
#ifdef SIGPIPE
    SIGPIPE,
#endif
};

// One job writes one file at a time; a few buffers leave room for a caller that holds two.
constexpr int kTrackedFiles = 4;
// The longest path the system opens (PATH_MAX on Linux), with its terminating zero.
constexpr size_t kNameCapacity = 4096;
// The status a shell reports for a process that a signal ended.
constexpr int kSignalStatusBase = 128;

char trackedNames[kTrackedFiles][kNameCapacity];
volatile std::sig_atomic_t recordSignals = 0;
volatile std::sig_atomic_t recordedSignal = 0;

extern "C" void onSignal(int signalNumber) {
#if QUILLMOR_SIGACTION
    const int savedErrno = errno;
    for (char* name : trackedNames) {
        if (name[0] == '\0') continue;
        ::unlink(name);
        name[0] = '\0';
    }
    errno = savedErrno;
    if (!recordSignals) {
        // The action is the default one again (SA_RESETHAND): the signal, held back until the
        // handler returns, then ends the process.
        ::raise(signalNumber);
        return;
    }
#endif
    recordedSignal = signalNumber;
}

char* findTracked(const std::string& name) {
    for (char* slot : trackedNames) {
        if (slot[0] != '\0' && name == slot) return slot;
    }
    return nullptr;
}

}  // namespace

void SignalCleanup::install(Response response) {
    recordSignals = response == Response::record;
    for (const int signalNumber : kHandledSignals) {
#if QUILLMOR_SIGACTION
        struct sigaction previous {};
        if (::sigaction(signalNumber, nullptr, &previous) != 0 || previous.sa_handler == SIG_IGN) continue;
        struct sigaction action {};
        action.sa_handler = onSignal;
        // A second signal, once the first has been handled, ends the process at once.
        action.sa_flags = SA_RESETHAND | SA_RESTART;
        sigemptyset(&action.sa_mask);
        for (const int other : kHandledSignals) sigaddset(&action.sa_mask, other);
        ::sigaction(signalNumber, &action, nullptr);
#else
        if (std::signal(signalNumber, onSignal) == SIG_IGN) std::signal(signalNumber, SIG_IGN);
#endif
    }
}

int SignalCleanup::receivedSignal() { return recordedSignal; }

void SignalCleanup::endIfSignalled() {
    const int signalNumber = recordedSignal;
    if (signalNumber == 0) return;
    std::fflush(stdout);
    std::signal(signalNumber, SIG_DFL);
#if QUILLMOR_SIGACTION
    sigset_t held;
    sigemptyset(&held);
    sigaddset(&held, signalNumber);
    ::sigprocmask(SIG_UNBLOCK, &held, nullptr);
#endif
    std::raise(signalNumber);
    std::_Exit(kSignalStatusBase + signalNumber);
}

bool SignalCleanup::track(const std::string& name) {
    if (name.empty() || name.size() >= kNameCapacity) return false;
    for (char* slot : trackedNames) {
        if (slot[0] != '\0') continue;
        std::memcpy(slot, name.c_str(), name.size() + 1);
        std::atomic_signal_fence(std::memory_order_seq_cst);
        return true;
    }
    return false;
}

void SignalCleanup::untrack(const std::string& name) {
    if (char* slot = findTracked(name)) slot[0] = '\0';
    std::atomic_signal_fence(std::memory_order_seq_cst);
}

void SignalCleanup::removeTracked(const std::string& name) {
    if (!findTracked(name)) return;
    std::remove(name.c_str());
    untrack(name);
}

#if QUILLMOR_SIGACTION

namespace {

sigset_t handledSignals() {
    sigset_t signals;
    sigemptyset(&signals);
    for (const int signalNumber : kHandledSignals) sigaddset(&signals, signalNumber);
    return signals;
}

}  // namespace

SignalCleanup::Hold::Hold() {
    const sigset_t signals = handledSignals();
    ::sigprocmask(SIG_BLOCK, &signals, nullptr);
}

SignalCleanup::Hold::~Hold() {
    const sigset_t signals = handledSignals();
    ::sigprocmask(SIG_UNBLOCK, &signals, nullptr);
}

#else

// Without sigaction the handler touches no name: there is nothing to hold back.
SignalCleanup::Hold::Hold() = default;
SignalCleanup::Hold::~Hold() = default;

#endif
