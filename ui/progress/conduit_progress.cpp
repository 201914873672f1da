#include "ui/progress/conduit_progress.h"

#include <algorithm>

#include "resources/text_codec.h"
#include "resources/trace.h"

std::atomic<CConduitProgress*> CConduitProgress::s_active{nullptr};

CConduitProgress::CConduitProgress(void* /*pParent*/) : m_view(MakeProgressView()) {
  TarvoTrace("CConduitProgress::CConduitProgress(CWnd* pParent )");
  // The window shows at once, with empty lines and the bar at the start.
  m_view->ShowCaption(kCaption);
  m_view->ShowTexts(std::string(), std::string());
  m_view->ShowPosition(0);
  s_active.store(this);
}

CConduitProgress::~CConduitProgress() {
  CConduitProgress* self = this;
  s_active.compare_exchange_strong(self, nullptr);
  try {
    DestroyWindow();
  } catch (...) {
    // A view that fails on the way out must not take the sync with it.
  }
}

void CConduitProgress::DestroyWindow() {
  if (!m_view) return;
  std::unique_ptr<ProgressView> view = std::move(m_view);
  view->Close();
}

void CConduitProgress::Refresh() {
  if (m_view) m_view->ShowTexts(tarvo::Cp1252ToUtf8(m_task), tarvo::Cp1252ToUtf8(m_status));
}

void CConduitProgress::SetStep(int32_t step, int32_t total) {
  // 64-bit so that a wild step cannot overflow; the result is what the
  // 32-bit arithmetic gives for every value that fits.
  int64_t position = m_rangemin;
  if (total != 0) {
    position += static_cast<int64_t>(step) * (static_cast<int64_t>(m_rangemax) - m_rangemin) / total;
  }
  // The bar holds its position inside its range, as a progress control does.
  m_position = static_cast<int32_t>(std::clamp<int64_t>(position, 0, 100));
  if (m_view) m_view->ShowPosition(m_position);
}

void CConduitProgress::CheckCancel() const {
  if (m_cancel) throw CancelException();
}

void CConduitProgress::OnCancel() {
  m_cancel = true;
  try {
    if (m_http.IsBlocked()) m_http.Abort();
  } catch (...) {
    // Cancel never fails visibly; the flag alone stops the engine.
  }
}

void CConduitProgress::Pump() {
  bool pressed = false;
  try {
    pressed = m_view && m_view->PollCancel();
  } catch (...) {
  }
  if (pressed) OnCancel();
}

CConduitProgress* CConduitProgress::Active() { return s_active.load(); }

void ProgressPump() {
  if (CConduitProgress* dialog = CConduitProgress::Active()) dialog->Pump();
}
