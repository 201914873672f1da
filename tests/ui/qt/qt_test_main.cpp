// The windows need an application object on the test's main thread, as
// they have one on the HotSync thread.
#include <gtest/gtest.h>

#include <QApplication>

int main(int argc, char** argv) {
  // Windows draw off screen: no display needed, nothing pops up.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
