// The checksum a server gives with a new conduit installer: a 16-bit table
// CRC over the file as a text-mode read sees it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace tarvo::engine {

// One table entry: the reflected 0xA001 table with four entries that the
// servers' side has always used in changed form (18, 26, 55 and 211).
uint16_t ConduitChecksumEntry(uint8_t index);

// Runs `size` bytes through the checksum, starting from `value`.
uint16_t ConduitChecksumUpdate(uint16_t value, const uint8_t* data, std::size_t size);

// The checksum of the file at `path`. The file is read as a C library text
// stream on Windows reads it: a CR LF pair is one LF and the first 0x1A byte
// ends it. It is taken in chunks of 1024 bytes, and only full chunks count:
// the last, partial one is left out (a file of 1500 bytes contributes its
// first 1024, one of 2048 all of them). A file that cannot be opened gives 0.
uint16_t ConduitFileChecksum(const std::string& path);

}  // namespace tarvo::engine
