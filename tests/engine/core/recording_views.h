// A progress view that records what the dialogs of this process showed.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace tarvo::test {

// What every dialog of the process showed, for tests.
struct ViewRecord {
  int created = 0;
  int closed = 0;
  std::vector<std::string> captions;
  std::vector<std::pair<std::string, std::string>> texts;
  std::vector<int32_t> positions;
  int polls = 0;
  int cancelOnPoll = 0;  // 1: the first poll reports Cancel; 0: never
};

// Installs a factory whose views write into `record`; removed on destruction.
class RecordingViews {
 public:
  RecordingViews();
  ~RecordingViews();
  ViewRecord& record() { return *m_record; }

 private:
  std::shared_ptr<ViewRecord> m_record;
};

}  // namespace tarvo::test
