#include "command_world.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

#include <nlohmann/json.hpp>

#include "handheld/palm_sync.h"
#include "hotsync/host.h"

extern char** environ;

namespace cmdtest {
namespace {

using Clock = std::chrono::steady_clock;
// A generous bound on every wait, so a broken child fails a test instead of hanging it.
constexpr auto kBound = std::chrono::seconds(20);

// The log carries byte b as the character U+00bb; back to the bytes.
std::string BytesOf(const std::string& utf8) {
  std::string out;
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    const auto c = static_cast<unsigned char>(utf8[i]);
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (i + 1 < utf8.size()) {
      out += static_cast<char>(((c & 0x03) << 6) | (static_cast<unsigned char>(utf8[++i]) & 0x3F));
    }
  }
  return out;
}

}  // namespace

SyncServer::SyncServer(const fs::path& dir, const std::string& script, bool log) {
  fs::create_directories(dir);
  files = dir / "files";
  fs::create_directories(files);
  log_ = dir / "requests.jsonl";
  const fs::path scriptFile = dir / "script.json";
  WriteBytes(scriptFile, script);

  int out[2];
  if (pipe2(out, O_CLOEXEC) != 0) return;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  std::vector<std::string> args = {TARVO_SYNCSERVER_BIN, "--port", "0",          "--script", scriptFile.string(),
                                   "--files",            files};
  if (log) {
    args.push_back("--log");
    args.push_back(log_.string());
  }
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  const int rc = posix_spawn(&pid_, TARVO_SYNCSERVER_BIN, &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(out[1]);
  if (rc != 0) {
    pid_ = -1;
    close(out[0]);
    return;
  }
  std::string line;
  const auto deadline = Clock::now() + kBound;
  while (line.find('\n') == std::string::npos && Clock::now() < deadline) {
    pollfd p{out[0], POLLIN, 0};
    if (poll(&p, 1, 100) <= 0) continue;
    char buffer[256];
    const ssize_t n = read(out[0], buffer, sizeof buffer);
    if (n <= 0) break;
    line.append(buffer, static_cast<std::size_t>(n));
  }
  close(out[0]);
  const std::string prefix = "listening on ";
  if (line.starts_with(prefix) && line.find('\n') != std::string::npos) {
    base_ = line.substr(prefix.size(), line.find('\n') - prefix.size());
    while (!base_.empty() && base_.back() == '/') base_.pop_back();
  }
}

SyncServer::~SyncServer() {
  if (pid_ <= 0) return;
  kill(pid_, SIGTERM);
  const auto deadline = Clock::now() + kBound;
  while (waitpid(pid_, nullptr, WNOHANG) == 0) {
    if (Clock::now() > deadline) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

std::vector<LoggedRequest> SyncServer::Requests() const {
  std::vector<LoggedRequest> requests;
  for (const std::string& line : ReadLines(log_)) {
    const auto entry = nlohmann::json::parse(line);
    requests.push_back({BytesOf(entry.at("method").get<std::string>()),
                        BytesOf(entry.at("target").get<std::string>()),
                        BytesOf(entry.at("body").get<std::string>())});
  }
  return requests;
}

void SyncServer::AddFile(const std::string& name, const std::string& bytes) const { WriteBytes(files / name, bytes); }

pdb::Database RecordDb(const std::string& name, std::vector<std::string> records, const char* type) {
  pdb::Database db;
  db.name = name;
  db.type = pdb::fourCC(type);
  db.creator = pdb::fourCC("Tarv");
  db.version = 1;
  uint32_t id = 100;
  for (std::string& data : records) {
    db.records.push_back(pdb::Record{pdb::kRecDirty, id++, std::vector<uint8_t>(data.begin(), data.end())});
  }
  db.uniqueIdSeed = id;
  return db;
}

std::string ReadBytes(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void WriteBytes(const fs::path& file, const std::string& bytes) {
  fs::create_directories(file.parent_path());
  std::ofstream(file, std::ios::binary | std::ios::trunc).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::vector<std::string> ReadLines(const fs::path& file) {
  std::vector<std::string> lines;
  std::ifstream in(file, std::ios::binary);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

CommandWorld::CommandWorld() {
  std::string pattern = (fs::temp_directory_path() / "tarvo-commands-XXXXXX").string();
  root = mkdtemp(pattern.data());
  handheld = root / "handheld";
  setenv("XDG_DATA_HOME", (root / "data").c_str(), 1);
  setenv("XDG_CONFIG_HOME", (root / "config").c_str(), 1);
  setenv("XDG_CACHE_HOME", (root / "cache").c_str(), 1);
}

CommandWorld::~CommandWorld() {
  Disconnect();
  for (const char* name : {"XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME", "TARVO_OPENER"}) unsetenv(name);
  std::error_code ignored;
  fs::remove_all(root, ignored);
}

void CommandWorld::AddDatabase(const pdb::Database& db, int card) {
  if (cards_.size() <= static_cast<std::size_t>(card)) cards_.resize(static_cast<std::size_t>(card) + 1);
  cards_[static_cast<std::size_t>(card)].push_back(db);
}

bool CommandWorld::Connect() {
  if (cards_.empty()) cards_.resize(1);
  WriteBytes(handheld / "device.conf", std::string("user.name = ") + kUser + "\nuser.id = 7\nos.version = 4.1\n");
  for (std::size_t card = 0; card < cards_.size(); ++card) {
    const fs::path folder = handheld / ("card" + std::to_string(card));
    fs::create_directories(folder);
    int n = 0;
    for (const pdb::Database& db : cards_[card]) {
      const std::vector<uint8_t> image = pdb::serialize(db);
      WriteBytes(folder / ("db" + std::to_string(n++) + ".pdb"), std::string(image.begin(), image.end()));
    }
  }
  std::string error;
  if (!hotsync::addUser(kUser, &error) || !hotsync::connectHandheld(handheld, &error)) return false;
  connected_ = true;
  hotsync::setHotSyncThread();
  g_pMobileDeviceSync = new CPalmSync();
  engine = std::make_unique<CTarvoConduit>();
  engine->m_installTarget = kUser;
  if (!engine->Initialize()) return false;
  engine->GetModules();
  return !engine->m_tempPath.empty();
}

void CommandWorld::Disconnect() {
  engine.reset();
  delete g_pMobileDeviceSync;
  g_pMobileDeviceSync = nullptr;
  if (connected_) hotsync::disconnectHandheld();
  connected_ = false;
}

std::unique_ptr<pdb::Database> CommandWorld::Database(const std::string& name, int card) const {
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(handheld / ("card" + std::to_string(card)), ec)) {
    if (!entry.is_regular_file()) continue;
    try {
      pdb::LoadedDatabase loaded = pdb::readFile(entry.path());
      if (loaded.db.name == name) return std::make_unique<pdb::Database>(std::move(loaded.db));
    } catch (const pdb::FormatError&) {
    }
  }
  return nullptr;
}

std::string CommandWorld::HandheldLog() const { return ReadBytes(handheld / "hotsync.log"); }

std::vector<std::string> CommandWorld::DesktopLog() const { return ReadLines(hotsync::userLogFile(kUser)); }

fs::path CommandWorld::InstallFolder() const { return hotsync::userInstallDir(kUser); }

std::vector<fs::path> CommandWorld::WrittenFiles() const {
  std::vector<fs::path> found;
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(root, ec); it != fs::recursive_directory_iterator(); ++it) {
    const fs::path& path = it->path();
    if (path == handheld || path == root / "server" || path == root / "config" || path == root / "data") {
      it.disable_recursion_pending();
      continue;
    }
    if (it->is_regular_file()) found.push_back(fs::relative(path, root));
  }
  return found;
}

}  // namespace cmdtest
