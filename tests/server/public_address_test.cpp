// The address download links are built from, and the client's address,
// with and without a reverse proxy in front.
#include "public_address.h"

#include <gtest/gtest.h>

namespace tarvo::server {
namespace {

Request from(const std::string& peer, HeaderList headers, const std::string& listen = "127.0.0.1") {
  Request r;
  r.client = peer;
  r.scheme = "http";
  r.host = listen;
  r.port = 39431;
  r.headers = std::move(headers);
  return r;
}

const HeaderList kProxied{{"Host", "internal:39431"},
                          {"x-forwarded-proto", "https"},
                          {"X-Forwarded-Host", "content.acme.example"},
                          {"X-Forwarded-For", "198.51.100.7, 203.0.113.9"}};

TEST(PublicAddress, ProxyHeadersAreBelievedFromTrustedProxiesOnly) {
  const AddressRules rules{std::nullopt, {"10.0.0.2"}};
  Request trusted = from("10.0.0.2", kProxied);
  resolve_addresses(trusted, rules);
  EXPECT_EQ(trusted.base, "https://content.acme.example");
  EXPECT_EQ(trusted.client, "203.0.113.9");  // the address the proxy itself saw

  Request stranger = from("10.0.0.3", kProxied);
  resolve_addresses(stranger, rules);
  EXPECT_EQ(stranger.base, "http://127.0.0.1:39431");
  EXPECT_EQ(stranger.client, "10.0.0.3");

  // A forwarded host that could break out of the answer is ignored.
  Request odd = from("10.0.0.2", {{"X-Forwarded-Host", "a\"b"}, {"X-Forwarded-Proto", "gopher"}});
  resolve_addresses(odd, rules);
  EXPECT_EQ(odd.base, "http://127.0.0.1:39431");
}

TEST(PublicAddress, PublicUrlWinsAndWildcardListenersUseTheHostAsked) {
  Request proxied = from("10.0.0.2", kProxied);
  resolve_addresses(proxied, {std::string("https://sync.acme.example/tarvo/"), {"10.0.0.2"}});
  EXPECT_EQ(proxied.base, "https://sync.acme.example/tarvo");

  Request direct = from("192.0.2.1", {{"Host", "sync.acme.example:8080"}}, "0.0.0.0");
  resolve_addresses(direct, {});
  EXPECT_EQ(direct.base, "http://sync.acme.example:8080");

  std::string why;
  EXPECT_TRUE(valid_public_url("https://sync.acme.example:8443/base", why));
  for (const char* bad : {"ftp://x", "https://", "https://a b", "https://x/\"", "https://x/?q", "x.example"})
    EXPECT_FALSE(valid_public_url(bad, why)) << bad;
}

}  // namespace
}  // namespace tarvo::server
