// Fuzz target: the input is the project file of a bounded run.
#include "fuzz/harness.h"

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  ph::fuzz::startTarget(argc, argv);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
  return ph::fuzz::finishInput(
      ph::fuzz::runProject(std::string_view(reinterpret_cast<const char*>(data), size)));
}
