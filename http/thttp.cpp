#include "http/thttp.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <new>
#include <utility>
#include <vector>

#include <curl/curl.h>

#include "handheld/mobile_device_sync.h"
#include "handheld/platform_services.h"
#include "http/crack_url.h"
#include "http/curl_errors.h"
#include "http/tls_policy.h"
#include "resources/trace.h"

namespace {

constexpr int32_t kDefaultTimeoutMs = 60000;
constexpr long kMaxRedirects = 10;
// A Content-Length up to this size is reserved at once, so a body costs its
// size and no more; a larger claim grows as bytes really arrive.
constexpr curl_off_t kMaxReserve = curl_off_t{512} * 1024 * 1024;
constexpr size_t kPieceSize = 1024 * 1024;
// Longest wait inside libcurl between two looks at the abort flag; Abort also
// wakes the wait at once, this is only the backstop.
constexpr int kPollMs = 1000;

void GlobalInit() {
  static const CURLcode initialised = curl_global_init(CURL_GLOBAL_DEFAULT);
  (void)initialised;
}

// Where the system's trusted certificates live, so an extra CA file can be
// added to them rather than replace them.
std::string SystemCaPath() {
  std::string path = "/etc/ssl/certs";
  if (CURL* probe = curl_easy_init()) {
    char* found = nullptr;
    if (curl_easy_getinfo(probe, CURLINFO_CAPATH, &found) == CURLE_OK && found && *found) path = found;
    curl_easy_cleanup(probe);
  }
  return path;
}

// Scheme, host and port of `address`, resolved against `base` when it is
// relative; empty when it does not parse.
std::string OriginOf(const char* base, const char* address) {
  CURLU* url = curl_url();
  if (url == nullptr) return {};
  std::string origin;
  if (base != nullptr) curl_url_set(url, CURLUPART_URL, base, 0);
  if (curl_url_set(url, CURLUPART_URL, address, 0) == CURLUE_OK) {
    for (const CURLUPart part : {CURLUPART_SCHEME, CURLUPART_HOST, CURLUPART_PORT}) {
      char* text = nullptr;
      if (curl_url_get(url, part, &text, CURLU_DEFAULT_PORT) != CURLUE_OK) {
        origin.clear();
        break;
      }
      for (const char* c = text; *c; ++c) origin += static_cast<char>(std::tolower(static_cast<unsigned char>(*c)));
      origin += '|';
      curl_free(text);
    }
  }
  curl_url_cleanup(url);
  return origin;
}

}  // namespace

struct CTHttp::Session {
  Session() {
    GlobalInit();
    multi = curl_multi_init();
    share = curl_share_init();
    if (share) {
      // Cookies live as long as the client; so do resolved names.
      curl_share_setopt(share, CURLSHOPT_SHARE, CURL_LOCK_DATA_COOKIE);
      curl_share_setopt(share, CURLSHOPT_SHARE, CURL_LOCK_DATA_DNS);
    }
  }
  ~Session() {
    if (multi) curl_multi_cleanup(multi);
    if (share) curl_share_cleanup(share);
  }
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  CURLM* multi = nullptr;
  CURLSH* share = nullptr;
};

struct CTHttp::Connection {
  Connection() : easy(curl_easy_init()) {}
  ~Connection() {
    if (easy) curl_easy_cleanup(easy);
  }
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  CURL* easy;
};

struct CTHttp::Request {
  Request(CURLM* m, CURL* e) : multi(m), easy(e) {}
  ~Request() {
    Detach();
    curl_slist_free_all(headers);
  }
  Request(const Request&) = delete;
  Request& operator=(const Request&) = delete;

