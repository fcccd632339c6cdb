// point=NAME X Y Z, a line of the [Physics] block that names a point.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "model/named_points.h"
#include "model/physics.h"

namespace ph {

// Takes the value of a point= line (line `line` of the project file) into
// `points`; returns why it cannot ("" where it can). Where the point lies on
// the grid is checked before the run steps, once the grid is known.
std::string takePointLine(std::string_view value, std::size_t line, std::vector<NamedPoint>& points);

// section=NAME: the point through whose cell the sections are kept. Returns
// why the value cannot be taken ("" where it can).
std::string takeSectionLine(std::string_view value, std::size_t line, PhysicsOptions& physics);
// Once the whole block is read: why its section= names no point ("" where
// it does, or where there is no section=).
std::string sectionProblem(const PhysicsOptions& physics);

}  // namespace ph
