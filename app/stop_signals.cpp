#include "app/stop_signals.h"

#include "core/messages.h"

#include <array>
#include <atomic>
#include <climits>
#include <csignal>
#include <cstring>
#include <string_view>
#include <sys/syscall.h>
#include <unistd.h>

namespace q3 {
namespace {

// The handler may read only what is lock-free and written before it is needed.
struct Slot
{
    std::atomic<bool> used{false};
    std::array<char, PATH_MAX> path{};
};
constexpr std::size_t kSlots = 16;
std::array<Slot, kSlots> temporaries;
std::atomic<bool> placedAny{false};
std::atomic<bool> statusLineOpen{false};
std::atomic<pid_t> mainThread{0};
static_assert(std::atomic<bool>::is_always_lock_free);
static_assert(std::atomic<pid_t>::is_always_lock_free);

// The signals the program obeys by exiting with 128 plus their number.
constexpr std::array kStopSignals = {SIGINT, SIGTERM, SIGHUP};
// The other signals that come from outside and end the program by default; and the real-time
// signals, from SIGRTMIN on, which do too.
constexpr std::array kOtherEndingSignals = {SIGQUIT, SIGUSR1, SIGUSR2, SIGALRM, SIGVTALRM,
                                            SIGPROF, SIGXCPU, SIGIO,   SIGPWR,  SIGSTKFLT};
// The signals of a fault of the program itself. A sanitizer reports these on its own.
#if defined(__SANITIZE_ADDRESS__)
constexpr std::array<int, 0> kFaultSignals = {};
#else
constexpr std::array kFaultSignals = {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT, SIGSYS, SIGTRAP};
#endif

bool isFault(int signal)
{
    for (const int fault : kFaultSignals)
        if (signal == fault)
            return true;
    return false;
}

// Every signal that, from outside, ends the program and so may wait while SignalsHeld lives.
sigset_t endingSignals()
{
    sigset_t set;
    sigemptyset(&set);
    for (const int signal : kStopSignals)
        sigaddset(&set, signal);
    for (const int signal : kOtherEndingSignals)
        sigaddset(&set, signal);
    for (int signal = SIGRTMIN; signal <= SIGRTMAX; ++signal)
        sigaddset(&set, signal);
    return set;
}

void say(std::string_view text)
{
    // Nothing more can be done about an error stream that cannot be written.
    [[maybe_unused]] const ssize_t ignored = ::write(STDERR_FILENO, text.data(), text.size());
}

void removeTemporaries()
{
    bool removed = false;
    for (Slot& slot : temporaries) {
        if (slot.used.load()) {
            ::unlink(slot.path.data());
            removed = true;
        }
    }
    if (removed) {
        if (statusLineOpen.load())
            say("\n");
        say(kProgramName);
        say(kPrefixSeparator);
        say(placedAny.load() ? "interrupted; only complete files were written\n"
                             : "interrupted; nothing was written\n");
    }
}

void stop(int signal)
{
    // A signal from outside is obeyed by the main thread alone, which may be holding it until a
    // step it is taking is whole.
    const pid_t main = mainThread.load();
    if (!isFault(signal) && main != 0 && static_cast<pid_t>(::syscall(SYS_gettid)) != main) {
        ::syscall(SYS_tgkill, ::getpid(), main, signal);
        return;
    }
    removeTemporaries();
    for (const int stopSignal : kStopSignals)
        if (signal == stopSignal)
            ::_exit(128 + signal);
    // Ended as by default: the signal comes again once this handler returns.
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

} // namespace

void installStopSignals()
{
    mainThread.store(static_cast<pid_t>(::syscall(SYS_gettid)));
    struct sigaction action = {};
    action.sa_handler = stop;
    action.sa_mask = endingSignals();
    sigset_t handled = endingSignals();
    for (const int signal : kFaultSignals)
        sigaddset(&handled, signal);
    for (int signal = 1; signal <= SIGRTMAX; ++signal) {
        struct sigaction old = {};
        // A signal ignored from the start (nohup, a background job) stays ignored.
        if (sigismember(&handled, signal) == 1 && sigaction(signal, nullptr, &old) == 0 &&
            old.sa_handler != SIG_IGN)
            sigaction(signal, &action, nullptr);
    }
    // Progress and traces written into a pipe whose reader has gone fail with EPIPE instead of
    // killing the program, and a file that reaches the size limit fails with EFBIG.
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGXFSZ, SIG_IGN);
}

SignalsHeld::SignalsHeld()
{
    const sigset_t ending = endingSignals();
    pthread_sigmask(SIG_BLOCK, &ending, &before_);
}

SignalsHeld::~SignalsHeld()
{
    pthread_sigmask(SIG_SETMASK, &before_, nullptr);
}

int rememberTemporary(const char* path)
{
    const std::size_t length = std::strlen(path);
    if (length >= PATH_MAX)
        return -1;
    for (std::size_t i = 0; i < kSlots; ++i) {
        Slot& slot = temporaries[i];
        if (slot.used.load())
            continue;
        std::memcpy(slot.path.data(), path, length + 1);
        slot.used.store(true);
        return static_cast<int>(i);
    }
    return -1;
}

void forgetTemporary(int slot)
{
    if (slot >= 0 && static_cast<std::size_t>(slot) < kSlots)
        temporaries[static_cast<std::size_t>(slot)].used.store(false);
}

void notePlacedOutput()
{
    placedAny.store(true);
}

void noteOpenStatusLine(bool open)
{
    statusLineOpen.store(open);
}

} // namespace q3
