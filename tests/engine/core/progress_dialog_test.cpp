#include <gtest/gtest.h>

#include <climits>

#include "recording_views.h"
#include "ui/progress/conduit_progress.h"

namespace {

using tarvo::test::RecordingViews;

struct StepCase {
  int32_t rangemin, rangemax, step, total, shown;
};

TEST(ProgressDialogTest, SetStepPlacesItemInsideTheRangeWithoutOverflow) {
  RecordingViews views;
  const StepCase cases[] = {
      {20, 40, 5, 0, 20},           // no total: the lower end
      {20, 40, 3, 10, 26},          // 20 + 3*20/10
      {0, 20, 6, 7, 17},            // truncates toward zero
      {20, 40, 15, 10, 50},         // beyond the total passes the upper end
      {90, 100, 30, 10, 100},       // the bar itself stops at 100
      {0, 100, INT32_MAX, 1, 100},  // a wild step does not wrap around
      {0, 100, INT32_MAX, 2, 100},
  };
  for (const StepCase& c : cases) {
    CConduitProgress dialog;
    dialog.m_rangemin = c.rangemin;
    dialog.m_rangemax = c.rangemax;
    dialog.SetStep(c.step, c.total);
    EXPECT_EQ(dialog.Position(), c.shown) << c.rangemin << ".." << c.rangemax << " " << c.step << "/" << c.total;
    EXPECT_EQ(views.record().positions.back(), c.shown);
  }
}

TEST(ProgressDialogTest, RefreshShowsWindowsTextAsUtf8) {
  RecordingViews views;
  CConduitProgress dialog;
  dialog.m_task =
      "Verificando m\xF3"
      "dulos, aguarde...";
  dialog.m_status =
      "Not\xED"
      "cias \x80";
  dialog.Refresh();
  EXPECT_EQ(views.record().texts.back().first, "Verificando módulos, aguarde...");
  EXPECT_EQ(views.record().texts.back().second, "Notícias €");
}

TEST(ProgressDialogTest, CancelWithoutRequestOnlySetsTheFlagAndKeepsTheWindow) {
  RecordingViews views;
  CConduitProgress dialog;
  dialog.m_task = "Tarefa";
  dialog.Refresh();
  const size_t shown = views.record().texts.size();
  dialog.OnCancel();
  dialog.OnCancel();  // a second press is harmless
  EXPECT_TRUE(dialog.m_cancel);
  EXPECT_THROW(dialog.CheckCancel(), CancelException);
  EXPECT_THROW(dialog.CheckCancel(), CancelException);  // the flag is never cleared
  EXPECT_TRUE(dialog.HasWindow());
  EXPECT_EQ(views.record().closed, 0);
  EXPECT_EQ(views.record().texts.size(), shown);
}

TEST(ProgressDialogTest, PumpDeliversACancelPressToTheLiveDialogOnly) {
  RecordingViews views;
  EXPECT_EQ(CConduitProgress::Active(), nullptr);
  ProgressPump();  // no dialog: nothing to do
  EXPECT_EQ(views.record().polls, 0);
  {
    CConduitProgress dialog;
    EXPECT_EQ(CConduitProgress::Active(), &dialog);
    ProgressPump();
    EXPECT_FALSE(dialog.m_cancel);
    views.record().cancelOnPoll = 1;
    ProgressPump();
    EXPECT_TRUE(dialog.m_cancel);
  }
  EXPECT_EQ(CConduitProgress::Active(), nullptr);
  const int polls = views.record().polls;
  ProgressPump();  // the dead dialog is not touched
  EXPECT_EQ(views.record().polls, polls);
}

TEST(ProgressDialogTest, WindowIsClosedExactlyOnce) {
  RecordingViews views;
  {
    CConduitProgress dialog;
    EXPECT_EQ(views.record().captions, std::vector<std::string>{"Tarvo Sync 4.7"});
    dialog.DestroyWindow();
    EXPECT_FALSE(dialog.HasWindow());
    dialog.DestroyWindow();
    dialog.m_task = "late";
    dialog.Refresh();  // no window: nothing shown, nothing breaks
    dialog.SetStep(1, 2);
    EXPECT_EQ(dialog.Position(), 50);
  }
  EXPECT_EQ(views.record().created, 1);
  EXPECT_EQ(views.record().closed, 1);
  { CConduitProgress dialog; }  // closed by its destructor
  EXPECT_EQ(views.record().closed, 2);
}

}  // namespace
