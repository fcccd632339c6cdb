// pourheat: predicts the temperature history of freshly placed concrete.
// Usage: pourheat <project file> <log file> <flag file> (or --help, --version)
#include <string>
#include <vector>

#include "driver/driver.h"
#include "record/interrupt.h"

int main(int argc, char** argv) {
  ph::installInterruptHandlers();
  ph::Run run;
#ifdef POURHEAT_EARLIER_BUILD
  run.earlierMask = true;
#endif
  const std::vector<std::string> args(argv + 1, argv + argc);
  return ph::runProgram(run, args);
}
