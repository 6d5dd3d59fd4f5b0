#include <tests/fakes/chatbox_window.h>

#include <QApplication>
#include <QLabel>
#include <QStringList>
#include <QTimer>
#include <QVBoxLayout>
#include <QWidget>
#include <cstdlib>

namespace fake_chatbox {

namespace {

QString Joined(const std::vector<std::string>& items) {
  QStringList list;
  for (const std::string& item : items) list << QString::fromStdString(item);
  return list.join(QStringLiteral(", "));
}

}  // namespace

bool RunWindow(int argc, char** argv, const UserView& view, const std::atomic<bool>& ending) {
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
  const auto line = [&](const QString& label, const QString& value) {
    layout->addWidget(new QLabel(label + value, &window));
  };
  line(QStringLiteral("Provider: "), QString::fromStdString(view.provider));
  line(QStringLiteral("Model: "), QString::fromStdString(view.model));
  line(QStringLiteral("Host: "), QString::fromStdString(view.host));
  line(QStringLiteral("Ollama models: "), Joined(view.ollamaModels));
  line(QStringLiteral("Offered: "), Joined(view.offered));
  window.resize(360, 180);
  window.show();
  // The signal arrives on another thread; the window looks for it.
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, &app, [&] {
    if (ending) app.quit();
  });
  poll.start(100);
  app.exec();
  return true;
}

}  // namespace fake_chatbox
