#pragma once
// Runs tarvo-syncserver as a child process for a test, and small libcurl
// helpers to talk to it. Every wait here is bounded, so a broken server
// fails the test instead of hanging it.

#include <sys/types.h>

#include <curl/curl.h>

#include <nlohmann/json.hpp>

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "run_program.h"

namespace syncserver_test {

// One request as the server's log recorded it; texts are the wire's bytes.
struct LoggedRequest {
  std::string method;
  std::string target;
  std::string body;
};

class ServerProcess {
 public:
  ServerProcess() = default;
  ~ServerProcess();  // SIGKILL if still running
  ServerProcess(const ServerProcess&) = delete;
  ServerProcess& operator=(const ServerProcess&) = delete;

  // Starts the server and reads its "listening on URL" line.
  bool start(const std::vector<std::string>& args);
  const std::string& url() const { return url_; }                       // "http://127.0.0.1:PORT/"
  std::string base() const { return url_.substr(0, url_.size() - 1); }  // without the closing slash

  // Starts the server with these arguments, logging every request into
  // dir/requests.jsonl.
  bool start_logged(const std::filesystem::path& dir, std::vector<std::string> args);
  // Starts the server playing `script` (JSON text, kept as dir/script.json)
  // and serving dir/files under /files/, with any further arguments; logged
  // as above unless `log` is false (for large bodies).
  bool play(const std::filesystem::path& dir, const std::string& script, std::vector<std::string> more = {},
            bool log = true);
  std::filesystem::path files() const { return dir_ / "files"; }
  // The request log's entries in order, and the same as the wire's bytes.
  std::vector<nlohmann::json> logged() const;
  std::vector<LoggedRequest> requests() const;
  // The logged requests from the n-th on, each as its command and device
  // ("list@7") or, without a command, its path; a space after each.
  std::string steps(std::size_t from = 0) const;

  // Sends the signal and waits for the exit status (nullopt: it did not end in time).
  std::optional<int> stop(int signal_number = 15);

 private:
  pid_t pid_ = -1;
  std::string url_;
  std::filesystem::path dir_;
};

using ProgramRun = tarvo::test::ProgramResult;

// Runs the server to its end (killed after the bound).
ProgramRun run_to_end(const std::vector<std::string>& args);

struct Reply {
  CURLcode code = CURLE_OK;
  long status = 0;
  std::string headers;
  std::string body;
  double seconds = 0;
};

struct Fetch {
  std::optional<std::string> post;  // a form body; GET when unset
  bool http10 = false;
  bool path_as_is = false;
  std::string ca_file;  // HTTPS: trust this certificate

  Fetch& form(std::string body) {
    post = std::move(body);
    return *this;
  }
  Fetch& old_http(bool on = true) {
    http10 = on;
    return *this;
  }
  Fetch& raw_path() {
    path_as_is = true;
    return *this;
  }
  Fetch& trust(std::string file) {
    ca_file = std::move(file);
    return *this;
  }
};
// What the conduit sends: a form POST over HTTP/1.0.
inline Fetch conduit_post(std::string body) { return Fetch{}.form(std::move(body)).old_http(); }

Reply fetch(const std::string& url, const Fetch& how = {});

// A plain TCP connection to the server's port, for what libcurl will not do.
class RawConnection {
 public:
  explicit RawConnection(const std::string& server_url);
  ~RawConnection();
  RawConnection(const RawConnection&) = delete;
  RawConnection& operator=(const RawConnection&) = delete;

  bool send(const std::string& bytes);
  // Reads until the text has arrived (true) or the server closed.
  bool read_until(const std::string& text);
  // Reads until the server closes.
  void read_to_end();
  std::string received;

 private:
  int fd_ = -1;
};

// The request log carries byte b as code point b; back from UTF-8 to the bytes.
std::string log_bytes(const std::string& text);
// The first value of a form field of a logged request; empty when absent.
std::string form_value(const nlohmann::json& entry, const std::string& name);

std::string temp_folder(const std::string& name);  // empty new folder

}  // namespace syncserver_test
