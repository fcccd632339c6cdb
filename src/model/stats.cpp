#include "model/stats.h"

namespace ph {

Stats deviat(int nx, int ny, int nz, const RealField& field) {
  return deviatWith(nx, ny, nz, field, [](std::size_t) {});
}

Stats xdeviat(int nx, int ny, int nz, const IntField& imat, const MatTable& table) {
  return statistics(nx, ny, nz, [&](std::size_t c) { return table[imat[c]]; }, [](std::size_t) {});
}

}  // namespace ph
