// A yes-or-no question on the terminal, for commands about to overwrite or
// delete something.
#include <cstdio>

#include "host/commands.h"

namespace tarvo::host {

bool askYesNo(const std::string& question) {
  std::printf("%s [y/N] ", question.c_str());
  std::fflush(stdout);
  char answer[16] = {};
  if (std::fgets(answer, sizeof answer, stdin) == nullptr) return false;
  return answer[0] == 'y' || answer[0] == 'Y';
}

}  // namespace tarvo::host
