// A run in this process with a project text open on the project file number
// and the log open in a temporary directory, for testing the readers one by
// one. The terminal goes to a temporary file.
#pragma once

#include <cstdio>
#include <optional>
#include <string>

#include "model/run.h"
#include "support/e2e.h"

namespace ph::test {

class DeckRun {
 public:
  explicit DeckRun(const std::string& deck, std::optional<std::string> answer = std::nullopt)
      : term_(std::tmpfile()), errs_(std::tmpfile()),
        run(term_, errs_, [answer] { return answer; }) {
    dir.write("deck.prj", deck);
    run.files.openRead(kProject, (dir.path() / "deck.prj").string());
    run.files.openWrite(kLog, (dir.path() / "run.log").string());
  }
  ~DeckRun() {
    run.files.abandonAll();
    std::fclose(term_);
    std::fclose(errs_);
  }
  std::vector<std::string> log() {
    run.files.close(kLog);
    return dir.lines("run.log");
  }
  std::string terminal() { return contents(term_); }
  std::string errors() { return contents(errs_); }

  TempDir dir;

 private:
  static std::string contents(std::FILE* f) {
    std::fflush(f);
    std::rewind(f);
    std::string all;
    int c;
    while ((c = std::fgetc(f)) != EOF) all += static_cast<char>(c);
    return all;
  }
  std::FILE* term_;
  std::FILE* errs_;

 public:
  Run run;
};

}  // namespace ph::test
