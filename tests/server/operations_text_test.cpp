// The words of the service's log lines and the /metrics text.
#include <gtest/gtest.h>

#include "log_text.h"
#include "metrics.h"

namespace tarvo::server {
namespace {

TEST(LogText, EveryValueStaysOneWord) {
  EXPECT_EQ(log_field(""), "-");
  EXPECT_EQ(log_field("ana"), "ana");
  EXPECT_EQ(log_field("Jo\xE3o Silva"), "\"Jo\\xE3o Silva\"");
  EXPECT_EQ(log_field("a\nlogin=root"), "\"a\\x0Alogin=root\"");  // no forged line or field
  EXPECT_EQ(log_field("say \"hi\""), "\"say \\x22hi\\x22\"");
  EXPECT_EQ(utc_time().size(), 24u);
}

TEST(Metrics, CountsByKnownCommandAndBucketsLatency) {
  Metrics metrics;
  Request list;
  list.form = {{"cmd", "list"}};
  Request made_up;
  made_up.form = {{"cmd", "drop tables"}};
  Request download;
  download.path = "/files/1/2/3/News.pdb";
  EXPECT_EQ(Metrics::command_of(list), "list");
  EXPECT_EQ(Metrics::command_of(made_up), "other");
  EXPECT_EQ(Metrics::command_of(download), "download");

  metrics.count("list", 200, std::chrono::milliseconds(3));
  metrics.count("list", 200, std::chrono::milliseconds(30));
  metrics.count("login", 500, std::chrono::seconds(5));
  const std::string text = metrics.render("tarvo_devices 4\n");
  EXPECT_NE(text.find("tarvo_requests_total{command=\"list\",status=\"200\"} 2\n"), std::string::npos) << text;
  EXPECT_NE(text.find("tarvo_requests_total{command=\"login\",status=\"500\"} 1\n"), std::string::npos);
  EXPECT_NE(text.find("tarvo_request_seconds_bucket{le=\"0.005\"} 1\n"), std::string::npos) << text;
  EXPECT_NE(text.find("tarvo_request_seconds_bucket{le=\"0.05\"} 2\n"), std::string::npos);
  EXPECT_NE(text.find("tarvo_request_seconds_bucket{le=\"+Inf\"} 3\n"), std::string::npos);
  EXPECT_NE(text.find("tarvo_request_seconds_count 3\n"), std::string::npos);
  EXPECT_TRUE(text.ends_with("tarvo_devices 4\n"));
}

}  // namespace
}  // namespace tarvo::server
