// point=NAME X Y Z, a line of the [Physics] block that names a point.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "model/named_points.h"

namespace ph {

// Takes the value of a point= line (line `line` of the project file) into
// `points`; returns why it cannot ("" where it can). Where the point lies on
// the grid is checked before the run steps, once the grid is known.
std::string takePointLine(std::string_view value, std::size_t line, std::vector<NamedPoint>& points);

}  // namespace ph
