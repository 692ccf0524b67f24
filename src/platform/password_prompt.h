#pragma once

#include <QString>
#include <functional>

namespace platform {

// Asks on the terminal for a password, showing the prompt on the error
// output and not echoing what is typed (the echo is put back however the
// reading ends). Without a terminal (standard input a pipe) the line is read
// as it comes. Returns the line without its line end; a null string when
// the input ended before a line.
QString readPasswordWithoutEcho(const QString& prompt);

// What readPasswordWithoutEcho is taken from. Tests put their own reader in
// place and restore the terminal's with an empty function.
using PasswordReader = std::function<QString(const QString& prompt)>;
void setPasswordReader(PasswordReader reader);

}  // namespace platform
