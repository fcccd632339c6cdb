// Fuzz target: the input is series.pr beside a fixed project file.
#include <cstdio>
#include <cstdlib>

#include "fuzz/harness.h"

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  ph::fuzz::absoluteArguments(argc, argv);
  ph::fuzz::enterWorkDir();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
  const ph::fuzz::Result r =
      ph::fuzz::runSeries(std::string_view(reinterpret_cast<const char*>(data), size));
  if (!r.problem.empty()) {
    std::fprintf(stderr, "pourheat fuzz: %s\n", r.problem.c_str());
    std::abort();
  }
  return 0;
}
