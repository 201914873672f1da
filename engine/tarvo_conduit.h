// The engine of one HotSync: discovery, servers, the conversation with each
// server and the commands it runs. Implemented across engine/*.cpp and
// engine/commands/*.cpp, one file per job.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "engine/server_failure.h"
#include "engine/tarvo_module.h"
#include "handheld/palm_records.h"

class CConduitProgress;
struct PageResult;
class CTHttp;
class ManualResetEvent;

constexpr uint32_t kRecordBufferSize = 0xFFFF;

class CTarvoConduit {
 public:
  CTarvoConduit();
  virtual ~CTarvoConduit();
  CTarvoConduit(const CTarvoConduit&) = delete;
  CTarvoConduit& operator=(const CTarvoConduit&) = delete;

  // The whole HotSync. False when the settings skip it or an exception ended it.
  bool Engage();
  bool Initialize();
  void Finalize();

  // Discovery (engine/module_discovery.cpp).
  int32_t GetModules();
  void ReadModuleParameters(CDbList& item, std::string& block);

  // The module list of the list command (engine/module_list.cpp).
  std::string OpenUnknownDatabase(CDbList& item);
  std::string PackDBList(CTarvoServer ActualServer);

  // Servers (engine/server_list.cpp).
  int32_t GetServers();

  // Conversation (engine/conversation.cpp, engine/envelope.cpp).
  void RunServer(CTarvoServer ActualServer);
  int32_t RunNextCommand(std::string sSrvUrl, CTarvoServer ActualServer);
  void RunCommand(std::string cmd, std::string SyncSrv, CTarvoServer ActualServer);
  void ParseResponse(std::string page);
  static std::string GetCommandId(const std::string& cmd);
  static std::string GetAttribute(const std::string& cmd, const std::string& name, const std::string& defaultValue);

  // Page fetch (engine/page_fetch.cpp).
  std::string GetPage(std::string url, std::string params);
  std::string GetPageAssync(std::string url, std::string params);
  bool SaveLastPage(std::string path);
  // Moves a finished fetch's result into the engine; returns its page.
  std::string TakePage(PageResult& result);
  // Waits for a fetch worker left running by a cancelled GetPage, aborting
  // its request until it has ended. Finalize calls it before the dialog (and
  // with it the HTTP client the worker uses) is destroyed.
  void JoinPageWorker();

  // Commands (engine/commands/).
  void RunCommandPPut(std::string cmd, std::string SyncSrv, CTarvoServer ActualServer);
  void RunCommandPDel(std::string cmd, std::string SyncSrv, CTarvoServer ActualServer);
  void RunCommandPGet(std::string cmd, std::string SyncSrv, CTarvoServer ActualServer);
  void RunCommandOpenBrowser(std::string cmd, std::string SyncSrv, CTarvoServer ActualServer);
  void RunCommandConduit(std::string cmd);
  int32_t RunCommandLogin(std::string cmd, std::string SyncSrv, CTarvoServer ActualServer);
  void RunCommandListModules(std::string cmd, std::string SyncSrv, CTarvoServer ActualServer);
  void RunCommandLogMessage(std::string cmd, CTarvoServer ActualServer);
  void RunCommandDeviceId(std::string cmd);
  void RunCommanRPut(std::string cmd);
  void RunCommandRGet(std::string cmd, std::string SyncSrv, CTarvoServer ActualServer);
  void RunCommanRDel(std::string cmd);
  // Failures of the current server's conversation (engine/server_failure.cpp):
  // the first one noted is written to the desktop log when it ends.
  void NoteServerFailure(const ServerFailure& failure);
  // A conversation answer without an envelope counts as a failure.
  void NoteAnswer(const std::string& page);
  void ReportServerFailure(const CTarvoServer& server);

  // Fetches `url` into the private temporary folder with `task` on the
  // progress dialog; the saved file's path, or empty when nothing was saved.
  std::string DownloadToTemp(const std::string& url, const std::string& task);

  // Fields, in the order the engine's collaborators know them. Narrow text
  // is Windows-1252 bytes throughout.
  std::string m_device_id;
  int32_t m_cmdStep = 0;
  std::string m_credentials;
  std::unique_ptr<uint8_t[]> m_recordBuffer;
  std::unique_ptr<CConduitProgress> m_dlgprg;
  CTHttp* m_pHttp = nullptr;  // m_dlgprg->m_http
  std::vector<std::string> m_reqHeaders;
  std::vector<std::string> m_respHeaders;
  std::string m_resultData;  // body bytes of the last page
  std::deque<std::string> m_commands;
  int32_t m_cardDbCount = 0;
  int32_t m_cardCount = 0;
  int32_t m_dbCount = 0;
  std::unique_ptr<CDbList[]> dblist;
  std::string m_tempPath;  // ends in '/'
  std::string m_baseParams;
  UserInfo m_userInfo{};
  bool m_pageOk = false;
  std::shared_ptr<ManualResetEvent> m_pageEvent;
  std::jthread m_pageWorker;  // the last fetch's worker until joined
  std::vector<CTarvoModule> m_modules;
  std::deque<CTarvoServer> m_servers;
  std::string m_installTarget;
  int32_t m_serverCount = 1;
  // Files this HotSync downloaded into the private temporary folder, removed
  // when it ends (the install queue holds its own copies).
  std::vector<std::string> m_downloads;
  ServerFailure m_serverFailure;
};
