// Record layouts: a layout string such as "(1X,100(1X,F6.1))" is parsed once
// into a compact list of items and then applied to many records.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "record/values.h"

namespace ph {

class Layout {
 public:
  // Parses the layout; throws std::invalid_argument naming the column of a
  // malformed item. Layouts are program constants, so that is a coding slip.
  explicit Layout(std::string_view text);

  // Writes one record: the lines it makes are appended to `lines`, without
  // line ends. Rules:
  //  - items are taken left to right, one value per I, F, E, G or A item;
  //  - when the values run out, the items that follow up to the next item that
  //    needs a value are still written, but writing stops at a closing
  //    parenthesis of a group that would repeat and holds an item that takes
  //    a value, and at the end of the layout
  //    (so "(80(I2,1X))" with 3 values gives 9 characters and
  //    "(1X,100(1X,F6.1))" with 6 values gives 43);
  //  - when the layout ends and values remain, the line ends and writing
  //    resumes at the last top-level group (its repeat count applies again),
  //    or at the start when there is none;
  //  - "/" ends the line; one at the end leaves an empty line after the record.
  void write(std::span<const FmtValue> values,
             std::vector<std::string>& lines) const;
  std::vector<std::string> format(std::initializer_list<FmtValue> values) const;

  const std::string& text() const { return text_; }

 private:
  struct Item {
    enum class Op : std::uint8_t { Blanks, Text, I, F, E, G, A, Slash, Open, Close };
    Op op;
    int w = 0;       // width (0 for A without width), blank count, or repeat count
    int d = 0;       // decimals; for Close, the index of the matching Open
    std::string text;  // literal text
  };
  std::string text_;
  std::vector<Item> items_;
  std::size_t reversion_ = 0;  // item index where writing resumes
};

}  // namespace ph
