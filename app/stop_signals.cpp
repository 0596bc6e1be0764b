#include "app/stop_signals.h"

#include "core/messages.h"

#include <array>
#include <atomic>
#include <climits>
#include <csignal>
#include <cstring>
#include <string_view>
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
static_assert(std::atomic<bool>::is_always_lock_free);

void say(std::string_view text)
{
    // Nothing more can be done about an error stream that cannot be written.
    [[maybe_unused]] const ssize_t ignored = ::write(STDERR_FILENO, text.data(), text.size());
}

void stop(int signal)
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
    ::_exit(128 + signal);
}

} // namespace

void installStopSignals()
{
    struct sigaction action = {};
    action.sa_handler = stop;
    sigemptyset(&action.sa_mask);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP})
        sigaddset(&action.sa_mask, signal);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP})
        sigaction(signal, &action, nullptr);
    // Progress and traces written into a pipe whose reader has gone fail with EPIPE instead of
    // killing the program.
    std::signal(SIGPIPE, SIG_IGN);
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
