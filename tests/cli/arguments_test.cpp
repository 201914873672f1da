#include "cli/arguments.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace tarvo::cli {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr Option kOptions[] = {
    {"handheld", Value, "DIR"},
    {"listen", OptionalValue, "ADDR[:PORT]"},
    {"no-gui"},
    {"no-listen"},
    {"", Flag, "", 'r'},
    {"port", Value, "PORT", 'p'},
};

Args parsed(const std::vector<std::string>& words, Order order = Order::Anywhere) {
  Args args;
  std::string error;
  EXPECT_TRUE(parse(words, kOptions, &args, &error, order)) << error;
  return args;
}

std::string refused(const std::vector<std::string>& words) {
  Args args;
  std::string error;
  EXPECT_FALSE(parse(words, kOptions, &args, &error));
  EXPECT_EQ(error.find('\n'), std::string::npos);
  return error;
}

TEST(Arguments, TakesEverySpellingInAnyOrder) {
  Args args = parsed({"list", "--handheld", "a b", "-r", "--no-gui", "x", "--port=14238", "-p", "7"});
  EXPECT_EQ(args.value("handheld"), "a b");
  EXPECT_EQ(args.value("port"), "7");  // the last one given
  EXPECT_TRUE(args.has("r"));
  EXPECT_TRUE(args.has("no-gui"));
  EXPECT_FALSE(args.has("no-listen"));
  EXPECT_THAT(args.positional, ElementsAre("list", "x"));

  // An optional value only after "=": the next word stays an argument.
  args = parsed({"--listen", "NAME"});
  EXPECT_TRUE(args.has("listen"));
  EXPECT_FALSE(args.hasValue("listen"));
  EXPECT_THAT(args.positional, ElementsAre("NAME"));
  args = parsed({"--listen=0.0.0.0:0"});
  EXPECT_EQ(args.value("listen"), "0.0.0.0:0");
  args = parsed({"--listen="});
  EXPECT_TRUE(args.has("listen"));
  EXPECT_EQ(args.value("listen", "unset"), "");

  // "--" ends the options; "-" and negative numbers are arguments.
  args = parsed({"--no-gui", "--", "--handheld", "-r", "-"});
  EXPECT_THAT(args.positional, ElementsAre("--handheld", "-r", "-"));
  args = parsed({"set", "timeout", "-3", "--port", "-1", "-2147483648"});
  EXPECT_THAT(args.positional, ElementsAre("set", "timeout", "-3", "-2147483648"));
  EXPECT_EQ(args.value("port"), "-1");
  EXPECT_TRUE(parsed({"-h"}).has("help"));
  EXPECT_TRUE(parsed({"x", "--help"}).has("help"));
}

TEST(Arguments, SaysInOneLineWhatWasWrong) {
  EXPECT_EQ(refused({"--bogus"}), "unknown option: --bogus");
  EXPECT_EQ(refused({"--bogus=1"}), "unknown option: --bogus");
  EXPECT_EQ(refused({"-x"}), "unknown option: -x");
  // Abbreviations would change meaning when an option is added later.
  EXPECT_EQ(refused({"--hand", "d"}), "unknown option: --hand");
  EXPECT_EQ(refused({"--no"}), "unknown option: --no");
  EXPECT_EQ(refused({"--handheld"}), "--handheld needs DIR");
  EXPECT_EQ(refused({"--handheld="}), "--handheld needs DIR");
  EXPECT_EQ(refused({"x", "-p"}), "-p needs PORT");
  EXPECT_EQ(refused({"--no-gui=1"}), "--no-gui takes no value");
  EXPECT_EQ(refused({"--help=1"}), "--help takes no value");
  EXPECT_EQ(usageLine("tarvo-hotsync sync", "unknown option: --bogus"),
            "tarvo-hotsync sync: unknown option: --bogus (see --help)");
}

// The host parses twice in one process (the command word, then the
// command), and tests parse many times: nothing may carry over.
TEST(Arguments, EachParseStartsAfresh) {
  Args args;
  std::string error;
  EXPECT_FALSE(parse({"-rx"}, kOptions, &args, &error));  // stops inside a group of letters
  args = parsed({"sync", "--no-gui", "-r"}, Order::StopAtPositional);
  EXPECT_FALSE(args.has("no-gui"));
  EXPECT_THAT(args.positional, ElementsAre("sync", "--no-gui", "-r"));
  args = parsed({"-r", "sync", "--no-gui"}, Order::StopAtPositional);
  EXPECT_TRUE(args.has("r"));
  EXPECT_THAT(args.positional, ElementsAre("sync", "--no-gui"));
  args = parsed({"--no-gui", "-r"});
  EXPECT_TRUE(args.has("no-gui"));
  EXPECT_THAT(args.positional, IsEmpty());
}

TEST(Arguments, ReadsNumbersInTheirRange) {
  const Args args = parsed({"--port", "65535", "--handheld", "12x"});
  int64_t value = 0;
  std::string error;
  EXPECT_TRUE(args.number("port", 0, 65535, 14238, &value, &error));
  EXPECT_EQ(value, 65535);
  EXPECT_FALSE(args.number("port", 0, 1000, 0, &value, &error));
  EXPECT_EQ(error, "--port takes a whole number from 0 to 1000, not 65535");
  EXPECT_FALSE(args.number("handheld", 0, 100, 0, &value, &error));
  EXPECT_TRUE(args.number("listen", 0, 10, 7, &value, &error));
  EXPECT_EQ(value, 7);
  EXPECT_TRUE(parseNumber("+5", -5, 5, &value));
  EXPECT_FALSE(parseNumber("", 0, 5, &value));
  EXPECT_FALSE(parseNumber("-6", -5, 5, &value));
}

}  // namespace
}  // namespace tarvo::cli
