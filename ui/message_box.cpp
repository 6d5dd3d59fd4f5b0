#include <ui/message_box.h>

#include <QFile>
#include <QMessageBox>
#include <QTextStream>

namespace {

MessageBoxHandler& Handler() {
  static MessageBoxHandler handler;
  return handler;
}

QMessageBox::Icon ToQt(MessageIcon icon) {
  switch (icon) {
    case MessageIcon::Information:
      return QMessageBox::Information;
    case MessageIcon::Warning:
      return QMessageBox::Warning;
    case MessageIcon::Error:
      return QMessageBox::Critical;
  }
  return QMessageBox::NoIcon;
}

}  // namespace

void SetMessageBoxHandler(MessageBoxHandler handler) { Handler() = std::move(handler); }

void ShowMessageBox(const QString& text, const QString& caption, MessageIcon icon) {
  if (Handler()) {
    Handler()(text, caption, icon);
    return;
  }
  const QString log = qEnvironmentVariable("TIDEWELL_MESSAGE_LOG");
  if (!log.isEmpty()) {
    QFile file(log);
    if (file.open(QIODevice::Append | QIODevice::Text)) {
      QTextStream(&file) << caption << '\t' << text << '\n';
    }
    return;
  }
  QMessageBox box(ToQt(icon), caption, text, QMessageBox::Ok);
  box.exec();
}
