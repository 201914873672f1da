// POSTs against real servers on loopback: the request on the wire, the ways
// an answer can end, redirects and cookies, the certificate policy and an
// authenticating proxy.
#include <gtest/gtest.h>

#ifndef CPPHTTPLIB_OPENSSL_SUPPORT
#define CPPHTTPLIB_OPENSSL_SUPPORT
#endif
#include <httplib.h>

#include <cstdlib>

#include "files.h"
#include "http/thttp.h"
#include "httplib_runner.h"
#include "loopback.h"
#include "temp_folder.h"

namespace {

using http_test::ScriptedServer;
using tarvo::test::HttplibRunner;
using tarvo::test::RecordedRequest;

// Answers every request with the same bytes.
ScriptedServer::Answer Always(const std::string& bytes) {
  return [bytes](const RecordedRequest&) { return bytes; };
}

const HeaderLines kFormHeaders{"Content-Type: application/x-www-form-urlencoded", "Content-Length: 9"};

uint32_t PostError(CTHttp& http, const std::string& body, std::string& result, HeaderLines& headers) {
  try {
    http.Post(body, kFormHeaders, result, headers);
  } catch (const CInternetException& e) {
    return e.m_dwError;
  }
  return 0;
}

void ExpectIdle(const CTHttp& http) {
  EXPECT_FALSE(http.IsBlocked());
  EXPECT_EQ(http.m_pConnection, nullptr);
  EXPECT_EQ(http.m_pRequest, nullptr);
}

class PostTest : public ::testing::Test {
 protected:
  void SetUp() override { http_test::ClearProxyEnvironment(); }
};

TEST_F(PostTest, SendsAnHttp10FormPostToThePathAndReturnsBodyAndHeaders) {
  ScriptedServer server(Always("HTTP/1.0 200 OK\r\nX-Tag: a\r\nContent-Length: 5\r\n\r\nhello"));
  CTHttp http;
  http.SetUrl(server.Url("/sync.asp?x=1"));
  std::string result = "previous";
  HeaderLines headers{"old"};
  http.Post("language=PT&cmd=list",
            {"Content-Type: application/x-www-form-urlencoded", "Content-Length: 20", "not a header line"}, result,
            headers);

  EXPECT_EQ(result, "hello");
  EXPECT_EQ(headers, (HeaderLines{"HTTP/1.0 200 OK\r", "X-Tag: a\r", "Content-Length: 5\r", "\r"}));
  EXPECT_EQ(http.m_httpStatus, 200u);
  ExpectIdle(http);

  const std::string request = server.Requests().at(0).raw;
  EXPECT_EQ(request.rfind("POST /sync.asp HTTP/1.0\r\n", 0), 0u) << request;
  EXPECT_NE(request.find("\r\nContent-Type: application/x-www-form-urlencoded\r\n"), std::string::npos);
  EXPECT_NE(request.find("\r\nContent-Length: 20\r\n"), std::string::npos);
  EXPECT_NE(request.find("\r\nUser-Agent: Tarvo Sync 1.0\r\n"), std::string::npos);
  EXPECT_EQ(request.find("not a header line"), std::string::npos);
  EXPECT_EQ(request.substr(request.size() - 20), "language=PT&cmd=list");
}

TEST_F(PostTest, BodiesAreKeptByteForByteWithOrWithoutALength) {
  std::string binary;
  for (int i = 0; i < 40000; ++i) binary += static_cast<char>(i * 7);  // zeros and high bytes included
  std::string reply;
  ScriptedServer server([&](const RecordedRequest&) { return reply; });
  CTHttp http;
  http.SetUrl(server.Url("/"));
  HeaderLines headers;
  std::string result = "previous";

  reply = "HTTP/1.0 200 OK\r\n\r\n" + binary;  // ends with the connection
  http.Post("a=1", kFormHeaders, result, headers);
  EXPECT_EQ(result, binary);

  reply = ScriptedServer::HttpAnswer(binary);
  result = "previous";
  http.Post("a=1", kFormHeaders, result, headers);
  EXPECT_EQ(result, binary);

  reply = "HTTP/1.0 200 OK\r\nContent-Length: 0\r\n\r\n";
  http.Post("a=1", kFormHeaders, result, headers);
  EXPECT_EQ(result, "");
}

TEST_F(PostTest, AnAnswerCutShortFailsButKeepsWhatArrived) {
  ScriptedServer server(Always("HTTP/1.0 200 OK\r\nContent-Length: 100\r\n\r\n0123456789"));
  CTHttp http;
  http.SetUrl(server.Url("/"));
  std::string result = "previous";
  HeaderLines headers;
  EXPECT_EQ(PostError(http, "a=1", result, headers), kErrorInternetConnectionAborted);
  EXPECT_EQ(result, "0123456789");
  ExpectIdle(http);
}

TEST_F(PostTest, AStatusOtherThan200FailsAndLeavesTheOutputsAlone) {
  ScriptedServer server(Always("HTTP/1.0 500 Internal Server Error\r\nContent-Length: 4\r\n\r\noops"));
  CTHttp http;
  http.SetUrl(server.Url("/"));
  std::string result = "previous";
  HeaderLines headers{"old"};
  EXPECT_EQ(PostError(http, "a=1", result, headers), kErrorHttpInvalidServerResponse);
  EXPECT_EQ(http.m_httpStatus, 500u);
  EXPECT_EQ(result, "previous");
  EXPECT_EQ(headers, HeaderLines{"old"});
  ExpectIdle(http);
}

TEST_F(PostTest, FailuresLeaveTheClientReadyForTheNextRequest) {
  CTHttp http;
  std::string result;
  HeaderLines headers;
  http.SetUrl("http://127.0.0.1:" + std::to_string(tarvo::test::FreeLoopbackPort()) + "/");
  EXPECT_EQ(PostError(http, "a=1", result, headers), kErrorInternetCannotConnect);
  ExpectIdle(http);

  ScriptedServer server(Always(ScriptedServer::HttpAnswer("fine")));
  http.SetUrl(server.Url("/"));
  http.Post("a=1", kFormHeaders, result, headers);
  EXPECT_EQ(result, "fine");
}

TEST_F(PostTest, FollowsRedirectsAndKeepsCookiesForTheSession) {
  ScriptedServer server([](const RecordedRequest& request) {
    if (request.path == "/login")
      return ScriptedServer::HttpAnswer("", 302, "Set-Cookie: sid=abc123; Path=/\r\nLocation: /welcome\r\n");
    return ScriptedServer::HttpAnswer(request.path == "/welcome" ? "welcome" : request.Header("Cookie"));
  });

  CTHttp http;
  std::string result;
  HeaderLines headers;
  http.SetUrl(server.Url("/login"));
  http.Post("user=a", kFormHeaders, result, headers);
  EXPECT_EQ(result, "welcome");
  ASSERT_FALSE(headers.empty());
  EXPECT_NE(headers.front().find(" 200 "), std::string::npos) << "headers of the final answer only";

  http.SetUrl(server.Url("/check"));
  http.Post("a=1", kFormHeaders, result, headers);
  EXPECT_EQ(result, "sid=abc123");

  CTHttp another;  // a new session starts without cookies
  another.SetUrl(server.Url("/check"));
  another.Post("a=1", kFormHeaders, result, headers);
  EXPECT_EQ(result, "");
}

// A redirect's page and a proxy's login page come before the answer that
// counts; none of their bytes may reach the page the conduit reads.
TEST_F(PostTest, OnlyTheFinalAnswersBodyIsHandedOut) {
  ScriptedServer server([](const RecordedRequest& request) {
    if (request.path == "/old") return ScriptedServer::HttpAnswer("<html>moved</html>", 302, "Location: /older\r\n");
    if (request.path == "/older") return std::string("HTTP/1.0 301 Moved\r\nLocation: /new\r\n\r\n<html>gone</html>");
    return ScriptedServer::HttpAnswer("<tarvoconduit></tarvoconduit>");
  });
  CTHttp http;
  http.SetUrl(server.Url("/old"));
  std::string result;
  HeaderLines headers;
  EXPECT_EQ(PostError(http, "a=1", result, headers), 0u);
  EXPECT_EQ(result, "<tarvoconduit></tarvoconduit>");

  // A second one plays a proxy that wants a login first.
  ScriptedServer proxy([](const RecordedRequest& request) {
    if (request.Header("Proxy-Authorization").empty()) {
      return ScriptedServer::HttpAnswer("<html>log in first</html>", 407,
                                        "Proxy-Authenticate: Basic realm=\"office\"\r\n");
    }
    return ScriptedServer::HttpAnswer("page");
  });
  CTHttp proxied;
  proxied.SetProxy("127.0.0.1:" + std::to_string(proxy.port()));
  proxied.SetProxyUser("user");
  proxied.SetProxyPassword("pass");
  proxied.SetUrl("http://127.0.0.1:1/s");
  EXPECT_EQ(PostError(proxied, "a=1", result, headers), 0u);
  EXPECT_EQ(result, "page");
  ASSERT_EQ(proxy.Requests().size(), 2u) << "a 407 first, then the request with credentials";
  EXPECT_EQ(proxy.Requests()[0].Header("Proxy-Authorization"), "");
}

TEST_F(PostTest, HttpsAcceptsWrongNamesAndDatesButNoUnknownIssuer) {
  http_test::TestCertificates certs;
  ASSERT_TRUE(certs.ok());
  struct Case {
    const char* what;
    http_test::TestCertificates::Pair pair;
    bool trustTestCa;
    uint32_t error;
  };
  const Case cases[] = {
      {"name does not match", certs.Issue("wrong.example", "", ""), true, 0},
      {"expired", certs.Issue("127.0.0.1", "20200101000000Z", "20200102000000Z"), true, 0},
      {"not yet valid", certs.Issue("127.0.0.1", "20900101000000Z", "20900102000000Z"), true, 0},
      {"unknown issuer", certs.IssueByStranger("127.0.0.1"), true, kErrorInternetInvalidCa},
      {"test CA not trusted", certs.Issue("127.0.0.1", "", ""), false, kErrorInternetInvalidCa},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_FALSE(c.pair.cert.empty());
    httplib::SSLServer server(c.pair.cert.c_str(), c.pair.key.c_str());
    server.Post("/s", [](const httplib::Request& req, httplib::Response& res) {
      res.set_content("secure:" + req.body, "text/plain");
    });
    HttplibRunner runner(server);
    CTHttp http;
    if (c.trustTestCa) http.m_caFile = certs.caFile();
    http.SetUrl("https://127.0.0.1:" + std::to_string(runner.port()) + "/s");
    std::string result = "previous";
    HeaderLines headers;
    EXPECT_EQ(PostError(http, "a=1", result, headers), c.error);
    EXPECT_EQ(result, c.error == 0 ? "secure:a=1" : "previous");
    ExpectIdle(http);
  }
}

class ProxyTest : public PostTest {
 protected:
  void SetUp() override {
    PostTest::SetUp();
    if (!proxy.running()) GTEST_SKIP() << "tinyproxy did not start";
  }
  void TearDown() override { http_test::ClearProxyEnvironment(); }

