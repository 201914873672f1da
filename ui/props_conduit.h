// The configuration property sheet "Tarvo": identification, schedule and
// connection pages in tab order. OK saves every page that was shown and
// closes, Apply saves them and stays, Cancel saves nothing. A front end
// shows the current page and calls these operations for the user's clicks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "ui/config_pages.h"

class CPropsConduit {
 public:
  static constexpr std::size_t kPageCount = 3;

  CPropsConduit();
  ~CPropsConduit();
  CPropsConduit(const CPropsConduit&) = delete;
  CPropsConduit& operator=(const CPropsConduit&) = delete;

  void SetUser(const std::string& user);
  // The schedule page's actions; the stored ones (default 1) when that page
  // was never shown.
  void GetActions(int32_t& next, int32_t& def) const;

  // The window opens on the first page.
  void OnInitDialog();
  // A click on tab `index`: the current page must let itself be left.
  bool SelectPage(std::size_t index);
  // Apply: false (and nothing saved) when the current page refuses to be left.
  bool Apply();
  bool OK();
  void Cancel();

  std::size_t Current() const { return m_current; }
  CConfigPage& Page(std::size_t index) const;
  // UTF-8 tab title of page `index`.
  static const char* PageTitle(std::size_t index);
  // Apply is enabled while a shown page holds changes.
  bool ApplyEnabled() const;
  bool Ended() const { return m_result != 0; }
  int Result() const { return m_result; }  // IDOK or IDCANCEL once ended

  std::unique_ptr<CPropGeral> m_pGeral;
  std::unique_ptr<CPropComm> m_pComm;
  std::unique_ptr<CPropIdentifica> m_pIdentifica;

 private:
  std::size_t m_current = 0;
  int m_result = 0;
};
