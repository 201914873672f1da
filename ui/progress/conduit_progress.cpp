#include "ui/progress/conduit_progress.h"

#include <algorithm>
#include <thread>

#include "handheld/host_cancel.h"
#include "handheld/host_report.h"
#include "resources/text_codec.h"
#include "resources/trace.h"

std::atomic<CConduitProgress*> CConduitProgress::s_active{nullptr};

CConduitProgress::CConduitProgress(void* /*pParent*/) : m_view(MakeProgressView()) {
  TarvoTrace("CConduitProgress::CConduitProgress(CWnd* pParent )");
  // The window shows at once, with empty lines and the bar at the start.
  m_view->ShowCaption(kCaption);
  m_view->ShowTexts(std::string(), std::string());
  m_view->ShowPosition(0);
  // The client asks for proxy credentials from the request's thread; the
  // prompt shows on this one.
  m_proxyRelay = std::make_shared<ProxyPromptRelay>([this](ProxyCredentials& c) { return AskProxy(c); },
                                                    std::this_thread::get_id());
  m_http.m_proxyPrompt = [relay = m_proxyRelay, &http = m_http](std::string& user, std::string& password) {
    ProxyCredentials credentials;
    credentials.proxy = http.m_proxy;
    credentials.user = tarvo::Cp1252ToUtf8(user);
    if (!relay->Request(credentials)) return false;
    // "DOMAIN\user" is how the transport passes a domain (NTLM).
    const std::string& domain = credentials.domain;
    user = tarvo::Utf8ToCp1252(domain.empty() ? credentials.user : domain + "\\" + credentials.user);
    password = tarvo::Utf8ToCp1252(credentials.password);
    return true;
  };
  s_active.store(this);
}

CConduitProgress::~CConduitProgress() {
  CConduitProgress* self = this;
  s_active.compare_exchange_strong(self, nullptr);
  m_proxyRelay->Cancel();  // a request waiting for its prompt gives up
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
  HostReportProgress(m_position, tarvo::Cp1252ToUtf8(m_task));
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
  HostReportProgress(m_position, tarvo::Cp1252ToUtf8(m_task));
}

void CConduitProgress::CheckCancel() const {
  if (m_cancel) throw CancelException();
}

void CConduitProgress::OnCancel() {
  m_cancel = true;
  m_proxyRelay->Cancel();
  try {
    if (m_http.IsBlocked()) m_http.Abort();
  } catch (...) {
    // Cancel never fails visibly; the flag alone stops the engine.
  }
}

bool CConduitProgress::AskProxy(ProxyCredentials& credentials) {
  try {
    return m_view && m_view->AskProxyCredentials(credentials);
  } catch (...) {
    return false;
  }
}

void CConduitProgress::Pump() {
  m_proxyRelay->Serve();
  bool pressed = false;
  try {
    pressed = m_view && m_view->PollCancel();
  } catch (...) {
  }
  // The host's Cancel (a signal) counts as a press in every front end.
  if (pressed || (!m_cancel && HostCancelRequested())) OnCancel();
}

CConduitProgress* CConduitProgress::Active() { return s_active.load(); }

void ProgressPump() {
  if (CConduitProgress* dialog = CConduitProgress::Active()) dialog->Pump();
}
