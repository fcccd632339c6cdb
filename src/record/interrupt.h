// Files that must not outlive a run ended by SIGINT or SIGTERM: the side
// files of results being written and the directory's lock file. The handler
// removes them with async-signal-safe calls, then ends the process as the
// signal would have.
#pragma once

#include <string>

namespace ph {

// Registers `path` (made absolute) for removal if the process is interrupted.
void removeOnInterrupt(const std::string& path);
// Takes `path` off that list again.
void keepOnInterrupt(const std::string& path);
// Installs the handler for SIGINT and SIGTERM (the program, not the tests).
void installInterruptHandlers();

}  // namespace ph
