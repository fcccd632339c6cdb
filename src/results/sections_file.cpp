#include "results/sections_file.h"

#include "results/points_file.h"

namespace ph {

namespace {

constexpr const char* kHeader = "kind,time_h,plane,i,j,k,temp_C";

// The rows of one plane: the fixed index `axis` (0 i, 1 j, 2 k) at `at`,
// the other two over the grid, the lower axis fastest.
void plane(const KeptField& f, int axis, int at, const int n[3], std::vector<std::string>& rows) {
  const std::string lead = f.kind + "," + threeDecimals(f.time / 3600.0f) + "," + "xyz"[axis] + ",";
  const int a = axis == 0 ? 1 : 0, b = axis == 2 ? 1 : 2;  // the free axes, a faster
  int c[3];
  c[axis] = at;
  for (c[b] = 1; c[b] <= n[b]; ++c[b])
    for (c[a] = 1; c[a] <= n[a]; ++c[a])
      rows.push_back(lead + std::to_string(c[0]) + "," + std::to_string(c[1]) + "," + std::to_string(c[2]) + "," +
                     threeDecimals(f.h[cell(c[0], c[1], c[2])]));
}

}  // namespace

void writeSectionsHeader(Run& run) { run.files.writeLines(kSections, {kHeader}); }

void writeSections(Run& run, int nx, int ny, int nz, int i, int j, int k, const KeptField* const* kept, int count) {
  const int n[3] = {nx, ny, nz}, at[3] = {i, j, k};
  run.files.openWrite(kSections, kSectionsName, true);
  std::vector<std::string> rows{kHeader};
  for (int f = 0; f < count; ++f)
    for (int axis = 0; axis < 3; ++axis) {
      plane(*kept[f], axis, at[axis], n, rows);
      run.files.writeLines(kSections, rows);
      rows.clear();
    }
  run.files.writeLines(kSections, rows);
  run.files.close(kSections);
}

}  // namespace ph
