// What a progress dialog shows and how it hears about Cancel, independent
// of any toolkit. The dialog owns one view for its lifetime; a front end
// (terminal, Qt, a test) supplies it through the process-wide factory.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "ui/progress/proxy_prompt_relay.h"

class ProgressView {
 public:
  virtual ~ProgressView() = default;

  // All texts are UTF-8; the dialog converts from the conduit's code page.
  virtual void ShowCaption(const std::string& caption) = 0;
  virtual void ShowTexts(const std::string& task, const std::string& status) = 0;
  // Bar position in percent, already clamped to 0..100.
  virtual void ShowPosition(int32_t percent) = 0;
  // True when Cancel was pressed since the last poll. Called on the HotSync
  // thread only.
  virtual bool PollCancel() = 0;
  // The window goes away; the dialog calls this once, before it dies.
  virtual void Close() {}
  // A proxy wants credentials: shows the prompt on the HotSync thread and
  // true when the user confirmed. Without a window to ask in: declined.
  virtual bool AskProxyCredentials(ProxyCredentials& /*credentials*/) { return false; }
};

// Shows nothing and never reports Cancel.
class NullProgressView final : public ProgressView {
 public:
  void ShowCaption(const std::string&) override {}
  void ShowTexts(const std::string&, const std::string&) override {}
  void ShowPosition(int32_t) override {}
  bool PollCancel() override { return false; }
};

using ProgressViewFactory = std::function<std::unique_ptr<ProgressView>()>;

// Replaces the factory that new dialogs take their view from; an empty
// function restores the default, the null view. The program installs its
// front end's factory where it chooses the front end.
void SetProgressViewFactory(ProgressViewFactory factory);
// A view from the current factory; never null.
std::unique_ptr<ProgressView> MakeProgressView();