  void Detach() {
    if (attached) curl_multi_remove_handle(multi, easy);
    attached = false;
  }
  void StartAnswer() {
    received.clear();
    pieces.clear();
    rawHeaders.clear();
    started = false;
  }
  void Keep(const char* data, size_t bytes) {
    if (!started) {
      started = true;
      curl_off_t length = -1;
      curl_easy_getinfo(easy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
      inPieces = !(length > 0 && length <= kMaxReserve);
      if (!inPieces) received.reserve(static_cast<size_t>(length));
    }
    if (!inPieces) {
      received.append(data, bytes);
      return;
    }
    // Without a length, gather pieces of a fixed size: a growing string
    // would hold the old and the new copy at once, twice the body.
    while (bytes > 0) {
      if (pieces.empty() || pieces.back().size() == kPieceSize) {
        pieces.emplace_back();
        pieces.back().reserve(kPieceSize);
      }
      const size_t room = std::min(bytes, kPieceSize - pieces.back().size());
      pieces.back().append(data, room);
      data += room;
      bytes -= room;
    }
  }
  // The body in one string; each piece is freed as soon as it is copied.
  std::string TakeBody() {
    if (inPieces) {
      size_t total = 0;
      for (const std::string& piece : pieces) total += piece.size();
      received.clear();
      received.reserve(total);
      for (std::string& piece : pieces) {
        received += piece;
        std::string().swap(piece);
      }
      pieces.clear();
    }
    return std::move(received);
  }

  CURLM* multi;
  CURL* easy;
  bool attached = false;
  curl_slist* headers = nullptr;
  std::string received;             // body of a 200 answer with a length
  std::vector<std::string> pieces;  // body of one without
  std::string rawHeaders;           // header block of the latest answer
  bool started = false;
  bool inPieces = false;
  std::string origin;           // scheme, host and port asked for
  std::string refusedRedirect;  // a 307/308 to elsewhere, which would resend the body
};

// libcurl calls back into C code: nothing may throw through it.
struct TransferCallbacks {
  static size_t Body(char* data, size_t size, size_t count, void* user) noexcept {
    auto* request = static_cast<CTHttp::Request*>(user);
    const size_t bytes = size * count;
    long status = 0;
    curl_easy_getinfo(request->easy, CURLINFO_RESPONSE_CODE, &status);
    // Only a 200 answer's body is ever handed out; others are read and dropped.
    if (status != 200) return bytes;
    try {
      request->Keep(data, bytes);
    } catch (...) {
      return 0;  // makes the transfer fail with a write error
    }
    return bytes;
  }

  static size_t Header(char* data, size_t size, size_t count, void* user) noexcept {
    auto* request = static_cast<CTHttp::Request*>(user);
    const size_t bytes = size * count;
    try {
      // Each status line starts a new answer (redirect, proxy, interim 100);
      // only the last answer's block is kept.
      if (bytes >= 5 && std::string_view(data, 5) == "HTTP/") request->rawHeaders.clear();
      request->rawHeaders.append(data, bytes);
      // A 307 or 308 repeats the POST, body and credentials included, at
      // its Location: only ever at the host that was asked.
      constexpr std::string_view kLocation = "location:";
      if (bytes > kLocation.size() && curl_strnequal(data, kLocation.data(), kLocation.size())) {
        long status = 0;
        curl_easy_getinfo(request->easy, CURLINFO_RESPONSE_CODE, &status);
        if (status == 307 || status == 308) {
          std::string location(data + kLocation.size(), bytes - kLocation.size());
          const auto first = location.find_first_not_of(" \t");
          const auto last = location.find_last_not_of(" \t\r\n");
          location = first == std::string::npos ? std::string() : location.substr(first, last - first + 1);
          char* current = nullptr;
          curl_easy_getinfo(request->easy, CURLINFO_EFFECTIVE_URL, &current);
          if (OriginOf(current, location.c_str()) != request->origin) {
            request->refusedRedirect = location;
            return 0;  // ends the transfer before libcurl follows
          }
        }
      }
    } catch (...) {
      return 0;
    }
    return bytes;
  }

  static int Progress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) noexcept {
    auto* http = static_cast<CTHttp*>(user);
    http->Notify(CTHttp::kStatusReceivingResponse);
    return http->StopRequested() ? 1 : 0;
  }
};

CTHttp::CTHttp() : m_session(std::make_unique<Session>()) { TarvoTrace("CTHttp::CTHttp()"); }

CTHttp::~CTHttp() {
  // A Post may still be running on the worker: break it off and let it leave
  // before anything it uses goes away.
  m_closing = true;
  Abort();
  std::lock_guard<std::mutex> wait(m_postMutex);
  m_pRequest.reset();
  m_pConnection.reset();
}

void CTHttp::SetTimeout(int32_t milliseconds) { m_timeout = milliseconds; }
void CTHttp::SetProxy(const std::string& proxy) { m_proxy = proxy; }
void CTHttp::SetProxyUser(const std::string& user) { m_proxyUser = user; }
void CTHttp::SetProxyPassword(const std::string& password) { m_proxyPassword = password; }
void CTHttp::SetUserAgent(const std::string& agent) { m_userAgent = agent; }

