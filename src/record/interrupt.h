// A run ended by a signal. On SIGINT, SIGTERM, SIGHUP or SIGQUIT the handler
// writes one line to the terminal and the log (what the run has left: the
// line the run keeps up to date step by step); on those and on the other
// signals that end a process (SIGPIPE, SIGUSR1, ...) it removes the files
// that must not outlive the run, the side files of results being written and
// the directory's lock file. It uses async-signal-safe calls only, then ends
// the process as the signal would have. A signal that was ignored when the
// program started (nohup) stays ignored.
#pragma once

#include <signal.h>

#include <string>

namespace ph {

// Registers `path` (made absolute) for removal if the process is interrupted.
void removeOnInterrupt(const std::string& path);
// Takes `path` off that list again.
void keepOnInterrupt(const std::string& path);

// The line an interruption writes: `before`, the signal's name, `after`.
void setInterruptLine(const std::string& before, const std::string& after);
// The log's descriptor: the line goes there too. Closing it must come after
// stopReportingTo, which forgets the descriptor (if it is the one given).
void reportInterruptTo(int fd);
void stopReportingTo(int fd);

// Holds the signals back for its lifetime, on the calling thread: the
// lines of a step and the line an interruption would write change together.
class InterruptsHeld {
 public:
  InterruptsHeld();
  ~InterruptsHeld();
  InterruptsHeld(const InterruptsHeld&) = delete;
  InterruptsHeld& operator=(const InterruptsHeld&) = delete;

 private:
  sigset_t was_;
};

// Installs the handler (the program, not the tests).
void installInterruptHandlers();

}  // namespace ph
