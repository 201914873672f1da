#include "ui/login_dialog_model.h"

#include <cstdio>

#include "handheld/mobile_device_sync.h"
#include "ui/login_front_end.h"

namespace {

// Keeps the HotSync link from timing out while the user thinks: the
// handheld's clock is read and the value dropped. Skipped outside a HotSync.
void KeepHandheldAwake() {
  if (CMobileDeviceSync* handheld = g_pMobileDeviceSync) {
    SysDateTime now{};
    handheld->ReadSysDateTime(now);
  }
}

}  // namespace

std::string CountdownCaption(const std::string& caption, int32_t seconds) {
  char number[16];
  std::snprintf(number, sizeof number, "%d", static_cast<int>(seconds));
  return caption + ", fechando em " + number + " segundos";
}

LoginDialogModel::LoginDialogModel() : m_clock([] { return std::chrono::steady_clock::now(); }) {}

LoginDialogModel::~LoginDialogModel() = default;

int LoginDialogModel::DoModal() {
  m_result = 0;
  m_timedOut = false;
  m_timerRunning = false;
  OnInitDialog();
  if (std::unique_ptr<LoginFrontEnd> frontEnd = MakeLoginFrontEnd()) frontEnd->Run(*this);
  // A front end that gave up without an answer: nobody confirmed.
  if (!Ended()) OnCancel();
  return m_result;
}

void LoginDialogModel::OnInitDialog() {
  m_controls = MembersToControls();
  const LoginLayout layout = Layout();
  if (layout.loginLimit != 0 && m_controls.login.size() > layout.loginLimit) m_controls.login.resize(layout.loginLimit);
  if (layout.passwordLimit != 0 && m_controls.password.size() > layout.passwordLimit)
    m_controls.password.resize(layout.passwordLimit);
  if (m_countdown > 0) {
    m_timerRunning = true;
    m_nextTick = m_clock() + m_tickPeriod;
  }
  m_windowText = TemplateCaption();
  BuildCaption();
  m_windowText = m_caption;
}

bool LoginDialogModel::TickIfDue() {
  if (!m_timerRunning || Ended()) return false;
  const auto now = m_clock();
  if (now < m_nextTick) return false;
  m_nextTick += m_tickPeriod;
  if (m_nextTick <= now) m_nextTick = now + m_tickPeriod;
  OnTimer();
  return true;
}

int64_t LoginDialogModel::MillisUntilTick() const {
  if (!m_timerRunning || Ended()) return -1;
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(m_nextTick - m_clock()).count();
  return left < 0 ? 0 : left;
}

void LoginDialogModel::OnTimer() {
  if (!m_timerRunning) return;  // a stopped timer sends no more ticks
  if (m_countdown == 0) {
    m_timedOut = !Ended();
    OnCancel();
  }
  const int32_t shown = m_countdown;
  const std::string text = CountdownCaption(m_caption, shown);
  --m_countdown;
  if (shown % 5 == 0) KeepHandheldAwake();
  m_windowText = text;
}

void LoginDialogModel::EditLogin(const std::string& text) {
  const std::size_t limit = Layout().loginLimit;
  const std::string kept = limit != 0 && text.size() > limit ? text.substr(0, limit) : text;
  if (kept == m_controls.login) return;  // refused input changes nothing
  m_controls.login = kept;
  Typed();
}

void LoginDialogModel::EditPassword(const std::string& text) {
  const std::size_t limit = Layout().passwordLimit;
  const std::string kept = limit != 0 && text.size() > limit ? text.substr(0, limit) : text;
  if (kept == m_controls.password) return;
  m_controls.password = kept;
  Typed();
}

void LoginDialogModel::SetSave(bool checked) {
  if (Layout().saveEnabled) m_controls.save = checked;
}

void LoginDialogModel::Typed() {
  if (m_countdown < 0) return;
  // Once the user has typed, the dialog waits for them: nothing restarts the timer.
  StopTimer();
  m_windowText = m_caption;
}

void LoginDialogModel::OnOK() {
  if (Ended()) return;
  if (m_countdown >= 0) StopTimer();
  ControlsToMembers(m_controls);
  m_result = IDOK;
}

void LoginDialogModel::OnCancel() {
  if (Ended()) return;
  if (m_countdown >= 0) StopTimer();
  if (TakesValuesOnCancel()) ControlsToMembers(m_controls);
  m_result = IDCANCEL;
}

void LoginDialogModel::ClickLink(std::size_t index) {
  const LoginLayout layout = Layout();
  if (index < layout.links.size()) layout.links[index]->Click(m_openLink);
}

void LoginDialogModel::StopTimer() { m_timerRunning = false; }
