// The page fetch: a worker thread posts the request while the HotSync
// thread keeps the handheld link alive and watches Cancel.
//
// The worker never touches the engine. It works on a context it shares with
// GetPage (the client pointer, copies of the URL and parameters, the
// completion event and its own result), and GetPage copies the result into
// the engine once the worker has signalled. After a cancel GetPage returns
// at once; the worker keeps the context alive for as long as it needs it
// and ends by itself once the client's request is broken off.
#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <thread>

#include "engine/manual_reset_event.h"
#include "engine/tarvo_conduit.h"
#include "handheld/mobile_device_sync.h"
#include "http/thttp.h"
#include "resources/rcstring.h"
#include "resources/trace.h"
#include "ui/progress/conduit_progress.h"

using namespace std::chrono_literals;

// Everything one POST produces.
struct PageResult {
  std::string page;        // the body as text: up to its first zero byte
  std::string resultData;  // the body's bytes; empty when the fetch failed
  HeaderLines reqHeaders;
  HeaderLines respHeaders;
  bool pageOk = false;
  uint32_t error = 0;       // the Internet error of a failed fetch
  uint32_t httpStatus = 0;  // the exchange's final status, when it got one
};

namespace {

// The form body is the parameters with the language in front, built in the
// parameters' own storage: a large upload is never copied.
std::string FormBody(std::string params, const std::string& urlExtra) {
  const RCString language(tarvo::res::kLanguage);
  const RCString subLanguage(tarvo::res::kSubLanguage);
  std::string head = "language=" + language.str();
  if (subLanguage.str() != " ") head += "&sublanguage=" + subLanguage.str();
  if (!params.empty()) head += '&';
  params.insert(0, head);
  if (!urlExtra.empty()) {
    params += '&';
    params.append(urlExtra, 1);
  }
  return params;
}

// Posts the form to `url`. Every failure leaves an empty page with pageOk false.
void FetchPage(CTHttp& http, const std::string& url, std::string params, PageResult& out) {
  out = PageResult();
  try {
    // A URL that does not parse must not fall back on the previous fetch's
    // server: the credentials would go there.
    http.ReplaceUrl(url);
    const std::string body = FormBody(std::move(params), http.m_urlExtra);
    out.reqHeaders.push_back("Content-Type: application/x-www-form-urlencoded");
    out.reqHeaders.push_back("Content-Length: " + std::to_string(body.size()));
    http.Post(body, out.reqHeaders, out.resultData, out.respHeaders);
    out.page.assign(out.resultData.c_str(), strnlen(out.resultData.c_str(), out.resultData.size()));
    out.pageOk = true;
  } catch (const CInternetException& e) {
    TarvoTrace("CTarvoConduit::GetPageAssync: Internet error %u", e.m_dwError);
    out.resultData.clear();
    out.page.clear();
    out.pageOk = false;
    out.error = e.m_dwError;
    out.httpStatus = http.m_httpStatus;
  } catch (...) {
    out.resultData.clear();
    out.page.clear();
    out.pageOk = false;
    out.error = kErrorInternetInternalError;
  }
}

}  // namespace

// The worker's context. Shared by GetPage and the worker, so whichever ends
// last releases it.
struct AssyncPage {
  std::shared_ptr<ManualResetEvent> event;
  CTHttp* http = nullptr;
  std::string url;
  std::string params;
  PageResult result;                   // written by the worker only, read after `event`
  std::atomic<bool> abandoned{false};  // GetPage has given up on this fetch

  static uint32_t Get(std::shared_ptr<AssyncPage> context);
};

// The event is created cleared and belongs to this worker from the start,
// so GetPage's first look can never see a stale signalled state.
uint32_t AssyncPage::Get(std::shared_ptr<AssyncPage> context) {
  if (!context || !context->event) return 1;
  TarvoTrace("Event locked and reset...");
  uint32_t code = 0;
  try {
    // A cancel that came before the request started: do not start it.
    if (!context->abandoned.load())
      FetchPage(*context->http, context->url, std::move(context->params), context->result);
  } catch (...) {
    code = 1;
  }
  TarvoTrace("Page Got; unlocking done ...");
  context->event->Set();
  return code;
}

std::string CTarvoConduit::GetPageAssync(std::string url, std::string params) {
  TarvoTrace("CTarvoConduit::GetPageAssync(CString url, CString params)");
  PageResult result;
  if (m_pHttp) FetchPage(*m_pHttp, url, std::move(params), result);
  return TakePage(result);
}

