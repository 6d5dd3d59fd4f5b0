// The window tests run in one offscreen Qt application.
#include <gtest/gtest.h>

#include <QApplication>

#include <ui/language.h>
#include <ui/layout_loader.h>

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  RegisterCustomControls();
  // The window's texts as written unless a run asks for a language.
  UiLanguage language = UiLanguage::Chinese;
  if (ParseLanguage(qEnvironmentVariable("TIDEWELL_LANGUAGE"), &language)) {
    ApplyLanguage(app, language);
  }
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
