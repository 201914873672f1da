#include "engine_harness.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <fstream>
#include <sstream>

#include "handheld/palm_sync.h"
#include "hotsync/host.h"
#include "settings/settings_store.h"
#include "ui/progress/conduit_progress.h"
#include "ui/progress/progress_view.h"

namespace testing_support {

namespace fs = std::filesystem;

std::vector<uint8_t> ParameterRecord(const std::string& text) {
  std::vector<uint8_t> record(4 + text.size() + 1, 0);
  record[3] = 1;
  std::copy(text.begin(), text.end(), record.begin() + 4);
  return record;
}

namespace {

class CancelView final : public ProgressView {
 public:
  explicit CancelView(std::shared_ptr<std::atomic<bool>> when) : when_(std::move(when)) {}
  void ShowCaption(const std::string&) override {}
  void ShowTexts(const std::string&, const std::string&) override {}
  void ShowPosition(int32_t) override {}
  bool PollCancel() override { return when_->load() && !pressed_++; }

 private:
  std::shared_ptr<std::atomic<bool>> when_;
  int pressed_ = 0;
};

}  // namespace

EngineHarness::EngineHarness() {
  if (root.empty()) throw std::runtime_error("no temp folder");
  setenv("TARVO_NO_TTY", "1", 1);  // a login dialog must never wait for a person
  tarvo::SetSettingsFile(root / "config" / "settings.sqlite");
  tarvo::test::WriteHandheld(root / "handheld", {});
  auto when = cancelWhen;
  SetProgressViewFactory([when] { return std::make_unique<CancelView>(when); });
  order_.resize(1);
}

EngineHarness::~EngineHarness() {
  engine.reset();
  delete g_pMobileDeviceSync;
  g_pMobileDeviceSync = nullptr;
  hotsync::setYieldPump({});
  hotsync::disconnectHandheld();
  SetProgressViewFactory({});
  tarvo::SetSettingsFile({});
}

void EngineHarness::AddDatabase(const pdb::Database& db, int card) {
  const fs::path dir = tarvo::test::WriteDatabase(root / "handheld", db, card, db.name + ".pdb").parent_path();
  if (order_.size() <= static_cast<std::size_t>(card)) order_.resize(static_cast<std::size_t>(card) + 1);
  const std::string file = db.name + ".pdb";
  order_[static_cast<std::size_t>(card)].push_back(file);
  std::ofstream order(dir / "order");
  for (const std::string& name : order_[static_cast<std::size_t>(card)]) order << name << "\n";
}

void EngineHarness::Connect() {
  std::string error;
  ASSERT_TRUE(hotsync::connectHandheld(root / "handheld", &error)) << error;
  hotsync::setHotSyncThread();
  hotsync::setYieldPump(ProgressPump);
  g_pMobileDeviceSync = new CPalmSync;
  engine = std::make_unique<CTarvoConduit>();
  engine->m_dlgprg = std::make_unique<CConduitProgress>();
  engine->m_pHttp = &engine->m_dlgprg->m_http;
  engine->m_pHttp->SetTimeout(20000);
  ASSERT_EQ(g_pMobileDeviceSync->ReadUserInfo(engine->m_userInfo), 0);
  engine->m_baseParams = "&conduit=1.00f&palmos=3.5&processor=196608&userid=42&username=Ann";
}

std::vector<Exchange> ReadConversation(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::vector<Exchange> exchanges;
  std::string line;
  std::string* block = nullptr;
  auto close = [&] {
    if (block && !block->empty() && block->back() == '\n') block->pop_back();
  };
  while (std::getline(in, line)) {
    if (line == "== request") {
      close();
      exchanges.emplace_back();
      block = &exchanges.back().request;
      continue;
    }
    if (line == "== answer") {
      close();
      block = &exchanges.back().answer;
      continue;
    }
    if (!block) continue;
    *block += line + "\n";
  }
  close();
  return exchanges;
}

}  // namespace testing_support
