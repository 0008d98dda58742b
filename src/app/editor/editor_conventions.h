#pragma once
// What every command of the editor shares: its message boxes and the rule for exceptions
// leaving a handler.

#include <QString>

#include <exception>
#include <functional>

namespace tavrela {

/// Shows the editor's modal message box (OK button, captioned with the application title).
/// The text is echoed on stderr too, so a host that runs the editor unattended sees it.
void ShowMessage(const QString& text);

/// Replaces how messages are shown (tests record them instead of blocking on a box);
/// an empty function restores the message box.
using MessagePresenter = std::function<void(const QString& text)>;
void SetMessagePresenter(MessagePresenter presenter);

/// Asks the operator a question with the buttons "Sim" and "Não" (a modal box captioned with
/// the application title); true for "Sim".
bool AskYesNo(const QString& text);

/// Replaces how questions are asked (tests answer them instead of blocking on a box); an
/// empty function restores the message box.
using QuestionPresenter = std::function<bool(const QString& text)>;
void SetQuestionPresenter(QuestionPresenter presenter);

/// Runs one command or event handler: the silent abort ends it quietly; any other exception
/// is shown with its own text and the program goes on. Returns false when it did not finish.
bool RunGuarded(const std::function<void()>& command);

/// Text of an exception for the operator.
QString ExceptionText(const std::exception_ptr& error);

} // namespace tavrela
