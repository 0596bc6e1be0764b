#pragma once

#include <csignal>

namespace q3 {

// Ctrl+C (SIGINT), SIGTERM and SIGHUP end the program in every mode the same way: the files it
// was still writing are removed, never their destinations, and it exits with 128 plus the
// signal's number, as a shell expects. The handler does this itself, so that a signal is obeyed
// even while the program waits on a full pipe or a slow disk.
//
// Every other signal whose default action ends the program (SIGQUIT, SIGUSR1, SIGUSR2, SIGALRM,
// SIGXCPU, a crash, ...) removes those files too, and then ends the program as its default
// action would, so that the parent sees the signal (and a core where there would be one).
// Writing past the file-size limit (ulimit -f) is not a signal here: the write fails with
// "File too large", as on a full disk.
//
// A closed pipe is not a signal: writes to it fail with "Broken pipe" and are handled where they
// are made.
void installStopSignals();

// Temporary files the handler removes. Registering returns a slot for forgetting the file again
// once it has been placed or removed; -1 if there is no room (the file is then left behind on a
// signal). A file is registered before it is made, so that no signal comes between the two.
[[nodiscard]] int rememberTemporary(const char* path);
void forgetTemporary(int slot);
// A complete output has been placed: an interruption no longer means that nothing was written.
void notePlacedOutput();
// Whether the error stream's cursor stands after a progress bar, so that a message starts on a
// line of its own.
void noteOpenStatusLine(bool open);

// While one lives, the signals that end the program wait: a signal that comes meanwhile is
// obeyed when the last one goes. For steps that must happen whole, such as a line of a stream or
// placing two files as a pair. On the main thread; a signal that reaches another thread is handed
// to the main thread.
class SignalsHeld
{
public:
    SignalsHeld();
    ~SignalsHeld();
    SignalsHeld(const SignalsHeld&) = delete;
    SignalsHeld& operator=(const SignalsHeld&) = delete;
    SignalsHeld(SignalsHeld&&) = delete;
    SignalsHeld& operator=(SignalsHeld&&) = delete;

private:
    sigset_t before_{};
};

} // namespace q3
