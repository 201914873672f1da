// A text of the string table, loaded by its resource ID.
//
// Inside the conduit narrow text is Windows-1252, so RCString holds the
// Windows-1252 bytes of the text; utf8() gives the same text for the screen.
// An ID the table does not hold gives an empty text.
#pragma once

#include <string>
#include <string_view>

#include "resources/resource_ids.h"

class RCString {
 public:
  explicit RCString(unsigned id);

  const std::string& str() const { return m_text; }
  const char* c_str() const { return m_text.c_str(); }
  operator const std::string&() const { return m_text; }  // NOLINT: used as text
  operator std::string_view() const { return m_text; }    // NOLINT
  bool empty() const { return m_text.empty(); }

  // The same text in UTF-8.
  std::string utf8() const;

 private:
  unsigned m_id;
  std::string m_text;  // Windows-1252
};

namespace tarvo {

// The UTF-8 text of a string resource, or null when the table has no such ID.
// The pointer stays valid for the life of the process.
const char* StringResourceUtf8(unsigned id);

// The default sync server URL of this build (used when neither a module nor
// the settings name a server).
const char* DefaultSyncServerUrl();

}  // namespace tarvo
