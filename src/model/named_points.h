// Named points: places in the modelled body where an engineer wants the
// temperature (a sensor, the core, 50 mm under a face), named by the
// [Physics] block's point= lines and written to points.csv step by step.
#pragma once

#include <cstddef>
#include <string>

namespace ph {

inline constexpr std::size_t kMaxNamedPoints = 64;
inline constexpr std::size_t kMaxPointName = 32;

struct NamedPoint {
  std::string name;     // 1 to 32 letters, digits, '-', '_', '.'
  double x = 0, y = 0, z = 0;  // m, the outer low corner of cell (1, 1, 1) the origin
  std::size_t line = 0;  // of the project file that names it
};

}  // namespace ph
