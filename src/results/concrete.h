// The concrete's own temperatures: per step its highest and lowest cell, their
// difference and the mean, written to concrete.csv; over the run the peak and
// the largest difference, for the summary at the end.
//
// Concrete is every cell of a heat-producing material (production above 0),
// except the cells of a mirror face, which only copy a plane inside.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "model/model_state.h"
#include "model/run.h"

namespace ph {

struct CellIndex {
  int i = 0, j = 0, k = 0;
};

// The figures of one field. With no concrete cell, cells is 0 and the rest
// means nothing.
struct ConcreteFigures {
  long long cells = 0;
  float max = 0, min = 0, mean = 0;
  CellIndex hottest, coldest;  // the first in the order k, j, i
};

// The run so far: the peak and the largest difference, each the first time
// it was reached.
struct ConcreteRecord {
  long long steps = 0;  // steps with concrete
  long long cells = 0;
  float peak = 0, peakTime = 0;  // time in seconds
  CellIndex peakCell;
  float diff = 0, diffTime = 0;
  CellIndex diffHot, diffCold;
};

// One pass over the cells in use.
ConcreteFigures concreteFigures(int nx, int ny, int nz, const IntField& imat, const MatTable& prod,
                                const std::array<char, 6>& bound, const RealField& hnew);

// The header of concrete.csv, on its file number.
void writeConcreteHeader(Run& run);
// One line of concrete.csv for a step ending at `time` (seconds), and the
// record brought up to date. A field without concrete writes nothing.
void writeConcreteLine(Run& run, float time, const ConcreteFigures& f, ConcreteRecord& record);

// The summary of a finished run on the terminal and the log, starting with a
// record that begins "Summary"; `files` are the result files written.
void writeConcreteSummary(Run& run, const ConcreteRecord& record, const std::vector<std::string>& files);

}  // namespace ph
