// Header lines as the client takes and gives them: one line per entry, in
// wire order, without the line feed.
#pragma once

#include <string>
#include <string_view>
#include <vector>

using HeaderLines = std::vector<std::string>;

// Splits a raw response header block the way the sync path has always seen
// it: each entry is the text before a line feed (a carriage return before it
// is kept), and scanning stops at a line feed at the very start of what is
// left; any non-empty rest becomes the last entry. A block of status line,
// one header and the empty line, each ended by CR LF, gives three entries,
// the last one a lone CR.
HeaderLines SplitRawHeaders(std::string_view block);
