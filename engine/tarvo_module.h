// One product database found on the handheld, and one sync server with the
// modules it serves. Both are copied by value.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class CTarvoModule {
 public:
  virtual ~CTarvoModule() = default;

  // Value of `tag` in sParam: the text after its first occurrence up to the
  // next ';'; empty when the tag or the ';' is missing.
  std::string GetTag(const std::string& tag) const;
  // The module's server: its tag, else the "syncserver" setting, else the
  // default sync server URL. Never empty.
  std::string GetSyncServer() const;
  std::string GetSyncCaption() const;
  std::string GetRelated() const;
  bool IsDontSave() const;

  std::string sName;
  std::string sParam;
  std::string sDbtype;
  std::string sVersion = "454";
  std::string sCaption;
  int32_t dbIndex = 0;
};

class CTarvoServer {
 public:
  virtual ~CTarvoServer() = default;

  // An empty URL stands for the default sync server.
  void SetUrl(const std::string& url);

  std::string sUrl;
  std::string sRelated;
  std::string sCaption;
  bool bDontSave = false;
  std::vector<CTarvoModule> modules;
};

// The sync server used when a module and the settings name none.
const std::string& DefaultSyncServerUrl();
