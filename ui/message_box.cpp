#include <ui/message_box.h>

#include <QFile>
#include <QMessageBox>
#include <QTextStream>

namespace {

MessageBoxHandler& Handler() {
  static MessageBoxHandler handler;
  return handler;
}

QuestionHandler& Questions() {
  static QuestionHandler handler;
  return handler;
}

// Appends one line to the message log; false when none is set.
bool LogMessage(const QString& caption, const QString& text) {
  const QString log = qEnvironmentVariable("TIDEWELL_MESSAGE_LOG");
  if (log.isEmpty()) return false;
  QFile file(log);
  if (file.open(QIODevice::Append | QIODevice::Text)) {
    QTextStream(&file) << caption << '\t' << text << '\n';
  }
  return true;
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

bool DivertMessageBox(const QString& text, const QString& caption, MessageIcon icon) {
  if (Handler()) {
    Handler()(text, caption, icon);
    return true;
  }
  return LogMessage(caption, text);
}

void ShowMessageBox(const QString& text, const QString& caption, MessageIcon icon) {
  if (DivertMessageBox(text, caption, icon)) return;
  QMessageBox box(ToQt(icon), caption, text, QMessageBox::Ok);
  box.exec();
}

void SetQuestionHandler(QuestionHandler handler) { Questions() = std::move(handler); }

bool DivertQuestion(const QString& text, const QString& caption, bool* answer) {
  if (Questions()) {
    *answer = Questions()(text, caption);
    return true;
  }
  *answer = true;
  return LogMessage(caption, text);
}

bool AskQuestion(const QString& text, const QString& caption) {
  bool answer = false;
  if (DivertQuestion(text, caption, &answer)) return answer;
  QMessageBox box(QMessageBox::Question, caption, text, QMessageBox::Yes | QMessageBox::No);
  box.setDefaultButton(QMessageBox::No);
  return box.exec() == QMessageBox::Yes;
}
