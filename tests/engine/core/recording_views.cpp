#include "recording_views.h"

#include "ui/progress/progress_view.h"

namespace tarvo::test {
namespace {

class RecordingView final : public ProgressView {
 public:
  explicit RecordingView(std::shared_ptr<ViewRecord> record) : m_record(std::move(record)) { ++m_record->created; }
  void ShowCaption(const std::string& caption) override { m_record->captions.push_back(caption); }
  void ShowTexts(const std::string& task, const std::string& status) override {
    m_record->texts.emplace_back(task, status);
  }
  void ShowPosition(int32_t percent) override { m_record->positions.push_back(percent); }
  bool PollCancel() override {
    ++m_record->polls;
    return m_record->cancelOnPoll != 0 && m_record->polls >= m_record->cancelOnPoll;
  }
  void Close() override { ++m_record->closed; }

 private:
  std::shared_ptr<ViewRecord> m_record;
};

}  // namespace

RecordingViews::RecordingViews() : m_record(std::make_shared<ViewRecord>()) {
  std::shared_ptr<ViewRecord> record = m_record;
  SetProgressViewFactory([record] { return std::make_unique<RecordingView>(record); });
}

RecordingViews::~RecordingViews() { SetProgressViewFactory({}); }

}  // namespace tarvo::test
