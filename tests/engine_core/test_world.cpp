#include "test_world.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

#include "pdb/pdb.h"

namespace fs = std::filesystem;

namespace tarvo::test {
fs::path TempWorld::MakeHandheld(const std::string& userName, uint32_t userId,
                                 const std::vector<TestModule>& modules) {
  const fs::path dir = root() / "handheld";
  fs::create_directories(dir / "card0");
  std::ofstream(dir / "device.conf") << "user.name = " << userName << "\nuser.id = " << userId
                                     << "\nos.version = 4.1\nfeature.psys.2 = 0x00030000\n";
  int n = 0;
  for (const TestModule& module : modules) {
    pdb::Database db;
    db.name = module.name;
    db.type = pdb::fourCC(module.type.c_str());
    db.creator = pdb::fourCC("Tarv");
    db.version = 1;
    pdb::Record content;
    content.uniqueId = 1;
    content.data = {'h', 'i', 0};
    db.records.push_back(content);
    if (!module.serverUrl.empty()) {
      const std::string block = "ZembraParameterBlock|__tarvo_sync_server:" + module.serverUrl + ";";
      pdb::Record parameters;
      parameters.uniqueId = 2;
      // A 4-byte header, then the zero-terminated block.
      const std::string bytes = std::string(4, '\0') + block + '\0';
      parameters.data.assign(bytes.begin(), bytes.end());
      db.records.push_back(parameters);
    }
    const std::vector<uint8_t> image = pdb::serialize(db);
    std::ofstream(dir / "card0" / ("module" + std::to_string(n++) + ".pdb"), std::ios::binary)
        .write(reinterpret_cast<const char*>(image.data()), static_cast<std::streamsize>(image.size()));
  }
  return dir;
}

int ClosedLoopbackPort() {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
  socklen_t length = sizeof address;
  getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
  close(fd);
  return ntohs(address.sin_port);
}

std::string ReadFile(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace tarvo::test
