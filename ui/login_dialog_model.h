// What the two login dialogs share, without any toolkit: the countdown that
// closes an unanswered dialog as Cancel, the caption that shows it, the
// keep-alive reads of the handheld's clock, the controls' values and how a
// dialog ends. A front end shows the model, feeds it the user's edits and
// the one-second timer, and returns when the model has ended.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "ui/static_link.h"

namespace tarvo::ui {
struct DialogTemplate;
}

// Results of a modal run.
inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;

// What a front end lays out (texts UTF-8).
struct LoginLayout {
  const tarvo::ui::DialogTemplate* dialog = nullptr;  // the arrangement a window follows
  std::string serverLabel;                            // empty: no server line
  std::string server;
  std::string loginLabel;
  std::string passwordLabel;
  std::string saveLabel;
  bool saveEnabled = true;
  std::size_t loginLimit = 0;     // characters; 0: none
  std::size_t passwordLimit = 0;  // characters; 0: none
  std::vector<CStaticLink*> links;
};

// The values the controls hold (Windows-1252).
struct LoginControls {
  std::string login;
  std::string password;
  bool save = false;
};

class LoginDialogModel {
 public:
  using Clock = std::function<std::chrono::steady_clock::time_point()>;

  LoginDialogModel();
  virtual ~LoginDialogModel();
  LoginDialogModel(const LoginDialogModel&) = delete;
  LoginDialogModel& operator=(const LoginDialogModel&) = delete;

  // Shows the dialog with the registered front end and returns IDOK or
  // IDCANCEL once it has ended. With no front end able to show it, Cancel.
  int DoModal();

  // --- What a front end calls -------------------------------------------
  // The window exists: controls take the members' values, the caption is
  // built and the countdown starts when m_countdown > 0.
  void OnInitDialog();
  // Runs the timer's tick when one is due by m_clock. Late ticks do not
  // pile up: one tick per call, the next one a period later.
  bool TickIfDue();
  // Milliseconds until the next tick is due (0 when overdue); -1: no timer.
  int64_t MillisUntilTick() const;
  // One tick of the countdown timer.
  void OnTimer();
  // Edits of the login and password fields. The model applies the fields'
  // limits; a change of text counts as typing and stops the countdown.
  void EditLogin(const std::string& text);
  void EditPassword(const std::string& text);
  // The save box; ignored while it is disabled.
  void SetSave(bool checked);
  void OnOK();
  void OnCancel();
  // A click on link `index` of the layout.
  void ClickLink(std::size_t index);

  bool TimerRunning() const { return m_timerRunning; }
  // The caption the window shows now (Windows-1252).
  const std::string& WindowText() const { return m_windowText; }
  const LoginControls& Controls() const { return m_controls; }
  bool Ended() const { return m_result != 0; }
  // Ended as Cancel because the countdown ran out.
  bool TimedOut() const { return m_timedOut; }
  int Result() const { return m_result; }

  virtual LoginLayout Layout() = 0;

  // Shared members of both dialogs.
  int32_t m_countdown = -1;  // seconds left; -1: no countdown
  std::string m_caption;     // the caption without the countdown

  // Injected for tests and front ends; defaults: the steady clock, a
  // one-second period, no opener.
  Clock m_clock;
  std::chrono::milliseconds m_tickPeriod{1000};
  CStaticLink::Opener m_openLink;

 protected:
  // The template's caption, as the window has it before initialisation.
  virtual std::string TemplateCaption() const = 0;
  // Builds m_caption from the window's current caption.
  virtual void BuildCaption() = 0;
  // Data exchange between the members and the controls.
  virtual LoginControls MembersToControls() const = 0;
  virtual void ControlsToMembers(const LoginControls& controls) = 0;
  virtual bool TakesValuesOnCancel() const = 0;

  void SetWindowText(const std::string& text) { m_windowText = text; }

 private:
  void StopTimer();
  void Typed();

  bool m_timerRunning = false;
  std::chrono::steady_clock::time_point m_nextTick{};
  std::string m_windowText;
  LoginControls m_controls;
  int m_result = 0;
  bool m_timedOut = false;
};

// The caption shown while the countdown runs: "%s, fechando em %d segundos".
std::string CountdownCaption(const std::string& caption, int32_t seconds);
