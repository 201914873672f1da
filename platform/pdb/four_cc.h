// Four-character codes (a database's type and creator, a resource's type):
// the one place they turn into text and back.
#pragma once

#include <cstdint>
#include <string>

namespace pdb {

// "Tarv" -> 0x54617276; a shorter text is padded with zero bytes.
uint32_t fourCC(const char* text);

// 0x54617276 -> "Tarv"; it stops at a zero byte.
std::string fourCCText(uint32_t code);

// The four characters for a person to read, each that is not printable
// ASCII shown as '.' ("DATA", "...."): a listing keeps its columns.
std::string fourCCShown(uint32_t code);

}  // namespace pdb
