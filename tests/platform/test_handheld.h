// Small simulated handhelds in temporary folders, and a private data folder
// (XDG_DATA_HOME) for each test.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "files.h"
#include "handheld_writer.h"
#include "hotsync/host.h"
#include "pdb/pdb.h"
#include "temp_folder.h"

namespace testing_hh {

namespace fs = std::filesystem;

inline pdb::Database recordDb(const std::string& name, std::vector<std::vector<uint8_t>> records = {},
                              const char* type = "DATA", const char* creator = "Tarv") {
  pdb::Database db;
  db.name = name;
  db.type = pdb::fourCC(type);
  db.creator = pdb::fourCC(creator);
  db.version = 3;
  db.creationDate = 3'000'000'000u;
  uint32_t id = 100;
  for (auto& data : records) db.records.push_back(pdb::Record{pdb::kRecDirty, id++, std::move(data)});
  db.uniqueIdSeed = id;
  return db;
}

inline pdb::Database resourceDb(const std::string& name) {
  pdb::Database db;
  db.name = name;
  db.attributes = pdb::kAttrResourceDb;
  db.type = pdb::fourCC("appl");
  db.creator = pdb::fourCC("Tarv");
  db.resources.push_back(pdb::Resource{pdb::fourCC("code"), 1, {1, 2, 3}});
  return db;
}

using tarvo::test::BytesOf;
using tarvo::test::ReadFile;
using tarvo::test::WriteFile;

// A temporary root holding the data folder and handheld folders.
class TempRoot : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(root.empty());
    ::setenv("XDG_DATA_HOME", (root / "data").c_str(), 1);
    hotsync::setCurrentUser("");
  }
  void TearDown() override { hotsync::disconnectHandheld(); }

  // A handheld folder with device.conf and the given databases on card 0.
  fs::path makeHandheld(const std::vector<pdb::Database>& card0, const std::string& conf = "user.name = Ana\n",
                        const std::string& folder = "hh") {
    const fs::path dir = root / folder;
    WriteFile(dir / "device.conf", conf);
    fs::create_directories(dir / "card0");
    for (const auto& db : card0) tarvo::test::WriteDatabase(dir, db);
    return dir;
  }

  void connect(const fs::path& dir) {
    std::string error;
    ASSERT_TRUE(hotsync::connectHandheld(dir, &error)) << error;
  }

  tarvo::test::TempFolder temp{"hotsync-test"};
  fs::path root = temp.path();
};

}  // namespace testing_hh
