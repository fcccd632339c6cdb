// Keyword primitives of the project file: a key is found as a case-sensitive
// substring of a 128-column line, searching strictly forward from the line
// after the last one found, and the value is taken from behind it.
#pragma once

#include <string>
#include <string_view>

#include "model/run.h"
#include "record/text.h"

namespace ph {

inline constexpr std::size_t kLineWidth = 128;

// The line as the primitives see it: exactly 128 columns.
std::string line128(std::string_view line);

// Finds the next line holding `key`; with mode > 0 steps back so that the next
// read returns that line again. At the end of the file: terminal record
// "<unit> problem finding <key>" and the run stops.
void fndstrg(Run& run, int unit, std::string_view key, int mode);
int getint(Run& run, int unit, std::string_view key);
float getval(Run& run, int unit, std::string_view key);
// The rest of the key's line from its first non-blank column to its last
// non-blank one, cut or blank-padded to `length`.
std::string getstrg(Run& run, int unit, std::string_view key, std::size_t length);

// A warning about what was read on line `line` (from 1) of the file on
// `unit`: the file, the line and the text go to the terminal and the log.
void warnAt(Run& run, int unit, std::size_t line, const std::string& what);
// A text as a warning shows it: a tab as \t, other control bytes as \xNN.
std::string visible(std::string_view text);

// `input` without its leading blanks, cut or blank-padded to `length`.
std::string trim(Run& run, std::string_view input, std::size_t length);
void makblank(std::string& text);

// The output= name of a project file as the reader will find it (the first
// output= line after a [Files] line), or "" where there is none or the file
// cannot be read; for the checks made before anything is deleted or written.
std::string peekOutputName(const std::string& project);

}  // namespace ph