std::string CTarvoConduit::TakePage(PageResult& result) {
  m_reqHeaders = std::move(result.reqHeaders);
  if (result.pageOk) m_respHeaders = std::move(result.respHeaders);
  m_resultData = std::move(result.resultData);
  m_pageOk = result.pageOk;
  if (!result.pageOk) NoteServerFailure(FetchFailure(result.error, result.httpStatus));
  return result.page;
}

std::string CTarvoConduit::GetPage(std::string url, std::string params) {
  TarvoTrace("CTarvoConduit::GetPage(CString url, CString params)");
  JoinPageWorker();  // a worker an earlier cancel left behind
  if (!m_pHttp) return {};

  auto context = std::make_shared<AssyncPage>();
  try {
    context->event = std::make_shared<ManualResetEvent>(false);
    context->http = m_pHttp;
    context->url = std::move(url);
    context->params = std::move(params);
    m_pageEvent = context->event;
    // Linux gives an unprivileged process no higher thread priority; the
    // event starting cleared is what keeps the first check honest.
    m_pageWorker = std::jthread(&AssyncPage::Get, context);
  } catch (...) {
    TarvoTrace("Failetd to start thread...");
    m_pageEvent.reset();
    return {};
  }

  bool done = false;
  try {
    std::this_thread::sleep_for(100ms);
    done = m_pageEvent->WaitFor(10ms);
    if (!done) {
      SysDateTime clock{};
      g_pMobileDeviceSync->ReadSysDateTime(clock);
      int passes = 0;
      do {
        g_pMobileDeviceSync->YieldCycles(1);
        if (++passes % 50 == 0) {
          const int32_t rc = g_pMobileDeviceSync->ReadSysDateTime(clock);
          TarvoTrace("SyncYieldCycles called %d times Unlock() last time returned returned: %s.", passes,
                     rc == 0 ? "true" : "false");
        }
        done = m_pageEvent->WaitFor(100ms);
      } while (!done && !m_dlgprg->m_cancel);
    }
  } catch (...) {
    TarvoTrace("exception caght while waiting for thread.");
    context->abandoned.store(true);
    m_pageOk = false;
    m_resultData.clear();
    return {};
  }

  if (m_dlgprg->m_cancel) {
    // Canceled, whatever the worker achieved. The dialog's Cancel aborted a
    // request in flight; this covers one that was about to start.
    TarvoTrace(" *** Canceled ***");
    context->abandoned.store(true);
    m_pHttp->Abort();
    m_pageOk = false;
    m_resultData.clear();
    if (done) JoinPageWorker();
    return "canceled";
  }

  m_pageWorker.join();
  m_pageEvent.reset();
  return TakePage(context->result);
}

void CTarvoConduit::JoinPageWorker() {
  if (!m_pageWorker.joinable()) {
    m_pageEvent.reset();
    return;
  }
  // Abort until the worker has left its request: a request that started
  // just after the cancel was not yet there to be aborted.
  if (m_pageEvent) {
    while (!m_pageEvent->WaitFor(50ms)) {
      if (m_pHttp) m_pHttp->Abort();
    }
  }
  m_pageWorker.join();
  m_pageEvent.reset();
}

bool CTarvoConduit::SaveLastPage(std::string path) {
  TarvoTrace("CTarvoConduit::SaveLastPage(CString path)");
  if (!m_pageOk) return false;
  // A fresh file of our own, renamed over the name: whatever was planted
  // under that name (a link to a file elsewhere) is replaced, never written through.
  std::string fresh = path + ".XXXXXX";
  const int fd = ::mkostemp(fresh.data(), O_CLOEXEC);
  if (fd < 0) return false;
  const char* data = m_resultData.data();
  std::size_t left = m_resultData.size();
  bool ok = true;
  while (ok && left > 0) {
    const ssize_t n = ::write(fd, data, left);
    if (n < 0 && errno == EINTR) continue;
    ok = n > 0;  // a short write would hand a truncated file to the installer
    if (ok) {
      data += n;
      left -= static_cast<std::size_t>(n);
    }
  }
  ok = ::close(fd) == 0 && ok && ::rename(fresh.c_str(), path.c_str()) == 0;
  if (!ok) ::unlink(fresh.c_str());
  return ok;
}
