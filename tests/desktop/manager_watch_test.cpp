#include <gtest/gtest.h>

#include <QSignalSpy>

#include "desktop/manager_watch.h"
#include "manager_lines.h"

namespace {

using namespace tarvo::desktop;
using tarvo::test::hotSyncLines;
using tarvo::test::kFirstState;
using tarvo::test::object;

TEST(ManagerWatch, FollowsAHotSyncFromWaitingToDone) {
  ManagerWatch watch;
  EXPECT_EQ(watch.status().kind, StatusKind::NoManager);
  watch.takeEvent(object(kFirstState));
  ASSERT_NE(watch.state(), nullptr);
  Status status = watch.status();
  EXPECT_EQ(status.kind, StatusKind::Waiting);
  EXPECT_TRUE(status.tooltip.startsWith("Waiting for a handheld on USB, the network")) << status.tooltip.toStdString();
  // A port that cannot be used says why, in words.
  EXPECT_TRUE(status.tooltip.contains("/dev/ttyS0 cannot be used: /dev/ttyS0: Permission denied"));

  QSignalSpy ended(&watch, &ManagerWatch::hotSyncEnded);
  const QList<QByteArray> lines = hotSyncLines(7, 0, "ok", "HotSync completed");
  for (int i = 0; i < lines.size(); ++i) {
    watch.takeEvent(object(lines[i]));
    if (i == 6) {  // after the conduit's progress
      status = watch.status();
      EXPECT_EQ(status.kind, StatusKind::Running);
      EXPECT_TRUE(status.tooltip.startsWith("HotSync of Ana Souza over the network: Tarvo Sync, 42%"))
          << status.tooltip.toStdString();
    }
  }
  ASSERT_EQ(ended.count(), 1);
  const auto report = ended.at(0).at(0).value<HotSyncReport>();
  EXPECT_EQ(report.hotsync.id, 7);
  status = watch.status();
  EXPECT_EQ(status.kind, StatusKind::Done);
  EXPECT_TRUE(status.tooltip.contains("Last HotSync done at")) << status.tooltip.toStdString();
  EXPECT_FALSE(watch.state()->running);
}

TEST(ManagerWatch, AFailureStaysUntilSeenAndTheTooltipKeepsIt) {
  ManagerWatch watch;
  watch.takeEvent(object(kFirstState));
  for (const QByteArray& line : hotSyncLines(8, 8, "link-lost", "the handheld went away"))
    watch.takeEvent(object(line));
  EXPECT_EQ(watch.status().kind, StatusKind::Failed);
  EXPECT_TRUE(watch.status().tooltip.contains("failed at")) << watch.status().tooltip.toStdString();
  EXPECT_TRUE(watch.status().tooltip.contains("(the handheld went away)"));
  watch.markFailureSeen();
  EXPECT_EQ(watch.status().kind, StatusKind::Waiting);
  EXPECT_TRUE(watch.status().tooltip.contains("the handheld went away"));
  // The next good HotSync clears it.
  for (const QByteArray& line : hotSyncLines(9, 0, "ok", "HotSync completed")) watch.takeEvent(object(line));
  EXPECT_EQ(watch.status().kind, StatusKind::Done);
}

// A HotSync whose conduit could not reach its server says so in the tooltip
// and the notification, not only "some servers could not be done"; a
// cancelled one blames no conduit.
TEST(ManagerWatch, AFailureIsToldInTheConduitsWordsButACancelIsNoConduitsFault) {
  const char* why = "Conduit Tarvo Sync finished: server 127.0.0.1 could not be reached";
  for (const bool cancelled : {false, true}) {
    ManagerWatch watch;
    std::optional<HotSyncReport> report;
    QObject::connect(&watch, &ManagerWatch::hotSyncEnded, [&](const HotSyncReport& r) { report = r; });
    watch.takeEvent(object(kFirstState));
    QList<QByteArray> lines = cancelled ? hotSyncLines(8, 5, "cancelled", "HotSync cancelled")
                                        : hotSyncLines(8, 4, "partial", "some servers, conduits or backups failed");
    lines[7] = QByteArray(R"({"v":1,"event":"conduit-ended","seq":49,"time":"2026-12-08T18:02:09Z","hotsync":8,)"
                          R"("conduit":{"creator":"Tarv","name":"Tarvo Sync"},"status":)") +
               (cancelled ? "5" : "4") + R"(,"words":")" + why + R"("})";
    for (const QByteArray& line : lines) watch.takeEvent(object(line));
    ASSERT_TRUE(report);
    const QString tooltip = watch.status().tooltip;
    const NotificationText note = notificationFor(*report);
    EXPECT_EQ(tooltip.contains(why), !cancelled) << tooltip.toStdString();
    EXPECT_EQ(note.body.contains(why), !cancelled) << note.body.toStdString();
  }
}

TEST(ManagerWatch, IgnoresWhatItCannotPlaceAndLosesTheStateWithTheManager) {
  ManagerWatch watch;
  // Before the stream's whole state nothing can be applied.
  watch.takeEvent(object(hotSyncLines(1, 0, "ok", "")[0]));
  EXPECT_EQ(watch.state(), nullptr);
  watch.takeEvent(object(kFirstState));
  // Another protocol version and an unknown event change nothing.
  QByteArray other = kFirstState;
  other.replace(R"("v":1)", R"("v":2)");
  other.replace(R"("pid":4711)", R"("pid":1)");
  watch.takeEvent(object(other));
  watch.takeEvent(object(R"({"v":1,"event":"sparkle","seq":50,"time":"2026-12-08T18:00:00Z"})"));
  EXPECT_EQ(watch.state()->pid, 4711);
  // A port taken out by a reload leaves the list; a changed one is replaced.
  watch.takeEvent(
      object(R"({"v":1,"event":"port","seq":51,"port":{"port":"/dev/ttyS0","link":"serial","condition":"removed"}})"));
  watch.takeEvent(object(
      R"({"v":1,"event":"port","seq":52,"port":{"port":"usb:","link":"usb","condition":"unavailable","reason":"no USB access"}})"));
  ASSERT_EQ(watch.state()->ports.size(), 2u);
  EXPECT_EQ(watch.state()->ports[0].condition, "unavailable");
  EXPECT_EQ(watch.status().kind, StatusKind::Waiting);  // the network still waits

  watch.takeLoss("The HotSync manager is not running");
  EXPECT_EQ(watch.state(), nullptr);
  EXPECT_EQ(watch.status().kind, StatusKind::NoManager);
  EXPECT_EQ(watch.status().tooltip, "The HotSync manager is not running");
}

TEST(HotSyncReport, NotificationSaysWhatWasInstalledAndBackedUp) {
  ReportCollector collector;
  std::optional<HotSyncReport> report;
  for (const QByteArray& line : hotSyncLines(7, 0, "ok", "HotSync completed")) report = collector.take(object(line));
  ASSERT_TRUE(report);
  NotificationText text = notificationFor(*report);
  EXPECT_EQ(text.summary, "HotSync of Ana Souza done");
  EXPECT_EQ(text.body,
            "HotSync completed\nInstalled: Memo Pad\nNot installed: notes.txt: not a Palm database\n"
            "Backed up 3 databases");
  EXPECT_FALSE(text.persistent);

  for (const QByteArray& line : hotSyncLines(8, 5, "cancelled", "HotSync cancelled"))
    report = collector.take(object(line));
  text = notificationFor(*report);
  EXPECT_EQ(text.summary, "HotSync of Ana Souza failed");
  EXPECT_TRUE(text.persistent);
}

TEST(HotSyncReport, ADroppedHotSyncLeavesNothingForTheNextOneWithItsNumber) {
  ReportCollector collector;
  const QList<QByteArray> lines = hotSyncLines(3, 0, "ok", "HotSync completed");
  collector.take(object(lines[3]));  // an install of a HotSync whose handheld hung up
  collector.take(object(R"({"v":1,"event":"dropped","seq":9,"hotsync":3,"reason":"hung-up"})"));
  const std::optional<HotSyncReport> report = collector.take(object(lines.back()));
  ASSERT_TRUE(report);
  EXPECT_TRUE(report->installed.isEmpty());
  EXPECT_FALSE(report->backedUp);
}

}  // namespace
