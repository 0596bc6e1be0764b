#pragma once

namespace q3 {

// Ctrl+C (SIGINT), SIGTERM and SIGHUP end the program in every mode the same way: the files it
// was still writing are removed, never their destinations, and it exits with 128 plus the
// signal's number, as a shell expects. The handler does this itself, so that a signal is obeyed
// even while the program waits on a full pipe or a slow disk.
//
// A closed pipe is not a signal: writes to it fail with "Broken pipe" and are handled where they
// are made.
void installStopSignals();

// Temporary files the handler removes. Registering returns a slot for forgetting the file again
// once it has been placed or removed; -1 if there is no room (the file is then left behind on a
// signal).
[[nodiscard]] int rememberTemporary(const char* path);
void forgetTemporary(int slot);
// A complete output has been placed: an interruption no longer means that nothing was written.
void notePlacedOutput();
// Whether the error stream's cursor stands after a progress bar, so that a message starts on a
// line of its own.
void noteOpenStatusLine(bool open);

} // namespace q3
