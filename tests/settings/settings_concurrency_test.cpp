// A sync and a configuration page use the store at the same time, each with
// its own connection; no write may be lost and no reader may fail.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "settings/settings_store.h"
#include "temp_folder.h"

namespace {

using tarvo::test::TempFolder;

constexpr int kWrites = 150;

TEST(SettingsConcurrency, TwoThreadsWritingAndReadingLoseNothing) {
  TempFolder temp;
  const auto file = temp.path() / "tarvo" / "settings.sqlite";
  std::atomic<int> readFailures{0};

  auto writer = [&](const std::string& section) {
    tarvo::SettingsStore store(file);
    for (int i = 0; i < kWrites; ++i) {
      if (!store.WriteInt(section, "k" + std::to_string(i), i)) ++readFailures;
      // Read back a shared key the other thread keeps changing.
      int32_t v = store.ReadInt("Comunicacao", "timeout", -1);
      if (v != -1 && (v < 0 || v >= kWrites)) ++readFailures;
      if (!store.WriteInt("Comunicacao", "timeout", i)) ++readFailures;
    }
  };
  std::thread a(writer, "sync");
  std::thread b(writer, "page");
  a.join();
  b.join();

  EXPECT_EQ(readFailures.load(), 0);
  tarvo::SettingsStore store(file);
  for (const char* section : {"sync", "page"}) {
    auto entries = store.List(section);
    ASSERT_TRUE(entries.has_value());
    EXPECT_EQ(entries->size(), static_cast<size_t>(kWrites)) << section;
  }
  EXPECT_EQ(store.ReadInt("Comunicacao", "timeout", -1), kWrites - 1);
}

}  // namespace
