#include "host/conduit_switches.h"

#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "hotsync/host.h"
#include "pdb/pdb.h"

namespace tarvo::host {
namespace {

// One line per choice: "off CREATOR" or "unregistered CREATOR".
std::filesystem::path switchesFile() { return hotsync::dataDir() / "conduit-choices.conf"; }

}  // namespace

bool readConduitSwitches(ConduitSwitches* switches, std::string* error) {
  *switches = {};
  std::error_code ec;
  if (!std::filesystem::exists(switchesFile(), ec)) return true;
  std::ifstream in(switchesFile());
  if (!in) {
    *error = "cannot read " + switchesFile().string();
    return false;
  }
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream words(line);
    std::string word, creator;
    if (!(words >> word >> creator) || creator.size() != 4) continue;  // a comment, or a line of a later version
    if (word == "off") switches->off.insert(creator);
    if (word == "unregistered") switches->unregistered.insert(creator);
  }
  return true;
}

bool writeConduitSwitches(const ConduitSwitches& switches, std::string* error) {
  std::string text = "# Conduits turned off or unregistered by the user (tarvo-hotsync conduits).\n";
  for (const std::string& creator : switches.off) text += "off " + creator + "\n";
  for (const std::string& creator : switches.unregistered) text += "unregistered " + creator + "\n";
  try {
    const std::vector<uint8_t> bytes(text.begin(), text.end());
    std::filesystem::create_directories(switchesFile().parent_path());
    pdb::writeFileAtomic(switchesFile(), bytes);
    return true;
  } catch (const std::exception& e) {
    *error = switchesFile().string() + ": " + e.what();
    return false;
  }
}

}  // namespace tarvo::host
