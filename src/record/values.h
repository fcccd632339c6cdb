// One value of a record, as handed to the layout writer and the free-form writer.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace ph {

struct FmtValue {
  enum class Kind : std::uint8_t { Int, Real, Text };
  Kind kind;
  long long i = 0;
  float r = 0.0f;
  std::string_view s;

  FmtValue(int v) : kind(Kind::Int), i(v) {}
  FmtValue(long long v) : kind(Kind::Int), i(v) {}
  FmtValue(float v) : kind(Kind::Real), r(v) {}
  FmtValue(std::string_view v) : kind(Kind::Text), s(v) {}
  FmtValue(const char* v) : kind(Kind::Text), s(v) {}
  FmtValue(const std::string& v) : kind(Kind::Text), s(v) {}
  // Reals are single precision everywhere: a double here is a slip, not a value.
  FmtValue(double) = delete;
};

}  // namespace ph
