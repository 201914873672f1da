// Who shows the configuration sheet and the wizard: a window, a terminal,
// or nobody. The exports take one from the place where the conduit is put
// together; tests hand in their own.
#pragma once

class CPropsConduit;
class CConfigWizard;

class ConfigFrontEnd {
 public:
  virtual ~ConfigFrontEnd() = default;
  // Shows the initialised sheet until it has ended; returning earlier
  // counts as Cancel.
  virtual void RunSheet(CPropsConduit& sheet) = 0;
  // Shows one modal run of the wizard (after Begin()) until it has ended.
  virtual void RunWizard(CConfigWizard& wizard) = 0;
};

// Nobody to ask (no display, no terminal): nothing is saved, and one line
// on standard error says so, so an unattended run never waits.
class UnattendedConfigFrontEnd final : public ConfigFrontEnd {
 public:
  void RunSheet(CPropsConduit& sheet) override;
  void RunWizard(CConfigWizard& wizard) override;
};
