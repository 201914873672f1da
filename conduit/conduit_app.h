// The application object: lives from load to unload of the library.
#pragma once

class CZbcondApp {
 public:
  CZbcondApp();
  ~CZbcondApp();
  CZbcondApp(const CZbcondApp&) = delete;
  CZbcondApp& operator=(const CZbcondApp&) = delete;

  // Points the settings store at this user's settings; counts the
  // initialisations of this process.
  bool InitInstance();
  int ExitInstance();

  // How many initialisations are live in this process.
  static int InitCount();
};
