// Draws the configuration sheet's three pages and the wizard's five pages
// from the real widgets into PNG files, for the documentation.
//
//   tarvo-config-pictures FOLDER
#include <QApplication>
#include <QPushButton>
#include <QTabWidget>
#include <cstdio>
#include <filesystem>
#include <string>

#include "hotsync/host.h"
#include "settings/settings_store.h"
#include "ui/config_wizard.h"
#include "ui/props_conduit.h"
#include "ui/qt/config_windows.h"

namespace {

bool Save(QWidget& window, const std::filesystem::path& file) {
  QApplication::processEvents();
  if (window.grab().save(QString::fromStdString(file.string()))) return true;
  std::fprintf(stderr, "tarvo-config-pictures: cannot write %s\n", file.c_str());
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fputs("usage: tarvo-config-pictures FOLDER\n", stderr);
    return 1;
  }
  const std::filesystem::path out = argv[1];
  // A private world: the pictures show made-up users and settings.
  char pattern[] = "/tmp/tarvo-pictures-XXXXXX";
  if (mkdtemp(pattern) == nullptr) return 1;
  const std::filesystem::path world = pattern;
  setenv("XDG_DATA_HOME", (world / "data").c_str(), 1);
  tarvo::SetSettingsFile(world / "settings.sqlite");
  std::string error;
  for (const char* user : {"Ana Souza", "Bruno Lima"}) hotsync::addUser(user, &error);
  tarvo::AppSettings().WriteText("Ana Souza", "login", "097110097");
  tarvo::AppSettings().WriteText("Ana Souza", "senha", "115101099114101116");

  QApplication app(argc, argv);
  bool ok = true;
  {
    CPropsConduit sheet;
    sheet.SetUser("Ana Souza");
    sheet.OnInitDialog();
    tarvo::qt::PropsSheetWindow window(sheet, {});
    window.show();
    const char* names[] = {"config-identificacao.png", "config-agenda.png", "config-conexao.png"};
    for (int i = 0; i < 3; ++i) {
      window.m_tabs->setCurrentIndex(i);
      ok = Save(window, out / names[i]) && ok;
    }
    window.hide();
  }
  {
    CConfigWizard wizard;
    wizard.Begin();
    tarvo::qt::WizardWindow window(wizard, {});
    window.show();
    const char* names[] = {"wizard-usuario.png", "wizard-identificacao.png", "wizard-agenda.png", "wizard-conexao.png",
                           "wizard-final.png"};
    for (int i = 0; i < 5; ++i) {
      ok = Save(window, out / names[i]) && ok;
      if (i < 4) window.m_next->click();
    }
    window.hide();
  }
  std::error_code ignored;
  std::filesystem::remove_all(world, ignored);
  return ok ? 0 : 1;
}