  std::string Url() const { return server.Url("/s"); }

  http_test::Tinyproxy proxy;
  ScriptedServer server{[](const RecordedRequest& request) {
    return ScriptedServer::HttpAnswer(request.Header("Via").empty() ? "direct" : "via proxy");
  }};
  std::string result;
  HeaderLines headers;
};

// This tinyproxy asks for credentials with 407 and turns wrong ones away
// with 401; either way the request fails with 12152.
TEST_F(ProxyTest, RightCredentialsPassAndOthersFail) {
  CTHttp http;
  http.SetProxy(proxy.Address());
  http.SetUrl(Url());
  EXPECT_EQ(PostError(http, "a=1", result, headers), kErrorHttpInvalidServerResponse) << "no credentials";
  EXPECT_EQ(http.m_httpStatus, 407u);

  http.SetProxyUser("user");  // a user without a password is not sent
  EXPECT_EQ(PostError(http, "a=1", result, headers), kErrorHttpInvalidServerResponse);
  EXPECT_EQ(http.m_httpStatus, 407u);

  http.SetProxyPassword("wrong");
  EXPECT_EQ(PostError(http, "a=1", result, headers), kErrorHttpInvalidServerResponse);
  EXPECT_NE(http.m_httpStatus, 200u);
  ExpectIdle(http);

  http.SetProxyPassword("pass");
  EXPECT_EQ(PostError(http, "a=1", result, headers), 0u);
  EXPECT_EQ(result, "via proxy");
}

TEST_F(ProxyTest, APromptCanSupplyCredentialsOrDecline) {
  CTHttp http;
  http.SetProxy(proxy.Address());
  http.SetUrl(Url());

  int prompts = 0;
  http.m_proxyPrompt = [&](std::string& user, std::string& password) {
    ++prompts;
    EXPECT_EQ(user, "");
    user = "user";
    password = "pass";
    return true;
  };
  EXPECT_EQ(PostError(http, "a=1", result, headers), 0u);
  EXPECT_EQ(result, "via proxy");
  EXPECT_EQ(prompts, 1);
  EXPECT_EQ(http.m_proxyUser, "user");

  CTHttp declined;
  declined.SetProxy(proxy.Address());
  declined.SetUrl(Url());
  declined.m_proxyPrompt = [&](std::string&, std::string&) {
    ++prompts;
    return false;
  };
  result = "previous";
  EXPECT_EQ(PostError(declined, "a=1", result, headers), kErrorHttpInvalidServerResponse);
  EXPECT_EQ(declined.m_httpStatus, 407u);
  EXPECT_EQ(prompts, 2);
  EXPECT_EQ(result, "previous");
  ExpectIdle(declined);
}

TEST_F(ProxyTest, HttpsGoesThroughTheProxyTunnel) {
  http_test::TestCertificates certs;
  ASSERT_TRUE(certs.ok());
  const auto pair = certs.Issue("127.0.0.1", "", "");
  httplib::SSLServer secure(pair.cert.c_str(), pair.key.c_str());
  secure.Post("/s", [](const httplib::Request&, httplib::Response& res) { res.set_content("tunnel", "text/plain"); });
  HttplibRunner secureRunner(secure);

  CTHttp http;
  http.m_caFile = certs.caFile();
  http.SetProxy(proxy.Address());
  http.SetUrl("https://127.0.0.1:" + std::to_string(secureRunner.port()) + "/s");
  EXPECT_EQ(PostError(http, "a=1", result, headers), kErrorHttpInvalidServerResponse);
  EXPECT_EQ(http.m_httpStatus, 407u) << "the tunnel's refusal is the status";

  http.SetProxyUser("user");
  http.SetProxyPassword("pass");
  EXPECT_EQ(PostError(http, "a=1", result, headers), 0u);
  EXPECT_EQ(result, "tunnel");
}

TEST_F(ProxyTest, WithoutAnOwnProxyTheEnvironmentsIsUsed) {
  CTHttp http;
  http.SetUrl(Url());
  setenv("http_proxy", ("http://user:pass@" + proxy.Address()).c_str(), 1);
  EXPECT_EQ(PostError(http, "a=1", result, headers), 0u);
  EXPECT_EQ(result, "via proxy");

  setenv("no_proxy", "127.0.0.1", 1);
  EXPECT_EQ(PostError(http, "a=1", result, headers), 0u);
  EXPECT_EQ(result, "direct");
}

// A 307 or 308 repeats the POST with its body (the scrambled credentials)
// at the new address: followed on the same host only.
TEST_F(PostTest, BodyIsNeverResentToAnotherHost) {
  tarvo::test::TempFolder data{"tarvo-http-log"};
  ::setenv("XDG_DATA_HOME", data.path().c_str(), 1);
  ScriptedServer stranger(Always(ScriptedServer::HttpAnswer("got it")));
  const std::string elsewhere = stranger.Url("/steal");
  ScriptedServer server([&](const RecordedRequest& request) {
    if (request.path == "/here") return ScriptedServer::HttpAnswer("kept " + request.body);
    const bool here = request.body.find("here=1") != std::string::npos;
    const int code = request.body.find("code=308") != std::string::npos ? 308 : 307;
    return ScriptedServer::HttpAnswer("", code, "Location: " + (here ? std::string("/here") : elsewhere) + "\r\n");
  });

  CTHttp http;
  std::string result;
  HeaderLines headers;
  http.SetUrl(server.Url("/sync"));
  for (const char* code : {"307", "308"}) {
    EXPECT_EQ(PostError(http, std::string("senha=123&code=") + code, result, headers), kErrorHttpRedirectFailed);
    ExpectIdle(http);
  }
  EXPECT_TRUE(stranger.Requests().empty());
  const std::string logText = tarvo::test::ReadFile(data.path() / "tarvo-hotsync" / "hotsync.log");
  EXPECT_NE(logText.find(elsewhere + " refused"), std::string::npos) << logText;

  http.Post("code=308&here=1", kFormHeaders, result, headers);  // the same host: followed, body and all
  EXPECT_EQ(result, "kept code=308&here=1");
  ::unsetenv("XDG_DATA_HOME");
}

}  // namespace
