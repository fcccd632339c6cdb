// Fixed-length text, as the records of the project file and the names of the
// command line hold it: cut or padded with blanks to a length, and read back
// without its trailing blanks.
#pragma once

#include <string>
#include <string_view>

namespace ph {

// Every control character counts as a blank (tabs, a carriage return left at
// the end of a line).
inline bool blankChar(char c) { return static_cast<unsigned char>(c) <= 32; }

// A text that holds no non-blank character.
bool isBlank(std::string_view text);
// Fixed-length text: cut or blank-padded to `length`.
std::string fixedText(std::string_view text, std::size_t length);
// A fixed-length text without its trailing blanks.
std::string rtrimmed(std::string_view text);

}  // namespace ph
