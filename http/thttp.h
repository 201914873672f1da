// CTHttp: the HTTP client of one HotSync, over libcurl.
//
// It makes one kind of request: a form POST (HTTP/1.0, to the URL's path
// only) over HTTP or HTTPS. One object lives per sync, owned by value by the
// progress dialog. Threads:
//   - setters, constructor and destructor: the HotSync thread, before any fetch;
//   - SetUrl, Post, CleanUpConnection: the page-fetch worker thread;
//   - IsBlocked, Abort: the HotSync thread, while the worker may be inside Post.
// Abort from the HotSync thread makes the worker's Post fail promptly with
// kErrorInternetOperationCancelled; the worker releases the transfer itself,
// so nothing is freed under its feet. The destructor aborts a Post still in
// flight and waits for it to leave before tearing down.
//
// While a request is in progress every status notification calls
// YieldCycles(1) on g_pMobileDeviceSync (when set), from the worker thread:
// that is what keeps the HotSync link alive while the network is slow.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "http/header_list.h"
#include "http/internet_error.h"

class CTHttp {
 public:
  // Status values passed to OnStatusCallback (WinInet's numbering).
  static constexpr uint32_t kStatusConnecting = 20;
  static constexpr uint32_t kStatusReceivingResponse = 40;
  static constexpr uint32_t kStatusRequestComplete = 100;

  // Asked, on the thread running Post, when the proxy still answers 407.
  // Receives the current proxy user and password and may change them; true
  // sends the request again, false gives up (Post then fails with 12152).
  // Left empty, every prompt counts as declined.
  using ProxyPrompt = std::function<bool(std::string& user, std::string& password)>;

  CTHttp();
  virtual ~CTHttp();
  CTHttp(const CTHttp&) = delete;
  CTHttp& operator=(const CTHttp&) = delete;

  // Milliseconds. Acts as the connect time-out and as the time the transfer
  // may go without moving a single byte (rounded up to whole seconds); a long
  // download that keeps moving is never cut. 0 or less means 60 seconds.
  void SetTimeout(int32_t milliseconds);
  // "host" or "host:port"; empty uses the environment's proxy
  // (http_proxy, https_proxy, no_proxy).
  void SetProxy(const std::string& proxy);
  // Applied only when both are non-empty; "DOMAIN\user" works with NTLM.
  void SetProxyUser(const std::string& user);
  void SetProxyPassword(const std::string& password);
  void SetUserAgent(const std::string& agent);

  // Splits an absolute URL into m_scheme, m_host, m_port, m_path and
  // m_urlExtra. A URL that does not parse changes nothing.
  void SetUrl(const std::string& url);
  // Forgets the previous URL before taking this one: after a URL that does
  // not parse there is none, and the next Post fails before any network
  // activity instead of going to the previous server.
  void ReplaceUrl(const std::string& url);

  // POSTs body to m_path on m_host:m_port. On status 200 resultData receives
  // the body bytes (replacing what it held) and responseHeaders the raw
  // header lines of the final response (see SplitRawHeaders). Throws
  // CInternetException: 12006 scheme not http/https, 12005 no host, 1238 a
  // POST already in progress (these three before any network activity),
  // 12152 final status not 200 (resultData and responseHeaders untouched),
  // otherwise the transport's code. A body cut short by the server fails
  // with 12030, resultData then holding the bytes that did arrive.
  // The client is idle again after every return.
  void Post(const std::string& body, const HeaderLines& requestHeaders, std::string& resultData,
            HeaderLines& responseHeaders);

  // True from just before a POST starts its transfer until its body is read.
  bool IsBlocked() const noexcept;
  // Breaks off a POST in progress; safe from any thread, never throws. On an
  // idle client it changes nothing.
  void Abort() noexcept;
  // End of every Post: aborts when still blocked, else releases the transfer.
  void CleanUpConnection() noexcept;

  // Every transport notification lands here; the default keeps the handheld
  // link alive. context is always 1.
  virtual void OnStatusCallback(uint32_t context, uint32_t status, const void* info, uint32_t length);

  // The session: shared cookie jar, DNS and TLS session cache, and the
  // wake-up used by Abort. Created by the constructor, ended by the destructor.
  struct Session;
  // One POST's transfer: the libcurl easy handle and its buffers.
  struct Connection;
  struct Request;

  std::unique_ptr<Session> m_session;
  std::atomic<bool> m_blocked{false};
  std::string m_proxy;
  std::string m_proxyUser;
  std::string m_proxyPassword;
  uint32_t m_httpStatus = 0;  // status of the request in flight or last made
  int32_t m_timeout = 60000;  // milliseconds
  std::string m_port;         // decimal, empty when none
  std::string m_urlExtra;     // query with its leading "?", empty when none
  std::string m_path;
  std::string m_host;
  std::string m_scheme;  // lower case; empty for a scheme we do not know
  std::string m_userAgent = "Tarvo Sync 1.0";
  std::unique_ptr<Connection> m_pConnection;  // set only while a POST runs
  std::unique_ptr<Request> m_pRequest;

  // Extra trusted CA certificates (PEM file) on top of the system store;
  // when empty, the environment variable TARVO_CA_FILE is used if set.
  std::string m_caFile;
  ProxyPrompt m_proxyPrompt;

 private:
  friend struct TransferCallbacks;  // libcurl's callbacks, in thttp.cpp

  void Configure();  // options of a new connection
  void ApplyProxyCredentials();
  int RunTransfer(const std::string& body);  // one send and answer; a CURLcode
  void ReleaseTransfer() noexcept;
  void Notify(uint32_t status) noexcept;
  bool StopRequested() const noexcept;

  std::mutex m_postMutex;  // held for the whole of a Post
  std::atomic<bool> m_abortRequested{false};
  std::atomic<bool> m_closing{false};           // set by the destructor
  std::atomic<std::thread::id> m_postThread{};  // the thread inside Post, if any
  bool m_inTransfer = false;                    // inside libcurl (Post's thread only)
};
