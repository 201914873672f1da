// A serial line for tests: two pseudo-terminals joined by socat.
#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "run_program.h"

namespace tarvo::test {

// Two pseudo-terminals joined by socat, as a cradle's cable joins a handheld
// and a desktop. ok() is false (with why()) when socat is missing.
class SerialLine {
 public:
  SerialLine();
  ~SerialLine();
  SerialLine(const SerialLine&) = delete;
  SerialLine& operator=(const SerialLine&) = delete;
  bool ok() const { return !desktop_.empty(); }
  const std::string& why() const { return why_; }
  // The desktop's end and the handheld's end (/dev/pts/N).
  const std::string& desktop() const { return desktop_; }
  const std::string& handheld() const { return handheld_; }

 private:
  std::filesystem::path dir_;
  std::unique_ptr<RunningProgram> socat_;
  std::string desktop_, handheld_, why_;
};

}  // namespace tarvo::test
