#include "shared_state_check.h"

#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <regex>
#include <set>
#include <thread>

#include <gtest/gtest.h>

#include "server_process.h"
#include "service_process.h"

namespace content_service_test {

namespace fs = std::filesystem;
using syncserver_test::conduit_post;
using syncserver_test::fetch;

std::string device_in(const std::string& body) {
  std::smatch m;
  return std::regex_search(body, m, std::regex("<device id=\"([0-9]+)\"/>")) ? m[1].str() : std::string{};
}

std::string list_form(const std::string& device) {
  return "cmd=list&device_id=" + device + "&login=" + scramble("ana") + "&senha=" + scramble("pw") +
         "&modulo=News&param=__tarvo_timestamp%3a1%3b&unknowndbname=Notas";
}

void write_shared_catalogue(const fs::path& root) {
  fs::create_directories(root / "catalogue" / "files");
  std::ofstream(root / "catalogue" / "files" / "News.pdb") << "edition";
  std::ofstream(root / "catalogue" / "catalogue.json") << R"({
      "users": [{"login": "ana", "password": "pw"}],
      "modules": [{"name": "News", "edition": "20240601", "file": "News.pdb"}],
      "collect": ["Notas"],
      "record_changes": [{"name": "n1", "db": "Notas", "write": [{"id": 9, "text": "hello"}]}]})";
}

void expect_one_id_per_handheld_and_one_send(const fs::path& root, const std::string& state) {
  const std::string cert = (root / "cert.pem").string(), key = (root / "key.pem").string();
  ASSERT_EQ(std::system(("openssl req -x509 -newkey rsa:2048 -nodes -days 1 -subj /CN=localhost "
                         "-addext subjectAltName=IP:127.0.0.1 -keyout " +
                         key + " -out " + cert + " >/dev/null 2>&1")
                            .c_str()),
            0);
  auto args = [&](std::vector<std::string> more) {
    std::vector<std::string> all{"--catalogue", (root / "catalogue").string(), "--state", state};
    all.insert(all.end(), more.begin(), more.end());
    return all;
  };
  ServiceProcess plain, both;
  // 25 handhelds on one login: more than the default ceiling.
  ASSERT_TRUE(plain.start(root / "a", args({"--max-devices", "0"})));
  // One process serving HTTP and HTTPS together.
  ASSERT_TRUE(both.start(root / "b", args({"--max-devices", "0", "--https-port", "0", "--tls", cert, key}), 2));
  ASSERT_EQ(both.urls()[0].rfind("http://", 0), 0u);
  ASSERT_EQ(both.urls()[1].rfind("https://", 0), 0u);
  const std::vector<std::string> servers{plain.urls()[0], both.urls()[0], both.urls()[1]};
  auto post = [&](std::size_t server, const std::string& form) {
    return fetch(servers[server % servers.size()] + "sync", conduit_post(form).trust(cert));
  };

  // 25 handhelds, each logging in twice through different ports, all at once.
  constexpr int kHandhelds = 25;
  std::mutex mutex;
  std::map<int, std::set<std::string>> ids;
  std::vector<std::thread> clients;
  for (int i = 0; i < 2 * kHandhelds; ++i) {
    clients.emplace_back([&, i] {
      const int handheld = i % kHandhelds;
      const auto reply = post(i, login_form("ana", "pw", std::to_string(1000 + handheld)));
      std::lock_guard lock(mutex);
      ids[handheld].insert(device_in(reply.body));
    });
  }
  for (auto& c : clients) c.join();
  std::set<std::string> all;
  for (const auto& [handheld, given] : ids) {
    ASSERT_EQ(given.size(), 1u) << "handheld " << handheld << " got two ids";
    EXPECT_FALSE(given.begin()->empty());
    all.insert(*given.begin());
  }
  EXPECT_EQ(all.size(), static_cast<std::size_t>(kHandhelds));

  // Every device asks for its list through all three ports at once: the
  // change set goes out once per device.
  std::map<std::string, int> sent;
  clients.clear();
  for (const auto& device : all) {
    for (std::size_t server = 0; server < servers.size(); ++server) {
      clients.emplace_back([&, device, server] {
        const auto reply = post(server, list_form(device));
        std::lock_guard lock(mutex);
        EXPECT_NE(reply.body.find("<pput"), std::string::npos) << reply.body;
        if (reply.body.find("<rput") != std::string::npos) ++sent[device];
      });
    }
  }
  for (auto& c : clients) c.join();
  for (const auto& device : all) EXPECT_EQ(sent[device], 1) << "device " << device;
  EXPECT_EQ(plain.stop(), 0) << plain.err();
  EXPECT_EQ(both.stop(), 0) << both.err();
}

}  // namespace content_service_test
