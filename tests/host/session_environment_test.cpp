// Which variables make the desktop session a HotSync sees, as systemd and
// the manager hand them on.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "host/session_environment.h"

namespace tarvo::host {
namespace {

using ::testing::UnorderedElementsAre;

TEST(SessionEnvironment, SystemdsQuotedValuesAreReadBackAndOnlyTheSessionKept) {
  // As `systemctl --user show-environment` prints them.
  const SessionEnvironment session = parseShowEnvironment(
      "HOME=/home/ana\n"
      "DISPLAY=:0\n"
      "DBUS_SESSION_BUS_ADDRESS=unix:path=/run/user/1000/bus\n"
      "XDG_CURRENT_DESKTOP=$'KDE Plasma'\n"
      "XDG_SESSION_DESKTOP=$'caf\\303\\251 \\'x\\'\\\\ \\x41'\n"
      "XDG_DATA_HOME=/elsewhere\n"
      "LC_TIME=pt_BR.UTF-8\n"
      "PATH=/usr/bin\n");
  EXPECT_EQ(session, (SessionEnvironment{{"DISPLAY", ":0"},
                                         {"DBUS_SESSION_BUS_ADDRESS", "unix:path=/run/user/1000/bus"},
                                         {"XDG_CURRENT_DESKTOP", "KDE Plasma"},
                                         {"XDG_SESSION_DESKTOP", "caf\xc3\xa9 'x'\\ A"},
                                         {"LC_TIME", "pt_BR.UTF-8"}}));
  EXPECT_TRUE(hasDisplay(session));
  EXPECT_FALSE(hasDisplay({{"DISPLAY", ""}, {"LANG", "C.UTF-8"}}));
  EXPECT_TRUE(hasDisplay({{"WAYLAND_DISPLAY", "wayland-0"}}));
}

TEST(SessionEnvironment, AHandedSessionReplacesTheWholeSessionAndNothingElse) {
  // A Wayland session handed to a manager started on an X display: no
  // stale DISPLAY or bus of the other session may stay behind.
  const char* base[] = {"PATH=/usr/bin",
                        "DISPLAY=:1",
                        "DBUS_SESSION_BUS_ADDRESS=unix:path=/old",
                        "LANG=C",
                        "XDG_RUNTIME_DIR=/run/user/1000",
                        "TARVO_STUB_DB=x",
                        nullptr};
  const std::vector<std::string> env = environmentWithSession(
      const_cast<char* const*>(base), {{"WAYLAND_DISPLAY", "wayland-0"}, {"LANG", "pt_BR.UTF-8"}});
  EXPECT_THAT(env, UnorderedElementsAre("PATH=/usr/bin", "XDG_RUNTIME_DIR=/run/user/1000", "TARVO_STUB_DB=x",
                                        "WAYLAND_DISPLAY=wayland-0", "LANG=pt_BR.UTF-8"));
}

}  // namespace
}  // namespace tarvo::host
