// A fresh copy of examples/large in a scratch directory, for the benchmarks
// that run it.
#pragma once

#include <unistd.h>

#include <filesystem>
#include <string>

inline std::filesystem::path scratchCopy(const char* tag) {
  namespace fs = std::filesystem;
  const fs::path dir = fs::temp_directory_path() / ("pourheat-large-" + std::string(tag) + "-" +
                                                    std::to_string(getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir);
  for (const auto& e : fs::directory_iterator(POURHEAT_LARGE_DIR))
    fs::copy_file(e.path(), dir / e.path().filename());
  return dir;
}
