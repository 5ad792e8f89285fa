// Entry of the GUI test programs: widgets need a QApplication before the first test runs.

#include <gtest/gtest.h>

#include <QApplication>

int main(int argc, char** argv) {
  // Tests never need a display; the offscreen platform also serves a run outside CTest.
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  ::testing::InitGoogleTest(&argc, argv);
  QApplication app(argc, argv);
  return RUN_ALL_TESTS();
}
