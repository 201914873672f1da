// URL splitting, the header block split, and the checks Post makes before
// touching the network.
#include <gtest/gtest.h>

#include "http/header_list.h"
#include "http/thttp.h"

namespace {

struct Parts {
  std::string scheme, host, port, path, extra;
};

Parts PartsOf(const CTHttp& http) { return {http.m_scheme, http.m_host, http.m_port, http.m_path, http.m_urlExtra}; }

void ExpectParts(const CTHttp& http, const Parts& want) {
  const Parts got = PartsOf(http);
  EXPECT_EQ(got.scheme, want.scheme);
  EXPECT_EQ(got.host, want.host);
  EXPECT_EQ(got.port, want.port);
  EXPECT_EQ(got.path, want.path);
  EXPECT_EQ(got.extra, want.extra);
}

TEST(SetUrl, SplitsAddressesIntoTheirParts) {
  struct Case {
    const char* url;
    Parts want;
  };
  const Case cases[] = {
      {"http://sync.example/sync.asp?a=1", {"http", "sync.example", "80", "/sync.asp", "?a=1"}},
      {"https://sync.example:8443/s", {"https", "sync.example", "8443", "/s", ""}},
      {"HTTP://Sync.Example/", {"http", "Sync.Example", "80", "/", ""}},
      {"http://user:secret@h/x", {"http", "h", "80", "/x", ""}},
      {"http://h", {"http", "h", "80", "", ""}},
      {"http://h?x=1", {"http", "h", "80", "", "?x=1"}},
      {"http://h/p?", {"http", "h", "80", "/p", "?"}},
      {"http://h/p?a=1?b=2", {"http", "h", "80", "/p", "?a=1?b=2"}},
      {"http://h/p#part", {"http", "h", "80", "/p", ""}},
      {"http://h:0/p", {"http", "h", "", "/p", ""}},
      {"http://[::1]:8080/p", {"http", "[::1]", "8080", "/p", ""}},
      {"ftp://files.example/f", {"ftp", "files.example", "21", "/f", ""}},
      {"whatever://h/p", {"", "h", "", "/p", ""}},
      {"http:///nohost", {"http", "", "80", "/nohost", ""}},
      // Unsafe characters are escaped; an escape already there stays.
      {"http://h/a b/%41?q=x y\x01\xE9", {"http", "h", "80", "/a%20b/%41", "?q=x%20y%01%E9"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.url);
    CTHttp http;
    http.SetUrl(c.url);
    ExpectParts(http, c.want);
  }
}

TEST(SetUrl, AnAddressThatDoesNotParseChangesNothing) {
  CTHttp http;
  http.SetUrl("https://first.example:444/old?k=v");
  const Parts before = PartsOf(http);
  for (const char* bad : {"", "no scheme here", "://h/p", "1http://h/", "ht tp://h/", "http://h:99999/",
                          "http://h:80x/", "http://bad host/", "http://[::1/", "mailto:someone@example"}) {
    SCOPED_TRACE(bad);
    http.SetUrl(bad);
    ExpectParts(http, before);
  }
}

TEST(SplitRawHeaders, KeepsCarriageReturnsAndStopsAtALeadingLineFeed) {
  EXPECT_EQ(SplitRawHeaders("HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\n"),
            (HeaderLines{"HTTP/1.1 200 OK\r", "Content-Length: 5\r", "\r"}));
  EXPECT_EQ(SplitRawHeaders("A: 1\nB: 2"), (HeaderLines{"A: 1", "B: 2"}));
  // A bare line feed at the head of what is left ends the scan; the rest is one entry.
  EXPECT_EQ(SplitRawHeaders("A: 1\n\nB: 2\n"), (HeaderLines{"A: 1", "\nB: 2\n"}));
  EXPECT_TRUE(SplitRawHeaders("").empty());
}

TEST(PostPreconditions, FailInOrderBeforeAnyNetworkActivity) {
  CTHttp http;
  std::string result = "unchanged";
  HeaderLines headers{"kept"};
  auto codeOf = [&] {
    try {
      http.Post("a=1", {}, result, headers);
    } catch (const CInternetException& e) {
      return e.m_dwError;
    }
    return 0u;
  };
  EXPECT_EQ(codeOf(), kErrorInternetUnrecognizedScheme);  // nothing set yet
  http.SetUrl("ftp:///file");
  EXPECT_EQ(codeOf(), kErrorInternetUnrecognizedScheme);  // scheme is checked before the host
  http.SetUrl("http:///file");
  EXPECT_EQ(codeOf(), kErrorInternetInvalidUrl);
  EXPECT_EQ(result, "unchanged");
  EXPECT_EQ(headers, HeaderLines{"kept"});
  EXPECT_FALSE(http.IsBlocked());
  EXPECT_EQ(http.m_pConnection, nullptr);
}

TEST(Abort, OnAnIdleClientChangesNothing) {
  CTHttp http;
  http.SetUrl("http://h/p?q");
  http.Abort();
  http.CleanUpConnection();
  EXPECT_FALSE(http.IsBlocked());
  EXPECT_EQ(http.m_pConnection, nullptr);
  EXPECT_EQ(http.m_pRequest, nullptr);
  ExpectParts(http, {"http", "h", "80", "/p", "?q"});
}

}  // namespace
