// Five statistics of a quantity over all cells in use: mean, standard
// deviation, mean absolute deviation, minimum and maximum. The sums are single
// precision and the visiting order (k, then i, then j innermost) fixes their
// rounding.
#pragma once

#include "model/model_state.h"

namespace ph {

struct Stats {
  float avg = 0, rms = 0, mad = 0, min = 0, max = 0;
};

Stats deviat(int nx, int ny, int nz, const RealField& field);
Stats xdeviat(int nx, int ny, int nz, const IntField& imat, const MatTable& table);

}  // namespace ph
