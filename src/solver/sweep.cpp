#include "solver/sweep.h"

#include <algorithm>
#include <array>
#include <bit>
#include <chrono>
#include <cmath>
#include <cstring>
#include <limits>
#include <unordered_map>

#include "solver/conductance.h"
#include "solver/sweep_kernels.h"

namespace ph {

namespace {

bool sweepsAnything(const StepInputs& in) { return in.nx >= 3 && in.ny >= 3 && in.nz >= 3; }

// Codes the six weights of every computed cell (active: not 0 at its
// position in a layer): the 255 commonest sets of six get a row of the table
// each, the others unclassedWeights. A position that is not a computed cell
// takes the code of the computed cell before it in its row (or, where there
// is none, after it): its lane in a run is never stored, and so the runs
// find their lanes agreeing wherever their computed cells do.
void codeWeights(const ShearedLayout& l, const int* active, const double* wI, const double* wJ, const double* wK,
                 std::vector<std::uint8_t>& code, std::vector<double>& rows) {
  using Six = std::array<double, 6>;
  struct Bits {
    std::size_t operator()(const Six& w) const {
      std::size_t h = 0;
      for (double x : w) h = h * 1000003u ^ std::hash<std::uint64_t>()(std::bit_cast<std::uint64_t>(x));
      return h;
    }
    bool operator()(const Six& a, const Six& b) const { return std::memcmp(a.data(), b.data(), sizeof a) == 0; }
  };
  const std::ptrdiff_t L = l.layerSize;
  auto six = [&](std::ptrdiff_t c, std::ptrdiff_t p) {
    return Six{wI[p - 1], wI[c], wJ[p], wJ[c], wK[c - L], wK[c]};
  };
  auto eachCell = [&](auto f) {
    for (int k = 2; k <= l.nz - 1; ++k)
      for (int r = 0; r < l.ny; ++r)
        for (int i = 0; i < rowPitch; ++i) {
          const std::ptrdiff_t row = (k - 1) * L + std::ptrdiff_t(r) * rowPitch;
          const std::ptrdiff_t prv = (k - 1) * L + std::ptrdiff_t(r == 0 ? l.ny - 1 : r - 1) * rowPitch;
          f(row + i, prv + i, active[std::ptrdiff_t(r) * rowPitch + i] != 0);
        }
  };
  // Neighbouring cells mostly share their six: the last one found is kept.
  std::unordered_map<Six, std::size_t, Bits, Bits> counts;
  Six last{};
  std::size_t* lastCount = nullptr;
  eachCell([&](std::ptrdiff_t c, std::ptrdiff_t p, bool computed) {
    if (!computed) return;
    const Six w = six(c, p);
    if (!lastCount || !Bits()(w, last)) last = w, lastCount = &counts[w];
    ++*lastCount;
  });
  std::vector<std::pair<std::size_t, Six>> common;
  for (const auto& [w, n] : counts) common.push_back({n, w});
  const std::size_t kept = std::min<std::size_t>(common.size(), unclassedWeights);
  std::partial_sort(common.begin(), common.begin() + std::ptrdiff_t(kept), common.end(),
                    [](const auto& a, const auto& b) { return a.first > b.first; });
  std::unordered_map<Six, std::uint8_t, Bits, Bits> codeOf;
  rows.assign(6 * runLength * std::size_t(unclassedWeights), 0.0);
  for (std::size_t n = 0; n < kept; ++n) {
    codeOf[common[n].second] = std::uint8_t(n);
    for (int f = 0; f < 6; ++f)
      std::fill_n(rows.begin() + std::ptrdiff_t((6 * n + f) * runLength), runLength, common[n].second[f]);
  }
  code.assign(l.size(), 0);
  std::vector<bool> set(l.size(), false);
  std::uint8_t lastCode = 0;
  bool known = false;
  eachCell([&](std::ptrdiff_t c, std::ptrdiff_t p, bool computed) {
    if (!computed) return;
    const Six w = six(c, p);
    if (!known || !Bits()(w, last)) {
      const auto it = codeOf.find(w);
      last = w, known = true;
      lastCode = it == codeOf.end() ? std::uint8_t(unclassedWeights) : it->second;
    }
    code[c] = lastCode;
    set[c] = true;
  });
  // The other positions of each row, from the left and then from the right.
  for (std::ptrdiff_t row = 0; row < std::ptrdiff_t(l.size()); row += rowPitch) {
    for (std::ptrdiff_t c = row + 1; c < row + rowPitch; ++c)
      if (!set[c] && set[c - 1]) code[c] = code[c - 1], set[c] = true;
    for (std::ptrdiff_t c = row + rowPitch - 2; c >= row; --c)
      if (!set[c] && set[c + 1]) code[c] = code[c + 1], set[c] = true;
  }
}

}  // namespace

std::vector<Sweeper::Isa> Sweeper::supportedIsas() {
  std::vector<Isa> isas{Isa::generic};
  if (hasAvx2()) isas.push_back(Isa::avx2);
  if (hasAvx512()) isas.push_back(Isa::avx512);
  return isas;
}

const char* Sweeper::isaName(Isa isa) {
  switch (isa) {
    case Isa::avx512: return "avx512";
    case Isa::avx2: return "avx2";
    default: return "generic";
  }
}

Sweeper::Sweeper(SweepOptions options)
    : options_(options),
      isa_(supportedIsas().back()),
      denom_(matcap + 1, 0.0),
      denomRows_(std::size_t(matcap + 1) * runLength, 0.0) {}
Sweeper::~Sweeper() = default;
Sweeper::Sweeper(Sweeper&&) noexcept = default;
Sweeper& Sweeper::operator=(Sweeper&&) noexcept = default;

int Sweeper::threads() const {
  if (threadsFor(in_) == 1) return 1;
  return options_.threads == 2 || choice_.lastTwo() ? 2 : 1;
}

int Sweeper::threadsFor(const StepInputs& in) const {
  return ThreadChoice::threadsFor(in.nx, in.ny, in.nz, options_.threads);
}

void Sweeper::begin(const StepInputs& in, const RealField& hnew, const std::function<void()>& alongside) {
  if (threadsFor(in) == 1 || (options_.threads == 0 && !choice_.lastTwo())) {
    alongside();
    prepare(in);
    load(hnew);
    return;
  }
  if (!team_) team_ = std::make_unique<SweepTeam>();
  auto task = [&alongside](SweepTeam&) { alongside(); };
  const int no = team_->start(task);
  prepare(in);
  load(hnew);
  team_->join(no);
}

int Sweeper::divisionsPerUpdate(float tscale) const {
  int n = in_.conductances ? 0 : 4;
  for (double d2 : {in_.dx2, in_.dy2, in_.dz2})
    if (!in_.conductances && exactReciprocal(d2) != 0.0) --n;
  if (!(tscale > 0.0f && tscale <= std::numeric_limits<float>::max())) ++n;
  return n;
}

void Sweeper::prepare(const StepInputs& in) {
  in_ = in;
  const int nx = in.nx, ny = in.ny, nz = in.nz;
  if (!sweepsAnything(in)) return;
  const Kernels& kern = kernels(isa_);
  const ShearKernels& shears = shearKernels(isa_);
  layout_.shape(nx, ny, nz);
  const std::ptrdiff_t layerSize = layout_.layerSize;
  const std::size_t size = layout_.size();
  if (work_.size() < size) work_.resize(size, 0.0f);
  const bool balanced = in.conductances != nullptr;
  if (mat_.size() < size) {
    mat_.resize(size, 0);
    oldTerm_.resize(size, 0.0);
  }
  if (!balanced && oldLapl_.size() < size) oldLapl_.resize(size, 0.0);
  if (balanced && recip_.size() < size) recip_.resize(size, 0.0);
  const Conductances* g = in.conductances;
  if (balanced && (g->stamp != weightsStamp_ || weightsShape_[0] != nx || weightsShape_[1] != ny ||
                   weightsShape_[2] != nz)) {
    shearDoubles(layout_, g->plusI.data(), wI_);
    shearDoubles(layout_, g->plusJ.data(), wJ_);
    shearDoubles(layout_, g->plusK.data(), wK_);
    weightsStamp_ = g->stamp;
    weightsShape_[0] = nx, weightsShape_[1] = ny, weightsShape_[2] = nz;
    codedActive_.clear();
  }
  schedule_.shape(nx, ny, layout_.diagRow);
  active_.assign(std::size_t(layerSize), 0);
  const std::vector<int>& mask = *in.secmask;
  for (int j = 2; j <= ny - 1; ++j)
    for (int i = 2; i <= nx - 1; ++i)
      if (mask[column(i, j)]) active_[layout_.diagRow[i + j - 2] + i] = -1;
  schedule_.mark(active_.data());
  if (balanced && codedActive_ != active_) {
    codeWeights(layout_, active_.data(), wI_.data(), wJ_.data(), wK_.data(), wcode_, wrows_);
    codedActive_ = active_;
  }

  // Per material: the denominator, and the operands of the old-level term.
  const double S = formula::inverseSquares(in.dx2, in.dy2, in.dz2);
  const double alpha = in.alpha;
  const double dt = in.dtstep;
  const MatTable& A = *in.A;
  const MatTable& sig = *in.sig;
  double Ad[matcap + 1], sigd[matcap + 1], Qd[matcap + 1];
  for (int m = 0; m <= matcap; ++m) {
    denom_[m] = formula::denominator(alpha, S, A[m], sig[m], dt);
    std::fill_n(denomRows_.begin() + runLength * m, runLength, denom_[m]);
    Ad[m] = A[m];
    sigd[m] = sig[m];
    Qd[m] = in.heat.rate * (*in.prod)[m];  // the product rounded to float
  }

  // hold is needed three layers at a time, sheared; imat and the cells' own
  // heat one layer.
  holdRing_.resize(3 * std::size_t(layerSize));
  matIn_.resize(std::size_t(layerSize));
  if (in.heat.cells) heatIn_.resize(std::size_t(layerSize));
  auto holdLayer = [&](int k) { return holdRing_.data() + (k % 3) * layerSize; };
  StepTables p;
  p.matIn = matIn_.data();
  p.heat = in.heat.cells ? heatIn_.data() : nullptr;
  p.mat = mat_.data();
  p.active = active_.data();
  p.oldTerm = oldTerm_.data();
  p.oldLapl = oldLapl_.data();
  p.balanced = balanced;
  p.wI = wI_.data(), p.wJ = wJ_.data(), p.wK = wK_.data();
  p.recip = recip_.data();
  p.alpha = alpha;
  p.A = Ad, p.sig = sigd, p.Q = Qd;
  p.layerSize = layerSize;
  p.nx = nx, p.ny = ny;
  p.dx2 = in.dx2, p.dy2 = in.dy2, p.dz2 = in.dz2;
  p.S = S;
  p.oneMinusAlpha = 1.0 - alpha;
  p.dt = dt;
  const float* hold = in.hold->data();
  shears.inFloat(hold + cell(1, 1, 1), holdLayer(1), nx, ny);
  shears.inFloat(hold + cell(1, 1, 2), holdLayer(2), nx, ny);
  for (int k = 2; k <= nz - 1; ++k) {
    shears.inFloat(hold + cell(1, 1, k + 1), holdLayer(k + 1), nx, ny);
    shears.inInt(in.imat->data() + cell(1, 1, k), matIn_.data(), nx, ny);
    if (in.heat.cells) shears.inFloat(in.heat.cells->data() + cell(1, 1, k), heatIn_.data(), nx, ny);
    kern.prepareLayer(p, k, holdLayer(k - 1), holdLayer(k), holdLayer(k + 1));
  }
}

// A grid too small for a sweep keeps the field in its own layout: the sweeps
// change nothing, and the mirror faces are boundary()'s.
void Sweeper::load(const RealField& field) {
  if (!sweepsAnything(in_)) {
    work_.assign(field.begin(), field.end());
    return;
  }
  shearField(shearKernels(isa_), layout_, field.data(), work_.data());
}

void Sweeper::store(RealField& field) const {
  if (!sweepsAnything(in_)) {
    std::copy(work_.begin(), work_.begin() + std::ptrdiff_t(field.size()), field.begin());
    return;
  }
  unshearField(shearKernels(isa_), layout_, work_.data(), field.data());
}

void Sweeper::mirrorFaces(const FaceCodes& bound) {
  const int nx = in_.nx, ny = in_.ny, nz = in_.nz;
  if (!sweepsAnything(in_)) {
    // work_ holds the field as it is laid out in a RealField.
    RealField& plain = work_;
    boundary(nx, ny, nz, bound, plain);
    return;
  }
  copyMirrorFaces(nx, ny, nz, bound, work_.data(), [&](int i, int j, int k) { return layout_.at(i, j, k); });
}

void Sweeper::sweep(RealField& field, float tscale, float& err, double& relax) {
  load(field);
  sweep(tscale, err, relax);
  store(field);
}

void Sweeper::sweep(float tscale, float& err, double& relax) {
  formula::shortStep(in_, relax);
  const int nx = in_.nx, ny = in_.ny, nz = in_.nz;
  if (!sweepsAnything(in_)) return;
  const Kernels& kern = kernels(isa_);

  Shared s;
  s.work = work_.data();
  s.mat = mat_.data();
  s.oldTerm = oldTerm_.data();
  s.oldLapl = oldLapl_.data();
  s.denom = denomRows_.data();
  s.active = active_.data();
  s.diagRow = layout_.diagRow.data();
  s.layerSize = layout_.layerSize;
  s.nx = nx;
  s.ny = ny;
  s.dx2 = in_.dx2, s.dy2 = in_.dy2, s.dz2 = in_.dz2;
  s.alpha = in_.alpha;
  s.relax = relax;
  s.relaxM1 = relax - 1.0;
  s.rx2 = exactReciprocal(s.dx2);
  s.ry2 = exactReciprocal(s.dy2);
  s.rz2 = exactReciprocal(s.dz2);
  s.powersOfTwo = (s.rx2 != 0.0 ? 1u : 0u) | (s.ry2 != 0.0 ? 2u : 0u) | (s.rz2 != 0.0 ? 4u : 0u);
  s.tscale = tscale;
  s.divideEach = !(tscale > 0.0f && tscale <= std::numeric_limits<float>::max());
  s.balanced = in_.conductances != nullptr;
  s.wI = wI_.data(), s.wJ = wJ_.data(), s.wK = wK_.data();
  s.recip = recip_.data();
  s.wcode = wcode_.data();
  s.wrows = wrows_.data();

  // The middle column(s) of a layer: one when nx is odd, two when even.
  const int bandLo = (nx + 1) / 2, bandHi = nx + 1 - bandLo;
  auto middle = [&](int lf, int lr) {
    const Job before[2] = {{lf, 2, bandLo - 1, false}, {lr, bandHi + 1, nx - 1, true}};
    kern.passes(s, before, 2, err);
    middleColumns(s, lf, lr, bandLo, bandHi, err);
    const Job after[2] = {{lf, bandHi + 1, nx - 1, false}, {lr, 2, bandLo - 1, true}};
    kern.passes(s, after, 2, err);
  };
  // The pass p (layer p forward, layer nz+1-p reflected) is a middle pass
  // when the two halves' layers touch: one pass when nz is odd, two when
  // even. Outside the middle passes the halves never touch: before them the
  // forward half works below the middle layer(s) and the reflected half
  // above, each reading only layers that no pass of the other half before
  // the middle writes; after them the other way round. So the halves may run
  // on two threads, each at its own pace, as long as the middle passes come
  // after every pass before them and before every pass after them.
  const int midLo = nz / 2 + (nz % 2), midHi = nz + 1 - midLo;
  auto middles = [&] {
    for (int p = midLo; p <= midHi; ++p) middle(p, nz + 1 - p);
  };
  // The passes from..to of the forward half, the reflected half or both, in
  // groups, each group one scheduled call; e collects the largest change.
  const std::ptrdiff_t layerSize = layout_.layerSize;
  auto halves = [&kern, &s, this, nz, layerSize](int from, int to, bool forward, bool reflected, float& e) {
    for (int p = from; p <= to; p += group) {
      const int passes = std::min(group, to - p + 1);
      JobBases b;
      int n = 0;
      for (int q = p; q < p + passes; ++q) {
        if (forward) b.layer[n] = (q - 1) * layerSize, b.cold[n++] = layerSize;
        if (reflected) b.layer[n] = (nz - q) * layerSize, b.cold[n++] = -layerSize;
      }
      const std::vector<SweepRun>& runs = schedule_.runs(passes, forward, reflected);
      kern.scheduled(s, runs.data(), runs.size(), b, e);
    }
  };

  using clock = std::chrono::steady_clock;
  const clock::time_point begun = clock::now();
  const bool two = threadsFor(in_) == 2 && choice_.nextOnTwo(options_.threads);
  if (!two && !options_.halvesInTurns) {
    halves(2, midLo - 1, true, true, err);
    middles();
    halves(midHi + 1, nz - 1, true, true, err);
    choice_.timed(false, std::chrono::duration<double>(clock::now() - begun).count());
    return;
  }

  if (options_.halvesInTurns) {
    // All passes of one half up to the middle, then the other's; the middle
    // passes; then the same half's passes after the middle, then the
    // other's. The half that goes first changes from one sweep to the next.
    forwardLeads_ = !forwardLeads_;
    halves(2, midLo - 1, forwardLeads_, !forwardLeads_, err);
    halves(2, midLo - 1, !forwardLeads_, forwardLeads_, err);
    middles();
    halves(midHi + 1, nz - 1, forwardLeads_, !forwardLeads_, err);
    halves(midHi + 1, nz - 1, !forwardLeads_, forwardLeads_, err);
    return;
  }

  // Two threads: this one the forward half and the middle passes, the
  // worker the reflected half.
  if (!team_) team_ = std::make_unique<SweepTeam>();
  SweepTeam& t = *team_;
  const int sweepNo = t.posted.load(std::memory_order_relaxed) + 1;
  auto reflectedHalf = [&halves, midLo, midHi, nz, sweepNo](SweepTeam& team) {
    float e = team.err;
    halves(2, midLo - 1, false, true, e);
    publish(team.before, sweepNo);
    waitAtLeast(team.middle, sweepNo);
    halves(midHi + 1, nz - 1, false, true, e);
    team.err = e;
  };
  t.err = err;
  t.start(reflectedHalf);
  halves(2, midLo - 1, true, false, err);
  waitAtLeast(t.before, sweepNo);
  middles();
  publish(t.middle, sweepNo);
  halves(midHi + 1, nz - 1, true, false, err);
  t.join(sweepNo);
  if (t.err > err) err = t.err;
  choice_.timed(true, std::chrono::duration<double>(clock::now() - begun).count());
}

}  // namespace ph
