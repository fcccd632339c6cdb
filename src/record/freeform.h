// Free-form (list-directed) records: the writer that lays items out on lines of
// at most 80 characters, and the one tokenizer that every reader of numbers uses.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "record/values.h"

namespace ph {

// Writes one free-form record and returns its lines (without line ends).
// Numbers carry their own leading blank; a text item is written unchanged with
// no separator, except that a text beginning a line gets one blank in front.
// Before an item is placed, the line ends when the line so far plus the item
// would reach 80 characters; a real counts its whole text (blank, sign place,
// digits), an integer its sign and digits, a text its characters. A line that
// holds nothing yet is never ended. A line feed inside a text counts as one
// character of the record's line; the lines returned are cut at it.
std::vector<std::string> formatFree(std::span<const FmtValue> items);
std::vector<std::string> formatFree(std::initializer_list<FmtValue> items);

// One target of a free-form read.
struct ReadTarget {
  enum class Kind : std::uint8_t { Int, Real, Text };
  Kind kind;
  void* p;
  std::size_t len = 0;  // text targets: fixed length, blank-padded
  static ReadTarget integer(int& v) { return {Kind::Int, &v, 0}; }
  static ReadTarget real(float& v) { return {Kind::Real, &v, 0}; }
  // The text is set to exactly `len` characters, blank-padded or cut.
  static ReadTarget text(std::string& v, std::size_t len) { return {Kind::Text, &v, len}; }
};

enum class ReadStatus : std::uint8_t { Ok, End, Bad };

struct ReadResult {
  ReadStatus status = ReadStatus::Ok;
  std::size_t line = 0;      // index of the line where the read ended or failed
  std::string token;         // the offending token when status is Bad
  std::string_view expected; // "integer" or "real" when status is Bad
  std::size_t column = 0;    // where the read stopped on its last line
  bool repeatsLeft = false;  // the last value was an r*v with copies left over
};

// Reads targets.size() values from lines[pos], lines[pos+1], ...: values are
// separated by blanks, commas or line ends; r*v is r copies of v, r* r null
// values; an empty field between commas is a null value; a null leaves its
// target unchanged; a "/" ends the read leaving the rest unchanged; texts are
// taken up to the next separator, or between apostrophes (a doubled
// apostrophe stands for one). Integers are digits with an optional sign;
// reals also take a point and an exponent (E, e, D, d), and the words
// Inf, Infinity and NaN in any case. A read of no values still takes one line.
// On return pos is past the last line the read touched (the rest of that line
// is discarded). End: the lines ran out first. Bad: a value of the wrong
// kind; pos is then past the line that held it.
ReadResult readFree(std::span<const std::string> lines, std::size_t& pos,
                    std::span<const ReadTarget> targets);

}  // namespace ph
