// Finding the conduit registered for the product's creator and loading it.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "hotsync/conduit_api.h"

namespace tarvo::host {

struct ConduitChoice {
  std::filesystem::path path;
  std::string source;  // how it was found, for the output
};

// `explicitPath` when given; else the library registered for creator
// "Tarv"; else libtarvoconduit.so in ../lib/ beside the host, then beside
// it. False with *error when none of them exists.
bool chooseConduit(const std::string& explicitPath, ConduitChoice* choice, std::string* error);

// A conduit a HotSync may run.
struct ScheduledConduit {
  std::string creator;  // four characters
  std::filesystem::path path;
  std::string source;    // how it was found, for the output
  int32_t priority = 2;  // 0 runs first, 4 last
  bool always = false;   // runs even when the handheld holds no database of its creator
  std::string problem;   // why it cannot be loaded (its library is missing); empty when it can
  bool off = false;      // the user turned it off: it never runs
};

// Every registered conduit in the order a HotSync runs them: lowest
// priority number first, then by creator; those the user turned off are
// there with `off` set. With no registration for "Tarv", libtarvoconduit.so
// beside the host stands in for it and always runs, unless the user
// unregistered it. False with *error when the registrations or the user's
// choices cannot be read.
bool conduitOrder(std::vector<ScheduledConduit>* order, std::string* error);

// The folder that holds the running program.
std::filesystem::path programDir();

// A loaded conduit library; unloaded when this goes.
class LoadedConduit {
 public:
  LoadedConduit() = default;
  ~LoadedConduit();
  LoadedConduit(const LoadedConduit&) = delete;
  LoadedConduit& operator=(const LoadedConduit&) = delete;

  // False with *error (dlerror's text) when it cannot be loaded or has no
  // OpenConduit.
  bool load(const std::filesystem::path& path, std::string* error);
  void unload();

  OpenConduitFn openConduit = nullptr;
  GetConduitNameFn getConduitName = nullptr;        // may be null
  GetConduitVersionFn getConduitVersion = nullptr;  // may be null
  CfgConduitFn cfgConduit = nullptr;                // may be null
  WizardFn wizard = nullptr;                        // may be null

 private:
  void* handle_ = nullptr;
};

// chooseConduit, then load what it chose, needing the entry point `has`
// (e.g. &LoadedConduit::wizard), called `entry` in the error.
template <class Fn>
bool loadChosenConduit(const std::string& explicitPath, Fn LoadedConduit::*has, const char* entry,
                       LoadedConduit* conduit, std::string* error) {
  ConduitChoice choice;
  if (!chooseConduit(explicitPath, &choice, error) || !conduit->load(choice.path, error)) return false;
  if (conduit->*has != nullptr) return true;
  *error = "the conduit " + choice.path.string() + " has no " + entry;
  return false;
}

}  // namespace tarvo::host
