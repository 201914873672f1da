// Reading and writing whole files in tests: bytes as they are on disk.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace tarvo::test {

// The file's bytes; empty when it cannot be read.
std::string ReadFile(const std::filesystem::path& file);
// The file's lines without their line feeds; empty when it does not exist.
std::vector<std::string> ReadLines(const std::filesystem::path& file);
// Replaces the file with the bytes, making its folder first.
void WriteFile(const std::filesystem::path& file, std::string_view bytes);
void WriteFile(const std::filesystem::path& file, const std::vector<uint8_t>& bytes);

inline std::vector<uint8_t> BytesOf(std::string_view text) { return {text.begin(), text.end()}; }

}  // namespace tarvo::test