void CTHttp::SetUrl(const std::string& url) {
  TarvoTrace("CTHttp::SetUrl(%s)", url.c_str());
  std::optional<CrackedUrl> parts = CrackUrl(url);
  if (!parts) return;
  m_scheme = std::move(parts->scheme);
  m_host = std::move(parts->host);
  const size_t query = parts->objectName.find('?');
  if (query == std::string::npos) {
    m_path = std::move(parts->objectName);
    m_urlExtra.clear();
  } else {
    m_path = parts->objectName.substr(0, query);
    m_urlExtra = parts->objectName.substr(query);
  }
  m_port = parts->port == 0 ? std::string() : std::to_string(parts->port);
}

void CTHttp::ReplaceUrl(const std::string& url) {
  m_scheme.clear();
  m_host.clear();
  m_port.clear();
  m_path.clear();
  m_urlExtra.clear();
  SetUrl(url);
}

bool CTHttp::IsBlocked() const noexcept { return m_blocked; }

bool CTHttp::StopRequested() const noexcept { return m_abortRequested || m_closing; }

void CTHttp::Notify(uint32_t status) noexcept {
  try {
    OnStatusCallback(1, status, nullptr, 0);
  } catch (...) {
    // A notification is only a courtesy to the handheld link.
  }
}

void CTHttp::OnStatusCallback(uint32_t, uint32_t, const void*, uint32_t) {
  if (CMobileDeviceSync* device = g_pMobileDeviceSync) device->YieldCycles(1);
}

void CTHttp::Abort() noexcept {
  m_blocked = false;
  m_abortRequested = true;
  if (m_postThread.load() == std::this_thread::get_id() && !m_inTransfer) {
    ReleaseTransfer();
  } else if (m_session && m_session->multi) {
    // The worker may be waiting inside libcurl: wake it so it sees the flag.
    curl_multi_wakeup(m_session->multi);
  }
}

void CTHttp::CleanUpConnection() noexcept {
  if (m_blocked) {
    DebugOutput("CTHttp::CleanUpConnection() called while bocked, aboting connection.");
    Abort();
    return;
  }
  // Only the thread running the Post owns its transfer.
  if (m_postThread.load() == std::this_thread::get_id() && !m_inTransfer) ReleaseTransfer();
}

void CTHttp::ReleaseTransfer() noexcept {
  m_pRequest.reset();
  m_pConnection.reset();
}

void CTHttp::Configure() {
  CURL* easy = m_pConnection->easy;
  std::string url = m_scheme + "://" + m_host;
  if (!m_port.empty()) url += ":" + m_port;
  url += m_path.empty() ? std::string("/") : m_path;

  curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
  curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(easy, CURLOPT_MAXREDIRS, kMaxRedirects);
  curl_easy_setopt(easy, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_0));
  // An HTTP/1.0 request does not ask to keep the connection, and servers do
  // close it while still announcing keep-alive; reusing it then fails the
  // next request at random. Every POST gets a connection of its own.
  curl_easy_setopt(easy, CURLOPT_FORBID_REUSE, 1L);
  curl_easy_setopt(easy, CURLOPT_USERAGENT, m_userAgent.c_str());
  curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
  if (m_session->share) curl_easy_setopt(easy, CURLOPT_SHARE, m_session->share);
  curl_easy_setopt(easy, CURLOPT_COOKIEFILE, "");  // cookie engine on, nothing read from disk

  const int32_t timeoutMs = m_timeout > 0 ? m_timeout : kDefaultTimeoutMs;
  curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(timeoutMs));
  curl_easy_setopt(easy, CURLOPT_LOW_SPEED_LIMIT, 1L);
  curl_easy_setopt(easy, CURLOPT_LOW_SPEED_TIME, static_cast<long>((timeoutMs + 999) / 1000));

  // Without an address of our own libcurl takes http_proxy/https_proxy/no_proxy.
  if (!m_proxy.empty()) curl_easy_setopt(easy, CURLOPT_PROXY, m_proxy.c_str());
  curl_easy_setopt(easy, CURLOPT_PROXYAUTH, static_cast<long>(CURLAUTH_ANY));

  curl_easy_setopt(easy, CURLOPT_SSL_VERIFYPEER, 1L);
  curl_easy_setopt(easy, CURLOPT_SSL_VERIFYHOST, 0L);
  curl_easy_setopt(easy, CURLOPT_SSL_CTX_FUNCTION, InstallCertificatePolicy);
  std::string caFile = m_caFile;
  if (caFile.empty()) {
    if (const char* env = std::getenv("TARVO_CA_FILE")) caFile = env;
  }
  if (!caFile.empty()) {
    static const std::string systemCaPath = SystemCaPath();
    curl_easy_setopt(easy, CURLOPT_CAINFO, caFile.c_str());
    curl_easy_setopt(easy, CURLOPT_CAPATH, systemCaPath.c_str());
  }

  curl_easy_setopt(easy, CURLOPT_NOPROGRESS, 0L);
  curl_easy_setopt(easy, CURLOPT_XFERINFOFUNCTION, TransferCallbacks::Progress);
  curl_easy_setopt(easy, CURLOPT_XFERINFODATA, this);
}

