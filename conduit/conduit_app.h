// The application object: lives from load to unload of the library.
#pragma once

class CZbcondApp {
 public:
  CZbcondApp();
  ~CZbcondApp();
  CZbcondApp(const CZbcondApp&) = delete;
  CZbcondApp& operator=(const CZbcondApp&) = delete;

  // Nothing to set up: the settings store finds this user's file by itself.
  bool InitInstance();
  int ExitInstance();
};
