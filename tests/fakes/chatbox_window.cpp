#include <tests/fakes/chatbox_window.h>

#include <QApplication>
#include <QLabel>
#include <QVBoxLayout>
#include <QWidget>
#include <cstdlib>

namespace fake_chatbox {

bool RunWindow(int argc, char** argv, const ChatTarget& target) {
  const char* display = std::getenv("DISPLAY");
  const char* wayland = std::getenv("WAYLAND_DISPLAY");
  const char* platform = std::getenv("QT_QPA_PLATFORM");
  if ((display == nullptr || *display == '\0') && (wayland == nullptr || *wayland == '\0') &&
      (platform == nullptr || *platform == '\0')) {
    return false;
  }
  QApplication app(argc, argv);
  QWidget window;
  window.setWindowTitle(QStringLiteral("Chatbox (stand-in)"));
  auto* layout = new QVBoxLayout(&window);
  layout->addWidget(new QLabel(QStringLiteral("Chatbox (stand-in)"), &window));
  layout->addWidget(
      new QLabel(QStringLiteral("Model: ") + QString::fromStdString(target.model), &window));
  layout->addWidget(
      new QLabel(QStringLiteral("Host: ") + QString::fromStdString(target.host), &window));
  window.resize(360, 140);
  window.show();
  app.exec();
  return true;
}

}  // namespace fake_chatbox
