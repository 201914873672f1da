// Runs a program as a child and measures it: wall time and the child's own
// peak resident memory (from wait4), which is what the benchmarks compare.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace tarvo::bench {

struct ChildRun {
  int status = -1;  // exit status; -1 when it did not exit normally
  double seconds = 0;
  double peakMb = 0;
  std::string output;  // standard output and error together
};

ChildRun runChild(const std::vector<std::string>& argv, const std::map<std::string, std::string>& env = {});

// The median of `values` (which it sorts).
double median(std::vector<double> values);

}  // namespace tarvo::bench
