#include "model/run.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <fstream>
#include <iostream>
#include <memory>

#include "record/freeform.h"

namespace ph {

Console systemConsole() {
  return []() -> std::optional<std::string> {
    std::string line;
    if (isatty(STDIN_FILENO)) {
      if (!std::getline(std::cin, line)) return std::string{};
      return line;
    }
    std::ifstream tty("/dev/tty");
    if (!tty) return std::nullopt;
    if (!std::getline(tty, line)) return std::string{};
    return line;
  };
}

Run::Run(std::FILE* terminal_, std::FILE* errors_, Console console_)
    : terminal(terminal_), errors(errors_), console(std::move(console_)), files(terminal_) {}

void Run::pause(std::string_view message) {
  std::fflush(terminal);
  std::string text = "PAUSE  ";
  text += message;
  text += " statement executed\nTo resume execution, type go.  Other input will terminate the job.\n";
  std::fputs(text.c_str(), errors);
  std::fflush(errors);
  std::optional<std::string> answer = console ? console() : std::nullopt;
  if (!answer) throw RunEnd(kExitStopped, "pourheat: no console to answer the pause; the run ends");
  // The answer go, in any case and with blanks around it, resumes the run.
  std::string word;
  for (char c : *answer) word += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  const auto first = word.find_first_not_of(" \t\r\n");
  const auto last = word.find_last_not_of(" \t\r\n");
  word = first == std::string::npos ? std::string() : word.substr(first, last - first + 1);
  if (word == "go") {
    std::fputs("Execution resumes after PAUSE.\n", errors);
    std::fflush(errors);
    return;
  }
  std::fputs("STOP\n", errors);
  std::fflush(errors);
  throw RunEnd(kExitStopped);
}

void Run::stop() { throw RunEnd(kExitStopped); }

void Run::reject(const std::string& message) {
  free(kTerminal, {message});
  if (files.isOpen(kLog)) free(kLog, {message});
  throw RunEnd(kExitStopped);
}

std::string numberText(float v) {
  const std::string line = formatFree({v}).front();
  return line.substr(std::min(line.find_first_not_of(' '), line.size()));
}

void Run::warn(const std::string& message) {
  free(kTerminal, {"Warning: " + message});
  if (files.isOpen(kLog)) free(kLog, {"Warning: " + message});
}

void Run::free(int unit, std::initializer_list<FmtValue> items) {
  files.writeLines(unit, formatFree(items));
}

void Run::free(int unit, std::span<const FmtValue> items) {
  files.writeLines(unit, formatFree(items));
}

void Run::put(int unit, const Layout& layout, std::initializer_list<FmtValue> items) {
  std::vector<std::string> lines;
  layout.write(std::span<const FmtValue>(items.begin(), items.size()), lines);
  files.writeLines(unit, lines);
}

void Run::put(int unit, const Layout& layout, std::span<const FmtValue> items) {
  std::vector<std::string> lines;
  layout.write(items, lines);
  files.writeLines(unit, lines);
}

}  // namespace ph
