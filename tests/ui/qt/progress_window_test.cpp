#include <gtest/gtest.h>

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <chrono>
#include <thread>

#include "http/internet_error.h"
#include "loopback.h"
#include "ui/progress/conduit_progress.h"
#include "ui/qt/dialog_units.h"
#include "ui/qt/progress_window.h"

namespace {

using tarvo::qt::ProgressWindow;
using tarvo::qt::QtProgressView;

// Every dialog of these tests gets a Qt window; the last one made is kept
// here so the test can reach its widgets.
class ProgressWindowTest : public testing::Test {
 protected:
  void SetUp() override {
    SetProgressViewFactory([this] {
      auto view = std::make_unique<QtProgressView>();
      m_window = view->window();
      return view;
    });
  }
  void TearDown() override { SetProgressViewFactory({}); }

  ProgressWindow* m_window = nullptr;
};

TEST_F(ProgressWindowTest, FollowsTheDialogsTextsAndBar) {
  CConduitProgress dialog;
  ASSERT_NE(m_window, nullptr);
  EXPECT_TRUE(m_window->isVisible());
  EXPECT_EQ(m_window->windowTitle(), "Tarvo Sync 4.7");
  EXPECT_FALSE(m_window->windowFlags() & Qt::WindowCloseButtonHint) << "no close box";
  EXPECT_FALSE(m_window->windowIcon().isNull());
  EXPECT_EQ(m_window->task()->text(), "");
  EXPECT_EQ(m_window->cancelButton()->text(), "Cancelar");
  // The template's proportions, through the font's metrics.
  const tarvo::qt::DialogUnits units;
  EXPECT_EQ(m_window->size(), units.ToPixels(186, 94));
  EXPECT_EQ(m_window->cancelButton()->geometry(), units.ToPixels(67, 73, 50, 14));

  dialog.m_task =
      "Verificando m\xf3"
      "dulos, aguarde...";  // Windows-1252
  dialog.m_status = "Tarvo News";
  dialog.Refresh();
  EXPECT_EQ(m_window->task()->text(), QString::fromUtf8("Verificando módulos, aguarde..."));
  EXPECT_EQ(m_window->status()->text(), "Tarvo News");

  dialog.m_rangemin = 20;
  dialog.m_rangemax = 40;
  dialog.SetStep(3, 10);
  EXPECT_EQ(m_window->bar()->value(), 26);

  // Escape and a close request press Cancel; the window stays.
  QTest::keyClick(m_window, Qt::Key_Escape);
  dialog.Pump();
  EXPECT_TRUE(dialog.m_cancel);
  EXPECT_TRUE(m_window->isVisible());
  EXPECT_THROW(dialog.CheckCancel(), CancelException);
}

TEST_F(ProgressWindowTest, CancelarBreaksOffASlowRequest) {
  http_test::ClearProxyEnvironment();
  http_test::ScriptedServer slow([&](const auto&) {
    slow.WaitForRelease();
    return std::string();
  });  // answers too late
  CConduitProgress dialog;
  uint32_t error = 0;
  std::thread worker([&] {
    std::string result;
    HeaderLines headers;
    try {
      dialog.m_http.SetUrl(slow.Url("/sync.asp"));
      dialog.m_http.Post("a=1", {}, result, headers);
    } catch (const CInternetException& e) {
      error = e.m_dwError;
    }
  });
  ASSERT_TRUE(slow.WaitForRequests(1));
  EXPECT_TRUE(dialog.m_http.IsBlocked());

  const auto clicked = std::chrono::steady_clock::now();
  QTest::mouseClick(m_window->cancelButton(), Qt::LeftButton);
  dialog.Pump();  // the HotSync thread's next yield
  worker.join();
  const auto ended = std::chrono::steady_clock::now();

  EXPECT_TRUE(dialog.m_cancel);
  EXPECT_EQ(error, kErrorInternetOperationCancelled);
  EXPECT_FALSE(dialog.m_http.IsBlocked());
  EXPECT_TRUE(m_window->isVisible()) << "the window stays until the engine ends";
  RecordProperty("click_to_end_ms",
                 static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(ended - clicked).count()));
  slow.Stop();
}

}  // namespace
