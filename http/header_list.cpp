#include "http/header_list.h"

HeaderLines SplitRawHeaders(std::string_view block) {
  HeaderLines lines;
  size_t lf;
  while ((lf = block.find('\n')) != std::string_view::npos && lf > 0) {
    lines.emplace_back(block.substr(0, lf));
    block.remove_prefix(lf + 1);
  }
  if (!block.empty()) lines.emplace_back(block);
  return lines;
}
