// The window tests run in one offscreen Qt application.
#include <gtest/gtest.h>

#include <QApplication>

#include <ui/layout_loader.h>

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  RegisterCustomControls();
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
