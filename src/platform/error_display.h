#pragma once

#include <QString>

#include <exception>
#include <functional>

namespace platform {

// The general error display: an error that no code handled ends the operation
// in progress and is shown in a modal error box with the error's own text.

// The text shown for an error: the engine's message for data::EngineError,
// what() (UTF-8) for any other exception.
QString errorText(const std::exception& error);

// Shows the error box; data::SilentAbort shows nothing.
void showError(const std::exception& error);

// Shows the exception being handled; call only inside a catch block.
// Exceptions that are not std::exception get a generic text.
void showCurrentException();

// Runs the action and shows whatever escapes it; true when it ran through
// without an exception.
bool runGuarded(const std::function<void()>& action);

// The text shown for exceptions that carry no text of their own.
QString unknownErrorText();

}  // namespace platform
