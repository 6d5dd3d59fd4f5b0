#pragma once
// Every message box of the program goes through here, so that tests and
// automated runs can answer them instead of a person.
#include <QString>

#include <functional>

enum class MessageIcon { Information, Warning, Error };

// A modal box with no owner window and an OK button.
void ShowMessageBox(const QString& text, const QString& caption, MessageIcon icon);

// Replaces the box (nullptr restores it). With TIDEWELL_MESSAGE_LOG set in
// the environment, boxes are written to that file instead of shown.
using MessageBoxHandler = std::function<void(const QString&, const QString&, MessageIcon)>;
void SetMessageBoxHandler(MessageBoxHandler handler);

// A yes/no question with no owner window; true for yes. Goes through the
// question handler when one is set; with TIDEWELL_MESSAGE_LOG it is logged
// and answered yes.
bool AskQuestion(const QString& text, const QString& caption);
using QuestionHandler = std::function<bool(const QString&, const QString&)>;
void SetQuestionHandler(QuestionHandler handler);

// For boxes with a look of their own: hands the box to the handler or the
// message log when either is set and returns true, so that it is not shown.
bool DivertMessageBox(const QString& text, const QString& caption, MessageIcon icon);
// The same for a question; *answer is the handler's answer (yes when logged).
bool DivertQuestion(const QString& text, const QString& caption, bool* answer);