void CTHttp::ApplyProxyCredentials() {
  if (m_proxyUser.empty() || m_proxyPassword.empty()) return;
  // Set apart rather than "user:password", so a colon or a DOMAIN\user
  // survives untouched.
  curl_easy_setopt(m_pConnection->easy, CURLOPT_PROXYUSERNAME, m_proxyUser.c_str());
  curl_easy_setopt(m_pConnection->easy, CURLOPT_PROXYPASSWORD, m_proxyPassword.c_str());
}

int CTHttp::RunTransfer(const std::string& body) {
  Request& request = *m_pRequest;
  CURL* easy = request.easy;
  CURLM* multi = request.multi;
  request.StartAnswer();
  curl_easy_setopt(easy, CURLOPT_POSTFIELDS, body.data());
  curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));

  if (curl_multi_add_handle(multi, easy) != CURLM_OK) return CURLE_FAILED_INIT;
  request.attached = true;
  m_inTransfer = true;
  Notify(kStatusConnecting);

  CURLcode result = CURLE_OK;
  for (bool done = false; !done;) {
    if (StopRequested()) {
      result = CURLE_ABORTED_BY_CALLBACK;
      break;
    }
    int running = 0;
    if (curl_multi_perform(multi, &running) != CURLM_OK) {
      result = CURLE_FAILED_INIT;
      break;
    }
    int left = 0;
    while (CURLMsg* msg = curl_multi_info_read(multi, &left)) {
      if (msg->msg == CURLMSG_DONE && msg->easy_handle == easy) {
        result = msg->data.result;
        done = true;
      }
    }
    if (done) break;
    if (running == 0) {  // finished without a completion message: cannot happen, do not spin
      result = CURLE_FAILED_INIT;
      break;
    }
    curl_multi_poll(multi, nullptr, 0, kPollMs, nullptr);
  }
  request.Detach();
  m_inTransfer = false;

  long status = 0;
  curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &status);
  if (result != CURLE_OK && result != CURLE_ABORTED_BY_CALLBACK) {
    // A proxy that refuses an HTTPS tunnel fails the transfer; its answer is
    // the status all the same (407 asks for credentials).
    long connectStatus = 0;
    curl_easy_getinfo(easy, CURLINFO_HTTP_CONNECTCODE, &connectStatus);
    if (status == 0 && connectStatus >= 300) status = connectStatus;
    // Servers and proxies that refuse a request often close without reading
    // its body, which resets the connection under the answer: the status
    // line did arrive and is what counts. Only a 200's body matters.
    const bool lostAfterAnswer = result == CURLE_RECV_ERROR || result == CURLE_SEND_ERROR ||
                                 result == CURLE_PARTIAL_FILE || result == CURLE_GOT_NOTHING;
    if (status >= 300 && (lostAfterAnswer || status == connectStatus)) result = CURLE_OK;
  }
  if (status != 0) m_httpStatus = static_cast<uint32_t>(status);
  Notify(kStatusRequestComplete);
  return result;
}

