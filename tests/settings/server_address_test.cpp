#include "settings/server_address.h"

#include <gtest/gtest.h>

namespace {

using tarvo::settings::ServerAddressProblem;

TEST(ServerAddressTest, WebAddressesWithAHostPass) {
  for (const char* good : {"http://127.0.0.1:45785/sync", "HTTPS://sync.example.org/sync.asp", "http://h",
                           "http://user:pw@h:8080/x?y#z", "https://[::1]:443/sync", "http://[fe80::1]"}) {
    EXPECT_EQ(ServerAddressProblem(good), "") << good;
  }
}

TEST(ServerAddressTest, EachFaultIsNamed) {
  const struct {
    const char* address;
    const char* says;
  } cases[] = {
      {"127.0.0.1:45785/sync", "must start with http:// or https://, e.g. http://127.0.0.1:45785/sync"},
      {"ftp://foo", "ftp:// is not for sync servers"},
      {"file:///etc/passwd", "file:// is not for sync servers"},
      {"http://", "no host"},
      {"https:///sync", "no host"},
      {"http://:80/", "no host"},
      {"http://h:/", "no port number"},
      {"http://h:0/", "the port 0 is not a number from 1 to 65535"},
      {"http://h:70000", "the port 70000"},
      {"http://h:8o/", "the port 8o"},
      {"http://[::1/", "unclosed ["},
      {"http://h /sync", "space"},
      {"", "empty"},
  };
  for (const auto& c : cases) {
    const std::string problem = ServerAddressProblem(c.address);
    EXPECT_NE(problem.find(c.says), std::string::npos) << c.address << ": " << problem;
  }
}

}  // namespace
