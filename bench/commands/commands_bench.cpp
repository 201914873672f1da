// Scenario benchmark of the commands, printed as plain lines:
//   pget of a 64 MB database (16,384 records of 4 KB) to a loopback reference
//   server: time to build and post the request, against libcurl posting the
//   same body in the same run, and the process's peak memory;
//   rput: one answer of 10,000 commands and one of 100,000, and the ratio of
//   their times (10 means linear).
#include <curl/curl.h>
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "command_world.h"
#include "http/url_encoding.h"

using namespace cmdtest;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kRecords = 16384;
constexpr std::size_t kRecordSize = 4096;

double Seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

long PeakKb() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

std::string RecordBytes(int n) {
  std::string data(kRecordSize, '\0');
  for (std::size_t i = 0; i < data.size(); ++i)
    data[i] = static_cast<char>((i * 31 + static_cast<std::size_t>(n)) & 0xFF);
  return data;
}

std::size_t Discard(char*, std::size_t size, std::size_t count, void*) { return size * count; }

double CurlPost(const std::string& url, const std::string& body) {
  CURL* curl = curl_easy_init();
  curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
  curl_easy_setopt(curl, CURLOPT_POSTFIELDS, body.data());
  curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &Discard);
  const auto start = Clock::now();
  const CURLcode rc = curl_easy_perform(curl);
  const double seconds = Seconds(start);
  curl_easy_cleanup(curl);
  if (rc != CURLE_OK) std::printf("curl failed: %s\n", curl_easy_strerror(rc));
  return seconds;
}

void PGet() {
  CommandWorld world;
  std::vector<std::string> records;
  for (int i = 0; i < kRecords; ++i) records.push_back(RecordBytes(i));
  world.AddDatabase(RecordDb("Big", records));
  records.clear();
  SyncServer server;
  if (!server.play(world.root / "server", R"({"rules": [], "unmatched": {"body": "<tarvoconduit></tarvoconduit>"}})",
                   {}, false) ||
      !world.Connect()) {
    std::printf("pget: set-up failed\n");
    return;
  }
  const std::string url = server.base() + "/sync.asp";
  const long before = PeakKb();
  CTarvoServer actual;
  actual.sUrl = url;
  auto start = Clock::now();
  world.engine->RunCommandPGet("pget db=\"Big\"", url, actual);
  const double conduit = Seconds(start);
  const long peak = PeakKb();

  // The same body, built outside the conduit, posted by libcurl.
  std::string body = "language=PT&cmd=pget&&dbname=Big&dbtype=DATA";
  for (int i = 0; i < kRecords; ++i) {
    const std::string data = RecordBytes(i);
    body += "&Big_record=" + FullURLEncode(data.data(), static_cast<int32_t>(data.size() - 1)) +
            "&Big_record_id=" + std::to_string(100 + i);
  }
  const double curl = CurlPost(url, body);
  std::printf("pget 64 MB (%d records of %zu bytes), request body %.1f MB\n", kRecords, kRecordSize,
              static_cast<double>(body.size()) / 1e6);
  std::printf("  conduit build + post: %.3f s\n", conduit);
  std::printf("  libcurl post of the same body: %.3f s\n", curl);
  std::printf("  peak memory: %.1f MB before, %.1f MB after the pget\n", before / 1024.0, peak / 1024.0);
}

double RPut(int commands) {
  CommandWorld world;
  world.AddDatabase(RecordDb("Bench"));
  if (!world.Connect()) return -1;
  std::string page = "<tarvoconduit>";
  page.reserve(static_cast<std::size_t>(commands) * 80);
  for (int i = 0; i < commands; ++i) {
    page += "<rput db=\"Bench\" id=\"" + std::to_string(1 + i % 5000) + "\" data=\"record%20" + std::to_string(i) +
            "%00\"/>";
  }
  page += "</tarvoconduit>";
  CTarvoServer actual;
  const auto start = Clock::now();
  world.engine->ParseResponse(std::move(page));
  while (!world.engine->m_commands.empty()) world.engine->RunNextCommand("http://127.0.0.1:9/", actual);
  return Seconds(start);
}

}  // namespace

int main() {
  curl_global_init(CURL_GLOBAL_DEFAULT);
  PGet();
  const double small = RPut(10000);
  const double large = RPut(100000);
  std::printf("rput in one answer: 10,000 commands %.3f s, 100,000 commands %.3f s, ratio %.1f\n", small, large,
              large / small);
  curl_global_cleanup();
  return 0;
}