void CTHttp::Post(const std::string& body, const HeaderLines& requestHeaders, std::string& resultData,
                  HeaderLines& responseHeaders) {
  TarvoTrace("CTHttp::Post()");
  if (m_scheme != "http" && m_scheme != "https") throw CInternetException(kErrorInternetUnrecognizedScheme);
  if (m_host.empty()) throw CInternetException(kErrorInternetInvalidUrl);
  std::unique_lock<std::mutex> running(m_postMutex, std::try_to_lock);
  if (!running.owns_lock() || m_pConnection) throw CInternetException(kErrorConnectionCountLimit);
  if (m_closing) throw CInternetException(kErrorInternetOperationCancelled);

  m_abortRequested = false;
  m_postThread = std::this_thread::get_id();
  struct LeavePost {
    CTHttp* http;
    ~LeavePost() { http->m_postThread = std::thread::id(); }
  } leave{this};

  try {
    m_pConnection = std::make_unique<Connection>();
    if (!m_pConnection->easy) throw CInternetException(kErrorInternetInternalError);
    Configure();
    ApplyProxyCredentials();
    m_blocked = true;

    m_pRequest = std::make_unique<Request>(m_session->multi, m_pConnection->easy);
    if (!m_session->multi) throw CInternetException(kErrorInternetInternalError);
    char* asked = nullptr;
    curl_easy_getinfo(m_pConnection->easy, CURLINFO_EFFECTIVE_URL, &asked);
    m_pRequest->origin = OriginOf(nullptr, asked != nullptr ? asked : "");
    for (const std::string& line : requestHeaders) {
      const size_t colon = line.find(':');
      // Lines that are not a header are skipped; so is Content-Length, which
      // libcurl always sets from the body itself so it cannot disagree with it.
      if (colon == 0 || colon == std::string::npos || line.find_first_of("\r\n") != std::string::npos) continue;
      if (curl_strnequal(line.c_str(), "Content-Length", colon) && colon == 14) continue;
      if (curl_slist* grown = curl_slist_append(m_pRequest->headers, line.c_str())) {
        m_pRequest->headers = grown;
      }
    }
    curl_easy_setopt(m_pConnection->easy, CURLOPT_HTTPHEADER, m_pRequest->headers);
    curl_easy_setopt(m_pConnection->easy, CURLOPT_WRITEFUNCTION, TransferCallbacks::Body);
    curl_easy_setopt(m_pConnection->easy, CURLOPT_WRITEDATA, m_pRequest.get());
    curl_easy_setopt(m_pConnection->easy, CURLOPT_HEADERFUNCTION, TransferCallbacks::Header);
    curl_easy_setopt(m_pConnection->easy, CURLOPT_HEADERDATA, m_pRequest.get());

    // Send, and again for as long as the proxy wants credentials and the
    // prompt supplies new ones.
    m_httpStatus = 0;
    bool promptPending = false;
    int cForceRetry = 0;
    for (;;) {
      if (promptPending) {
        promptPending = false;
        const bool retry = m_proxyPrompt && m_proxyPrompt(m_proxyUser, m_proxyPassword);
        if (!retry || StopRequested()) break;
        ApplyProxyCredentials();
      }
      const auto result = static_cast<CURLcode>(RunTransfer(body));
      if (StopRequested()) throw CInternetException(kErrorInternetOperationCancelled);
      if (!m_pRequest->refusedRedirect.empty()) {
        const std::string line = "Redirect from " + m_host + " to " + m_pRequest->refusedRedirect +
                                 " refused: the request and its credentials stay with the host asked";
        TarvoTrace("%s", line.c_str());
        tarvo::handheld::AddDesktopLogEntry(line.c_str());
        throw CInternetException(kErrorHttpRedirectFailed);
      }
      if ((result == CURLE_PARTIAL_FILE || result == CURLE_RECV_ERROR) && m_httpStatus == 200) {
        // The connection ended before the body did: hand out what came, but
        // never as a complete page.
        resultData = m_pRequest->TakeBody();
        throw CInternetException(kErrorInternetConnectionAborted);
      }
      if (result != CURLE_OK) throw CInternetException(InternetErrorFromCurl(result));
      if (m_httpStatus != 407) break;
      promptPending = true;
      ++cForceRetry;
    }
    TarvoTrace("CTHttp::Post(): status %u after %d retries", m_httpStatus, cForceRetry);
    if (m_httpStatus != 200) throw CInternetException(kErrorHttpInvalidServerResponse);

    responseHeaders = SplitRawHeaders(m_pRequest->rawHeaders);
    resultData = m_pRequest->TakeBody();
    m_blocked = false;
    CleanUpConnection();
  } catch (...) {
    CleanUpConnection();
    throw;
  }
}
