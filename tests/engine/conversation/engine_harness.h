// A real engine over a real simulated handheld, with a progress dialog whose
// Cancel a test can press; the loopback server is tests/0support's.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "engine/tarvo_conduit.h"
#include "handheld_writer.h"
#include "pdb/pdb.h"
#include "scripted_server.h"
#include "xdg_world.h"

namespace testing_support {

using tarvo::test::MakeDatabase;
using tarvo::test::RecordedRequest;
using tarvo::test::ScriptedAnswer;
using tarvo::test::ScriptedServer;

// A record holding the 4-byte header and then `text` with its terminating zero.
std::vector<uint8_t> ParameterRecord(const std::string& text);

class EngineHarness {
 public:
  EngineHarness();
  ~EngineHarness();

  // Before Connect: databases of card `card`, listed in the order added.
  void AddDatabase(const pdb::Database& db, int card = 0);
  // Connects the handheld, makes the engine with its dialog.
  void Connect();

  tarvo::test::XdgWorld world{"tarvo-conv"};
  std::filesystem::path root = world.root();
  std::unique_ptr<CTarvoConduit> engine;
  // Cancel is pressed at the next event pump once this is set.
  std::shared_ptr<std::atomic<bool>> cancelWhen = std::make_shared<std::atomic<bool>>(false);

 private:
  std::vector<std::vector<std::string>> order_;
};

// A conversation file: "== request" and "== answer" blocks, alternating,
// starting with a request. Each block is its lines joined with "\n",
// without the final line feed.
struct Exchange {
  std::string request;
  std::string answer;
};
std::vector<Exchange> ReadConversation(const std::filesystem::path& file);

}  // namespace testing_support
