// The progress dialog of one HotSync: two text lines, a bar and Cancel.
// It also owns the sync's HTTP client, so Cancel can abort a request in
// flight. Everything here runs on the HotSync thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "http/thttp.h"
#include "ui/progress/progress_view.h"
#include "ui/progress/proxy_prompt_relay.h"

// Thrown by CheckCancel once the user has pressed Cancel.
class CancelException {};

class CConduitProgress {
 public:
  static constexpr const char* kCaption = "Tarvo Sync 4.7";

  // The parent is kept for the toolkit front ends; the engine passes none.
  explicit CConduitProgress(void* pParent = nullptr);
  virtual ~CConduitProgress();
  CConduitProgress(const CConduitProgress&) = delete;
  CConduitProgress& operator=(const CConduitProgress&) = delete;

  // Copies m_task and m_status (Windows-1252) to the window.
  void Refresh();
  // Shows item `step` of `total` inside [m_rangemin, m_rangemax]; total 0
  // shows m_rangemin.
  void SetStep(int32_t step, int32_t total);
  // Throws CancelException when Cancel was pressed.
  void CheckCancel() const;
  // The Cancel button: sets m_cancel and aborts a request in progress.
  // Never throws; the dialog stays open.
  void OnCancel();

  // The window, as the engine's finalisation sees it.
  bool HasWindow() const { return m_view != nullptr; }
  void DestroyWindow();

  // The HotSync thread's event pump: shows a proxy prompt the request is
  // waiting for, then polls the view, and the host, for a Cancel press and
  // runs OnCancel.
  void Pump();
  // The last position sent to the bar (clamped to 0..100 as the bar does).
  int32_t Position() const { return m_position; }

  // The dialog of the running HotSync, or null; ProgressPump serves it.
  static CConduitProgress* Active();

  int32_t m_rangemax = 100;
  int32_t m_rangemin = 0;
  std::string m_status;
  CTHttp m_http;
  std::string m_task;
  bool m_cancel = false;

 private:
  bool AskProxy(ProxyCredentials& credentials);

  std::unique_ptr<ProgressView> m_view;
  int32_t m_position = 0;
  // Shared with the client's prompt, which may outlive the dialog's other
  // members while a request is being torn down.
  std::shared_ptr<ProxyPromptRelay> m_proxyRelay;
  static std::atomic<CConduitProgress*> s_active;
};

// The front end's event pump for the HotSync thread: lets the active dialog
// see a Cancel press. Does nothing when no dialog exists.
void ProgressPump();
