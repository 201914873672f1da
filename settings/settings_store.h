// The settings store: (section, key) -> integer or text, kept in one SQLite
// database per Linux user. Nothing is cached: every read goes to the file and
// every write is committed before the call returns, so a sync and a
// configuration page (other threads or processes) see each other's values.
//
// Section and key names compare without regard to ASCII case, and trailing
// backslashes of a section name are ignored.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarvo {

struct SettingsEntry {
  std::string section;  // UTF-8
  std::string key;      // UTF-8
  bool isInteger = false;
  int32_t intValue = 0;
  std::string text;  // UTF-8 (text entries)
};

class SettingsStore {
 public:
  // The database file; its folder is created (mode 0700) on the first write.
  explicit SettingsStore(std::filesystem::path file);

  const std::filesystem::path& file() const { return m_file; }

  // Conduit side: names and texts are Windows-1252 bytes.
  // A missing section or key, or a value of the other kind, gives the default.
  int32_t ReadInt(std::string_view section, std::string_view key, int32_t def) const;
  std::string ReadText(std::string_view section, std::string_view key, std::string_view def) const;
  // Failures are not the callers' business; the result is for tools and tests.
  bool WriteInt(std::string_view section, std::string_view key, int32_t value) const;
  bool WriteText(std::string_view section, std::string_view key, std::string_view text) const;

  // Tool side (shell command): names and texts in UTF-8.
  std::optional<SettingsEntry> Find(std::string_view section, std::string_view key) const;
  bool WriteTextUtf8(std::string_view section, std::string_view key, std::string_view text) const;
  bool WriteIntUtf8(std::string_view section, std::string_view key, int32_t value) const;
  // Removes the entry: true when there was one, false when there was none,
  // nullopt when the file cannot be changed.
  std::optional<bool> RemoveUtf8(std::string_view section, std::string_view key) const;
  // Every entry (or those of one section), ordered by section and key;
  // nullopt when the file cannot be read.
  std::optional<std::vector<SettingsEntry>> List() const;
  std::optional<std::vector<SettingsEntry>> List(std::string_view section) const;

 private:
  std::filesystem::path m_file;
};

// Where the settings live: $XDG_CONFIG_HOME/tarvo/settings.sqlite, with
// ~/.config when XDG_CONFIG_HOME is unset or not absolute.
std::filesystem::path DefaultSettingsFile();

// The store of this process. Until SetSettingsFile is called it follows
// DefaultSettingsFile() (looked up at each call).
SettingsStore AppSettings();
// Points the process's store at a file (the application object at start,
// tests); an empty path goes back to the default.
void SetSettingsFile(const std::filesystem::path& file);

}  // namespace tarvo
