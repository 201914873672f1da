#include "ui/term/config_terminal.h"

#include <unistd.h>

#include <optional>
#include <string>

#include "resources/rcstring.h"
#include "resources/text_codec.h"
#include "ui/config_texts.h"
#include "ui/config_wizard.h"
#include "ui/props_conduit.h"
#include "ui/term/foreground_terminal.h"
#include "ui/term/line_prompt.h"

namespace tarvo::term {
namespace {

namespace text = tarvo::ui::text;

std::string Utf8(const std::string& cp1252) { return Cp1252ToUtf8(cp1252); }
std::string Cp(const std::string& utf8) { return Utf8ToCp1252(utf8); }

// "&Próximo >" -> "(P)róximo >": the access key is what the user types.
std::string ButtonLabel(const std::string& text) {
  const std::size_t amp = text.find('&');
  if (amp == std::string::npos || amp + 1 >= text.size()) return text;
  return text.substr(0, amp) + "(" + text.substr(amp + 1, 1) + ")" + text.substr(amp + 2);
}

// The access key of a button text, lower case.
char AccessKey(const std::string& text) {
  const std::size_t amp = text.find('&');
  if (amp == std::string::npos || amp + 1 >= text.size()) return 0;
  const char c = text[amp + 1];
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string Title(const char* title) { return std::string("\n== ") + text::kCaption + ": " + title + " =="; }

// Each form returns false when the input has ended (Cancel).
class Forms {
 public:
  explicit Forms(LinePrompt& io) : m_io(io) {}

  bool Identification(CPropIdentifica& page) {
    m_io.Line(text::kIdentificaIntro);
    m_io.Line(page.UserCaption());
    std::optional<std::string> login = m_io.AskText(text::kLogin, Utf8(page.m_login));
    if (!login) return false;
    page.EditLogin(Cp(*login));
    std::optional<std::string> password = m_io.AskPassword(text::kPassword, Utf8(page.m_password));
    if (!password) return false;
    page.EditPassword(Cp(*password));
    m_io.Line(text::kIdentificaHelp);
    m_io.Line("  " + page.m_register.m_text + ": " + page.m_register.m_url);
    m_io.Line("  " + page.m_forgot.m_text + ": " + page.m_forgot.m_url);
    return true;
  }

  bool Schedule(CPropGeral& page) {
    m_io.Line(text::kGeralIntro);
    const std::string choices = std::string(": 1 ") + text::kUpdate + ", 2 " + text::kDoNothing;
    std::optional<int> next = m_io.AskNumber(text::kNextAction + choices, page.m_next != 0 ? 1 : 2, 2);
    if (!next) return false;
    if ((*next == 1) != (page.m_next != 0)) page.SetNext(*next == 1);
    std::optional<int> def = m_io.AskNumber(text::kDefaultAction + choices, page.m_default != 0 ? 1 : 2, 2);
    if (!def) return false;
    if ((*def == 1) != (page.m_default != 0)) page.SetDefault(*def == 1);
    return true;
  }

  bool Connection(CPropComm& page) {
    m_io.Line(text::kCommIntro);
    for (;;) {
      const std::string current = std::to_string(page.m_timeout);
      std::optional<std::string> answer =
          m_io.AskText(std::string(text::kTimeout) + " " + page.m_timeoutText + ", em segundos (15 a 300)", current);
      if (!answer) return false;
      if (*answer == current) break;
      const std::optional<int32_t> seconds = tarvo::ui::ParsePort(*answer);  // a whole number
      if (!seconds) {
        m_io.Line("Digite um número de segundos entre 15 e 300.");
        continue;
      }
      page.ReleaseSlider(*seconds);
      m_io.Line(std::string("  ") + text::kTimeout + " " + page.m_timeoutText);
      break;
    }
    std::optional<bool> useProxy = m_io.AskYesNo(text::kUseProxy, page.m_useProxy != 0);
    if (!useProxy) return false;
    if (*useProxy != (page.m_useProxy != 0)) page.SetUseProxy(*useProxy);
    if (page.ProxyFieldsEnabled()) {
      std::optional<std::string> host = m_io.AskText(std::string("  ") + text::kProxyHost, Utf8(page.m_proxyHost));
      if (!host) return false;
      page.EditProxyHost(Cp(*host));
      for (;;) {
        std::optional<std::string> port = m_io.AskText(std::string("  ") + text::kProxyPort, page.PortText());
        if (!port) return false;
        page.EditProxyPort(*port);
        if (tarvo::ui::ParsePort(*port)) break;
        m_io.Line(tarvo::ui::PortErrorText());
      }
    }
    std::optional<bool> useAuth = m_io.AskYesNo(text::kUseAuth, page.m_useAuth != 0);
    if (!useAuth) return false;
    if (*useAuth != (page.m_useAuth != 0)) page.SetUseAuth(*useAuth);
    if (page.AuthFieldsEnabled()) {
      std::optional<std::string> user = m_io.AskText(std::string("  ") + text::kProxyUser, Utf8(page.m_proxyUser));
      if (!user) return false;
      page.EditProxyUser(Cp(*user));
      std::optional<std::string> password =
          m_io.AskPassword(std::string("  ") + text::kProxyPassword, Utf8(page.m_proxyPassword));
      if (!password) return false;
      page.EditProxyPassword(Cp(*password));
      std::optional<std::string> domain = m_io.AskText(std::string("  ") + text::kDomain, Utf8(page.m_domain));
      if (!domain) return false;
      page.EditDomain(Cp(*domain));
    }
    return true;
  }

  bool User(CPropUsuario& page) {
    m_io.Line(text::kWelcome);
    m_io.Line(text::kWelcomeHelp);
    m_io.Line(text::kChooseUserHelp);
    m_io.Line(text::kUsers);
    if (page.m_users.empty()) return true;  // Next will say what is missing
    for (std::size_t i = 0; i < page.m_users.size(); ++i)
      m_io.Line("  " + std::to_string(i + 1) + " " + Utf8(page.m_users[i]));
    std::string label = text::kUsers;
    while (!label.empty() && label.back() == ' ') label.pop_back();
    std::optional<int> choice =
        m_io.AskNumber(label, static_cast<int>(page.m_selected) + 1, static_cast<int>(page.m_users.size()));
    if (!choice) return false;
    page.Select(static_cast<std::size_t>(*choice - 1));
    return true;
  }

  bool Final(CConfigWizard& wizard) {
    CPropFinal& page = *wizard.m_pFinal;
    m_io.Line(text::kDone);
    m_io.Line(text::kMoreInfo);
    for (const CStaticLink* link : {&page.m_linkSite, &page.m_linkFaq, &page.m_linkTerms})
      m_io.Line("  " + link->m_text + ": " + link->m_url);
    std::optional<bool> another = m_io.AskYesNo(text::kAnother, page.m_another != 0);
    if (!another) return false;
    wizard.SetAnother(*another);
    return true;
  }

 private:
  LinePrompt& m_io;
};

bool ShowSheetPage(Forms& forms, CPropsConduit& sheet) {
  switch (sheet.Current()) {
    case 0:
      return forms.Identification(*sheet.m_pIdentifica);
    case 1:
      return forms.Schedule(*sheet.m_pGeral);
    default:
      return forms.Connection(*sheet.m_pComm);
  }
}

bool ShowWizardPage(Forms& forms, CConfigWizard& wizard) {
  switch (wizard.Current()) {
    case CConfigWizard::kUser:
      return forms.User(*wizard.m_pUsuario);
    case CConfigWizard::kIdentification:
      return forms.Identification(*wizard.m_pIdentifica);
    case CConfigWizard::kSchedule:
      return forms.Schedule(*wizard.m_pGeral);
    case CConfigWizard::kConnection:
      return forms.Connection(*wizard.m_pComm);
    default:
      return forms.Final(wizard);
  }
}

}  // namespace

TerminalConfigFrontEnd::TerminalConfigFrontEnd(int fd, bool ownsFd) : m_fd(fd), m_ownsFd(ownsFd) {}

TerminalConfigFrontEnd::~TerminalConfigFrontEnd() {
  if (m_ownsFd) close(m_fd);
}

void TerminalConfigFrontEnd::RunSheet(CPropsConduit& sheet) {
  LinePrompt io(m_fd);
  Forms forms(io);
  const std::string ok = "OK";
  const std::string apply = RCString(tarvo::res::kButtonApply).utf8();
  const std::string cancel = RCString(tarvo::res::kButtonCancel).utf8();
  bool showPage = true;
  while (!sheet.Ended()) {
    if (showPage) {
      io.Line(Title(CPropsConduit::PageTitle(sheet.Current())));
      if (!ShowSheetPage(forms, sheet)) return sheet.Cancel();
    }
    std::string menu;
    for (std::size_t i = 0; i < CPropsConduit::kPageCount; ++i)
      menu += std::to_string(i + 1) + " " + CPropsConduit::PageTitle(i) + "  ";
    menu += "(O)K  " + ButtonLabel(apply) + (sheet.ApplyEnabled() ? "" : " -") + "  " + ButtonLabel(cancel);
    io.Line(menu);
    std::optional<std::string> choice = io.AskText("Escolha", "OK");
    if (!choice) return sheet.Cancel();
    const std::string answer = *choice;
    const char key = answer.size() == 1 ? static_cast<char>(answer[0] | 0x20) : 0;
    showPage = false;
    if (answer == "OK" || answer == "ok" || key == 'o') {
      if (!sheet.OK()) io.Line(sheet.Page(sheet.Current()).ValidationError());
    } else if (key == AccessKey(apply)) {
      if (sheet.Apply())
        io.Line("Alterações gravadas.");
      else
        io.Line(sheet.Page(sheet.Current()).ValidationError());
    } else if (key == AccessKey(cancel)) {
      sheet.Cancel();
    } else if (answer.size() == 1 && answer[0] >= '1' &&
               answer[0] < static_cast<char>('1' + CPropsConduit::kPageCount)) {
      const std::size_t index = static_cast<std::size_t>(answer[0] - '1');
      if (sheet.SelectPage(index))
        showPage = true;
      else
        io.Line(sheet.Page(sheet.Current()).ValidationError());
    } else {
      io.Line("?");
    }
  }
}

void TerminalConfigFrontEnd::RunWizard(CConfigWizard& wizard) {
  LinePrompt io(m_fd);
  Forms forms(io);
  const std::string back = RCString(tarvo::res::kButtonBack).utf8();
  const std::string next = RCString(tarvo::res::kButtonNext).utf8();
  const std::string cancel = RCString(tarvo::res::kButtonCancel).utf8();
  while (!wizard.Ended()) {
    io.Line(Title(CConfigWizard::PageTitle(wizard.Current())));
    if (!ShowWizardPage(forms, wizard)) return wizard.Cancel();
    for (;;) {
      const bool last = wizard.Current() == CConfigWizard::kFinal;
      const std::string forward = last ? wizard.FinishText() : next;
      std::string buttons =
          (wizard.BackEnabled() ? ButtonLabel(back) + "  " : "") + ButtonLabel(forward) + "  " + ButtonLabel(cancel);
      io.Line(buttons);
      std::optional<std::string> choice = io.AskText("Escolha", std::string(1, AccessKey(forward)));
      if (!choice) return wizard.Cancel();
      const char key = choice->size() == 1 ? static_cast<char>((*choice)[0] | 0x20) : 0;
      if (key == AccessKey(cancel)) return wizard.Cancel();
      if (key == AccessKey(back) && wizard.BackEnabled()) {
        wizard.Back();
        break;
      }
      if (key == AccessKey(forward)) {
        if (last ? wizard.Finish() : wizard.Next()) break;
        io.Line(wizard.Message());
        if (wizard.Current() != CConfigWizard::kUser) break;  // a refused field: fill the page again
        continue;
      }
      io.Line("?");
    }
  }
}

std::unique_ptr<ConfigFrontEnd> OpenTerminalConfigFrontEnd() {
  const int fd = OpenForegroundTerminal();
  if (fd < 0) return nullptr;
  return std::make_unique<TerminalConfigFrontEnd>(fd, true);
}

}  // namespace tarvo::term
