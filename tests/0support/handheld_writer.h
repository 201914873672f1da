// Simulated handhelds for tests: a folder with device.conf and real Palm
// database files on its cards, as the platform reads them.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "pdb/pdb.h"

namespace tarvo::test {

// The lines of device.conf a test usually cares about; `extra` is appended
// as it is ("key = value\n" lines).
struct DeviceConf {
  std::string userName = "Ann";
  uint32_t userId = 42;
  std::string osVersion = "3.5";
  std::string extra;

  std::string Text() const;
};

void WriteDeviceConf(const std::filesystem::path& handheld, const DeviceConf& conf);

// Writes the database into the card's folder under `file`, by default its
// name with .prc for a resource database and .pdb otherwise. Returns the path.
std::filesystem::path WriteDatabase(const std::filesystem::path& handheld, const pdb::Database& db, int card = 0,
                                    std::string file = {});

// device.conf and the databases of card 0.
void WriteHandheld(const std::filesystem::path& handheld, const DeviceConf& conf,
                   const std::vector<pdb::Database>& card0 = {});

// A version 1 record database holding the records, unique ids from 100.
pdb::Database MakeDatabase(const std::string& name, const char* type = "DATA", const char* creator = "Tarv",
                           std::vector<std::vector<uint8_t>> records = {});

}  // namespace tarvo::test
