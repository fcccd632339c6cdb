// sections.csv, written by runs whose [Physics] block has section=NAME: the
// temperature of every cell of the three grid planes through NAME's cell
// (i fixed, j fixed, k fixed), at the step of NAME's peak and at the step of
// the largest difference between NAME and the coldest other named point.
#pragma once

#include <string>

#include "model/model_state.h"
#include "model/run.h"

namespace ph {

inline constexpr const char* kSectionsName = "sections.csv";

// A field kept at a chosen step.
struct KeptField {
  std::string kind;  // "peak" or "difference"
  float time = 0;    // s, the end of the step
  RealField h;
};

void writeSectionsHeader(Run& run);

// Writes sections.csv anew, whole (it takes its name only once complete):
// for each kept field the planes through cell (i, j, k) of an nx x ny x nz grid.
void writeSections(Run& run, int nx, int ny, int nz, int i, int j, int k, const KeptField* const* kept, int count);

}  // namespace ph
