#pragma once

#include <QString>

#include <exception>
#include <functional>

namespace platform {

// The general error display: an error that no code handled ends the operation
// in progress and is shown in a modal error box, in the words the installed
// translator finds for it.

// What the box says: the text for the clerk, and the original detail for
// support behind the box's "详细信息" button (empty: none).
struct ErrorReport {
    QString text;
    QString details;
};

// Turns an error into what the clerk is told. The program installs one at
// start-up (the layers below do not know every kind of error); without one,
// the error's own text is shown.
using ErrorTranslator = std::function<ErrorReport(const std::exception&)>;
// Installs a translator (empty: none) and returns the one installed before.
ErrorTranslator setErrorTranslator(ErrorTranslator translator);

// The report for an error, through the installed translator.
ErrorReport errorReport(const std::exception& error);
// The error's own text: the engine's message for data::EngineError, what()
// (UTF-8) for any other exception.
QString ownErrorText(const std::exception& error);
// The text of errorReport().
QString errorText(const std::exception& error);

// Shows the error box; data::SilentAbort shows nothing. Faults kept while
// the error was leaving the code that met it (data::keepFaultWhileUnwinding)
// follow its text, each after alsoWhileEndingText(); after a SilentAbort they
// are shown alone.
void showError(const std::exception& error);

// Shows the exception being handled; call only inside a catch block.
// Exceptions that are not std::exception get a generic text.
void showCurrentException();

// Runs the action and shows whatever escapes it; true when it ran through
// without an exception.
bool runGuarded(const std::function<void()>& action);

// What comes before a fault kept while an error was leaving a loop.
QString alsoWhileEndingText();

// The text shown for exceptions that carry no text of their own.
QString unknownErrorText();

}  // namespace platform
