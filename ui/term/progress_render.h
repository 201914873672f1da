// Text of the terminal progress view, built without touching a terminal.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tarvo::term {

// "[#########...........]  45%": `width` cells between the brackets, the
// percent clamped to 0..100.
std::string RenderBar(int32_t percent, int width);

// At most `columns` characters of UTF-8 text, cut on a character boundary.
std::string FitColumns(std::string_view utf8, int columns);

// The three lines redrawn in place (task, detail, bar), each cleared first;
// `redraw` moves the cursor back over the previous three lines.
std::string RenderBlock(std::string_view task, std::string_view status, int32_t percent, int columns, bool redraw);

// One plain line for a log-like output: "[ 45%] text".
std::string RenderPlainLine(int32_t percent, std::string_view text);

}  // namespace tarvo::term
